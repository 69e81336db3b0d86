# Warnings are set per target so that the project's flags never leak into a consumer's build.
function(quarlo_set_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow
                                           -Wnon-virtual-dtor -Wconversion -Wsign-conversion)
  # GCC 12 reports impossible overlaps inside std::string assignments at -O2 (a known false
  # positive of its -Wrestrict), which would turn every plain `text = "1"` into a build failure.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU")
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
  if(QUARLO_WARNINGS_AS_ERRORS)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
