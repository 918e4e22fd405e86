# Provides the newmat matrix library as the target Newmat::newmat.
#
# newmat keeps its trace list (Tracer::last), its error text and the
# identifiers of its exceptions in process-wide statics that every library
# call touches, so the cohorts fitted on the thread pool would race on them.
# The library is therefore built here, statically, from its Debian source
# package (tools/install-deps.sh fetches it into KM_NEWMAT_SOURCE_DIR), with
# that state made per thread: each worker then has its own trace list and
# error text, and a matrix error in one fit cannot garble another's. The
# headers our code includes come from the same patched copy.
set(KM_NEWMAT_SOURCE_DIR "/usr/local/src/kinkmark-newmat" CACHE PATH
    "newmat's Debian source package, unpacked (tools/install-deps.sh)")

if(NOT EXISTS "${KM_NEWMAT_SOURCE_DIR}/myexcept.cpp")
  message(FATAL_ERROR
    "newmat source not found in ${KM_NEWMAT_SOURCE_DIR}: run "
    "tools/install-deps.sh (or set KM_NEWMAT_SOURCE_DIR)")
endif()

set(_km_newmat_dir "${CMAKE_BINARY_DIR}/newmat-per-thread")

# Reads one source file into the variable named by var.
function(_km_newmat_read var name)
  file(READ "${KM_NEWMAT_SOURCE_DIR}/${name}" _text)
  set(${var} "${_text}" PARENT_SCOPE)
endfunction()

# Replaces every match of the regular expression from in the variable named
# by var with to; a pattern that matches nothing stops the configuration,
# since the per-thread patch would then not fit the source.
function(_km_newmat_sub var from to)
  string(REGEX MATCH "${from}" _found "${${var}}")
  if(NOT _found)
    message(FATAL_ERROR "newmat: '${from}' not found; the per-thread patch "
                        "does not fit the source in ${KM_NEWMAT_SOURCE_DIR}")
  endif()
  string(REGEX REPLACE "${from}" "${to}" _text "${${var}}")
  set(${var} "${_text}" PARENT_SCOPE)
endfunction()

# Writes text as the copy of name, only when it changed (an unchanged copy
# then triggers no rebuild).
function(_km_newmat_write name text)
  set(_out "${_km_newmat_dir}/${name}")
  if(EXISTS "${_out}")
    file(READ "${_out}" _old)
    if(_old STREQUAL text)
      return()
    endif()
  endif()
  file(WRITE "${_out}" "${text}")
endfunction()

# The class statics of the exception machinery become thread_local.
_km_newmat_read(_h myexcept.h)
_km_newmat_sub(_h "static unsigned long Select;"
               "static thread_local unsigned long Select;")
_km_newmat_sub(_h "static Tracer\\* last;" "static thread_local Tracer* last;")
_km_newmat_sub(_h "static char\\* what_error;"
               "static thread_local char* what_error;")
_km_newmat_sub(_h "static int SoFar;" "static thread_local int SoFar;")
_km_newmat_sub(_h "static int LastOne;" "static thread_local int LastOne;")
_km_newmat_write(myexcept.h "${_h}")

_km_newmat_read(_h newmat.h)
_km_newmat_sub(_h "static unsigned long Select;"
               "static thread_local unsigned long Select;")
_km_newmat_write(newmat.h "${_h}")

_km_newmat_read(_s myexcept.cpp)
_km_newmat_sub(_s "\nunsigned long ([A-Za-z_]+)::Select;"
               "\nthread_local unsigned long \\1::Select;")
_km_newmat_sub(_s "\nchar\\* BaseException::what_error;"
               "\nthread_local char* BaseException::what_error;")
_km_newmat_sub(_s "\nint BaseException::SoFar;"
               "\nthread_local int BaseException::SoFar;")
_km_newmat_sub(_s "\nint BaseException::LastOne;"
               "\nthread_local int BaseException::LastOne;")
_km_newmat_sub(_s "\nTracer\\* Tracer::last;"
               "\nthread_local Tracer* Tracer::last;")
# Each thread's message lives in a buffer of its own that needs no freeing.
_km_newmat_sub(_s "\nBaseException::BaseException\\("
               "\nstatic thread_local char what_error_space[512];\n\nBaseException::BaseException(")
_km_newmat_sub(_s "what_error = new char\\[512\\];"
               "what_error = what_error_space;")
_km_newmat_write(myexcept.cpp "${_s}")

_km_newmat_read(_s newmatex.cpp)
_km_newmat_sub(_s "\nunsigned long ([A-Za-z_]+)::Select;"
               "\nthread_local unsigned long \\1::Select;")
_km_newmat_write(newmatex.cpp "${_s}")

set(_km_newmat_unchanged_headers
  boolean.h controlw.h include.h newmatap.h newmatio.h newmatnl.h newmatrc.h
  newmatrm.h precisio.h solution.h)
foreach(_name IN LISTS _km_newmat_unchanged_headers)
  _km_newmat_read(_text ${_name})
  _km_newmat_write(${_name} "${_text}")
endforeach()
# The sources include an autoconf config.h that nothing of ours needs.
if(NOT EXISTS "${_km_newmat_dir}/config.h")
  file(WRITE "${_km_newmat_dir}/config.h" "")
endif()

set(_km_newmat_sources
  newmat1.cpp newmat2.cpp newmat3.cpp newmat4.cpp newmat5.cpp newmat6.cpp
  newmat7.cpp newmat8.cpp newmatex.cpp bandmat.cpp submat.cpp myexcept.cpp
  cholesky.cpp evalue.cpp fft.cpp hholder.cpp jacobi.cpp newfft.cpp sort.cpp
  svd.cpp newmatrm.cpp newmat9.cpp)
set(_km_newmat_built)
foreach(_s IN LISTS _km_newmat_sources)
  if(NOT _s STREQUAL "myexcept.cpp" AND NOT _s STREQUAL "newmatex.cpp")
    _km_newmat_read(_text ${_s})
    _km_newmat_write(${_s} "${_text}")
  endif()
  list(APPEND _km_newmat_built "${_km_newmat_dir}/${_s}")
endforeach()

add_library(km_newmat STATIC ${_km_newmat_built})
# Third-party code: its own language level, none of its warnings.
set_target_properties(km_newmat PROPERTIES CXX_STANDARD 11
                      CXX_EXTENSIONS ON POSITION_INDEPENDENT_CODE ON)
target_compile_options(km_newmat PRIVATE -w)
target_include_directories(km_newmat SYSTEM PUBLIC "${_km_newmat_dir}")
add_library(Newmat::newmat ALIAS km_newmat)
set(NEWMAT_FOUND TRUE)
