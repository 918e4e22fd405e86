#include "foundation/AllocateMemory.h"

#include <cstdio>
#include <mutex>
#include <new>

#include "foundation/KmException.h"

namespace {

constexpr int32_t kReserveBytes = 32000;

// The reserve is process-wide; readers on different threads may allocate
// at once, so it is guarded.
std::mutex& ReserveMutex() {
  static std::mutex mutex;
  return mutex;
}
char* g_pReserve = nullptr;

}  // namespace

void ThrowOutOfMemory(const char* sFormat, int32_t lBytes) {
  {
    std::lock_guard<std::mutex> lock(ReserveMutex());
    delete[] g_pReserve;
    g_pReserve = nullptr;
  }
  char sMessage[128] = "";
  if (sFormat != nullptr) {
    std::snprintf(sMessage, sizeof sMessage, sFormat, static_cast<int>(lBytes));
  }
  throw KmException(sMessage, "Memory");
}

char* AllocateMemory(int32_t lBytes) {
  if (lBytes < 0) {
    ThrowOutOfMemory(
        "Bad memory allocation request - tried to allocate %d bytes.", lBytes);
  }
  char* pBuffer = new (std::nothrow) char[static_cast<size_t>(lBytes)];
  if (pBuffer != nullptr && lBytes != 0) pBuffer[0] = '\0';

  bool bReserveFailed = false;
  {
    std::lock_guard<std::mutex> lock(ReserveMutex());
    if (g_pReserve == nullptr) {
      g_pReserve = new (std::nothrow) char[kReserveBytes];
      bReserveFailed = g_pReserve == nullptr;
    }
  }
  if (bReserveFailed || pBuffer == nullptr) {
    delete[] pBuffer;
    ThrowOutOfMemory("Out of memory - tried to allocate %d bytes.", lBytes);
  }
  return pBuffer;
}
