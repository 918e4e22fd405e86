#include "tests/results/RecordBytes.h"

#include <cstring>

#include "tests/test_util/TestUtil.h"

namespace km_results_test {

Bytes D(uint16_t iTop) {
  return {0,
          0,
          0,
          0,
          0,
          0,
          static_cast<unsigned char>(iTop & 0xFF),
          static_cast<unsigned char>(iTop >> 8)};
}

Bytes D9999() { return {0, 0, 0, 0, 0x80, 0x87, 0xC3, 0x40}; }

Bytes S(int16_t iValue) {
  const uint16_t u = static_cast<uint16_t>(iValue);
  return {static_cast<unsigned char>(u & 0xFF),
          static_cast<unsigned char>(u >> 8)};
}

Bytes I(int32_t iValue) {
  const uint32_t u = static_cast<uint32_t>(iValue);
  return {static_cast<unsigned char>(u & 0xFF),
          static_cast<unsigned char>((u >> 8) & 0xFF),
          static_cast<unsigned char>((u >> 16) & 0xFF),
          static_cast<unsigned char>(u >> 24)};
}

Bytes B(bool bValue) { return {static_cast<unsigned char>(bValue ? 1 : 0)}; }

Bytes Cat(std::initializer_list<Bytes> pieces) {
  Bytes out;
  for (const Bytes& piece : pieces)
    out.insert(out.end(), piece.begin(), piece.end());
  return out;
}

Bytes AnyDouble(double dValue) {
  uint64_t u;
  std::memcpy(&u, &dValue, sizeof u);
  Bytes out(8);
  for (int i = 0; i < 8; ++i) out[i] = static_cast<unsigned char>(u >> (8 * i));
  return out;
}

Bytes WriteBytes(const std::function<void(KmIO_File*)>& write) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("record.kmo");
  {
    KmIO_File file(path.c_str(),
                   KmIO_File::kWrite | KmIO_File::kRead | KmIO_File::kShared);
    write(&file);
    file.Close();
  }
  return km_test::ReadBytes(path);
}

int32_t ReadBytesWith(const Bytes& bytes,
                      const std::function<void(KmIO_File*)>& read) {
  km_test::ScratchDir dir;
  const std::string path = dir.File("record.kmo");
  km_test::WriteAll(path, std::string(bytes.begin(), bytes.end()));
  KmIO_File file(path.c_str(), KmIO_File::kRead);
  read(&file);
  return file.Tell();
}

}  // namespace km_results_test
