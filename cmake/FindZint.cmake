# libzint ships neither a CMake package nor a pkg-config file: find its header and library and
# offer them as the imported target Zint::Zint, for the library, the sandbox and the library's
# consumers alike.
find_path(ZINT_INCLUDE_DIR zint.h)
find_library(ZINT_LIBRARY zint)

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Zint REQUIRED_VARS ZINT_LIBRARY ZINT_INCLUDE_DIR)

if(Zint_FOUND AND NOT TARGET Zint::Zint)
  add_library(Zint::Zint UNKNOWN IMPORTED)
  set_target_properties(Zint::Zint PROPERTIES IMPORTED_LOCATION "${ZINT_LIBRARY}"
                                              INTERFACE_INCLUDE_DIRECTORIES "${ZINT_INCLUDE_DIR}")
endif()
mark_as_advanced(ZINT_INCLUDE_DIR ZINT_LIBRARY)
