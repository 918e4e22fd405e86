// Test helper: builds the bytes of binary records by hand (little-endian,
// the layouts of KmIO_File) and reads them back through a real file.
#ifndef KM_TESTS_SESSION_SESSIONBLOCKBUILDER_H
#define KM_TESTS_SESSION_SESSIONBLOCKBUILDER_H

#include <cstdint>
#include <cstring>
#include <string>

namespace km_test {

// Appends primitives to a byte string in the on-disk layouts.
class BlockBuilder {
 public:
  BlockBuilder& Bool(bool b) { return Raw(b ? "\x01" : std::string(1, '\0')); }
  BlockBuilder& Byte(char c) { return Raw(std::string(1, c)); }
  BlockBuilder& Short(int16_t v) { return Le(static_cast<uint16_t>(v), 2); }
  BlockBuilder& Int(int32_t v) { return Le(static_cast<uint32_t>(v), 4); }
  BlockBuilder& Double(double d) {
    uint64_t u = 0;
    std::memcpy(&u, &d, sizeof u);
    return Le(u, 8);
  }
  // Length counting the zero byte, the text, the zero byte.
  BlockBuilder& CString(const std::string& s) {
    Int(static_cast<int32_t>(s.size() + 1));
    return Raw(s + std::string(1, '\0'));
  }
  // The text and its zero byte, no length.
  BlockBuilder& String(const std::string& s) {
    return Raw(s + std::string(1, '\0'));
  }
  BlockBuilder& Raw(const std::string& s) {
    bytes_ += s;
    return *this;
  }
  const std::string& Bytes() const { return bytes_; }

 private:
  BlockBuilder& Le(uint64_t v, int n) {
    for (int i = 0; i < n; ++i)
      bytes_.push_back(static_cast<char>(v >> (8 * i)));
    return *this;
  }
  std::string bytes_;
};

}  // namespace km_test

#endif  // KM_TESTS_SESSION_SESSIONBLOCKBUILDER_H
