# KM_BUILD_FUZZERS: builds the libFuzzer targets of tests/fuzz. They need a
# compiler with libFuzzer (clang); with any other the option is turned off
# with a warning. When on, the code the targets reach is compiled with the
# fuzzer's coverage instrumentation (tests/fuzz/CMakeLists.txt), and the
# build may also hold the test binaries, which stay uninstrumented.
option(KM_BUILD_FUZZERS "Build the libFuzzer targets of the file readers" OFF)
# The libraries of the readers, which carry the coverage instrumentation.
set(KM_FUZZ_INSTRUMENTED foundation session results data)
if(KM_BUILD_FUZZERS)
  include(CheckCXXSourceCompiles)
  set(CMAKE_REQUIRED_FLAGS -fsanitize=fuzzer)
  check_cxx_source_compiles([[
    #include <cstddef>
    #include <cstdint>
    extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t) { return 0; }
  ]] KM_HAVE_LIBFUZZER)
  unset(CMAKE_REQUIRED_FLAGS)
  if(NOT KM_HAVE_LIBFUZZER)
    message(WARNING "The compiler has no libFuzzer: the fuzz targets are not built.")
    set(KM_BUILD_FUZZERS OFF)
  endif()
endif()
