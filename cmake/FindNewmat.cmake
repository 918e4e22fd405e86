# Locates the newmat matrix library (Debian: libnewmat10-dev) and exposes it
# as the imported target Newmat::newmat.
find_path(NEWMAT_INCLUDE_DIR newmat.h PATH_SUFFIXES newmat)
find_library(NEWMAT_LIBRARY newmat)
if(NEWMAT_INCLUDE_DIR AND NEWMAT_LIBRARY)
  add_library(Newmat::newmat UNKNOWN IMPORTED)
  set_target_properties(Newmat::newmat PROPERTIES
    IMPORTED_LOCATION "${NEWMAT_LIBRARY}"
    # newmat's headers are third-party: keep their warnings out of our build.
    INTERFACE_SYSTEM_INCLUDE_DIRECTORIES "${NEWMAT_INCLUDE_DIR}"
    INTERFACE_INCLUDE_DIRECTORIES "${NEWMAT_INCLUDE_DIR}")
  set(NEWMAT_FOUND TRUE)
else()
  message(FATAL_ERROR "newmat not found: install libnewmat10-dev")
endif()
