# KM_PCH: whether the build precompiles headers. It does without a compiler
# cache (CMAKE_CXX_COMPILER_LAUNCHER), as every build of ./test.sh: a header
# parsed once serves every file that includes it. With a cache each file is
# cached whole, which a precompiled header would prevent; that build also
# keeps every file's includes honest, as each file then compiles from its
# own includes alone.
set(KM_PCH OFF)
if(NOT CMAKE_CXX_COMPILER_LAUNCHER)
  set(KM_PCH ON)
endif()

# km_share_precompiled_headers(<libraries...>): when KM_PCH is on, the
# standard headers most files of the libraries include are precompiled once,
# with the flags of the first library, and the others reuse them. clang and
# g++ use a precompiled header only where a file is compiled with the flags
# it was made with, so only libraries of the same flags may share one.
function(km_share_precompiled_headers first)
  if(NOT KM_PCH)
    return()
  endif()
  target_precompile_headers(${first} PRIVATE
    <algorithm> <cmath> <cstdint> <cstdio> <cstdlib> <cstring> <functional>
    <limits> <map> <memory> <mutex> <sstream> <string> <utility> <vector>)
  foreach(lib IN LISTS ARGN)
    target_precompile_headers(${lib} REUSE_FROM ${first})
  endforeach()
endfunction()
