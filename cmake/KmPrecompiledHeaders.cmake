# KM_PCH: whether the build precompiles headers. It does without a compiler
# cache (CMAKE_CXX_COMPILER_LAUNCHER), unless KM_PRECOMPILE_HEADERS is off:
# a header parsed once serves every file that includes it. With a cache each
# file is cached whole, which a precompiled header would prevent. A build
# without them compiles each file from its own includes alone, so it fails
# on a file that uses what it does not include.
option(KM_PRECOMPILE_HEADERS "Precompile headers where no compiler cache is used" ON)
set(KM_PCH OFF)
if(KM_PRECOMPILE_HEADERS AND NOT CMAKE_CXX_COMPILER_LAUNCHER)
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

# _km_first_include(<var> <file>): the first #include line of the file, or
# nothing when it has none or does not exist.
function(_km_first_include var file)
  set(first "")
  if(EXISTS "${file}")
    file(STRINGS "${file}" first REGEX "^#include" LIMIT_COUNT 1)
  endif()
  set(${var} "${first}" PARENT_SCOPE)
endfunction()

# km_add_precompiled_header(<target> <header> LIBS <libraries...>): when
# KM_PCH is on, an object library that precompiles the header, from a unit
# that includes it alone, with the flags the libraries give, for other
# targets to reuse (km_reuse_precompiled_header).
function(km_add_precompiled_header target header)
  cmake_parse_arguments(ARG "" "" "LIBS" ${ARGN})
  if(NOT KM_PCH)
    return()
  endif()
  set(unit "${CMAKE_CURRENT_BINARY_DIR}/${target}.cpp")
  file(CONFIGURE OUTPUT "${unit}" CONTENT "#include ${header}\n")
  add_library(${target} OBJECT "${unit}")
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  km_set_warnings(${target})
  target_precompile_headers(${target} PRIVATE ${header})
endfunction()

# km_reuse_precompiled_header(<target> <owner> <header>): when KM_PCH is on,
# the target's sources whose first include is the header are compiled with
# the owner's precompiled copy of it. For them it is exactly their own first
# include, so they still compile from their own includes alone; the other
# sources are compiled without it.
function(km_reuse_precompiled_header target owner header)
  if(NOT KM_PCH)
    return()
  endif()
  target_precompile_headers(${target} REUSE_FROM ${owner})
  get_target_property(sources ${target} SOURCES)
  foreach(src IN LISTS sources)
    get_filename_component(path "${src}" ABSOLUTE)
    _km_first_include(first "${path}")
    if(NOT first STREQUAL "#include ${header}")
      set_source_files_properties(${src} PROPERTIES SKIP_PRECOMPILE_HEADERS ON)
    endif()
  endforeach()
endfunction()

# km_add_header_check(<target> FOLDERS <folders...> LIBS <libraries...>):
# an object library, built only when named, that compiles on its own each
# header of the folders (under the source root) that its own .cpp file does
# not include first; a header its .cpp includes first is compiled from its
# own includes wherever that file is. The libraries give the include paths.
function(km_add_header_check target)
  cmake_parse_arguments(ARG "" "" "FOLDERS;LIBS" ${ARGN})
  set(units)
  foreach(dir IN LISTS ARG_FOLDERS)
    file(GLOB_RECURSE headers CONFIGURE_DEPENDS RELATIVE "${PROJECT_SOURCE_DIR}"
         "${PROJECT_SOURCE_DIR}/${dir}/*.h")
    foreach(h IN LISTS headers)
      string(REGEX REPLACE "\\.h$" ".cpp" own "${PROJECT_SOURCE_DIR}/${h}")
      _km_first_include(first "${own}")
      if(NOT first STREQUAL "#include \"${h}\"")
        set(unit "${CMAKE_BINARY_DIR}/${target}/${h}.cpp")
        file(CONFIGURE OUTPUT "${unit}" CONTENT "#include \"${h}\"\n")
        list(APPEND units "${unit}")
      endif()
    endforeach()
  endforeach()
  add_library(${target} OBJECT EXCLUDE_FROM_ALL ${units})
  target_link_libraries(${target} PRIVATE ${ARG_LIBS})
  km_set_warnings(${target})
endfunction()
