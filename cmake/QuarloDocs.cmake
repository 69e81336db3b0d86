# `cmake --build <dir> --target quarlo_docs` writes browsable reference pages of the public headers
# to <dir>/docs/html when Doxygen is installed; without it the target is simply not offered.
find_package(Doxygen QUIET)
if(NOT DOXYGEN_FOUND)
  return()
endif()

set(DOXYGEN_PROJECT_NAME "QuarloCliente")
set(DOXYGEN_PROJECT_BRIEF "Cliente C++ del servicio de documentos tributarios electrónicos")
set(DOXYGEN_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}/docs)
set(DOXYGEN_OUTPUT_LANGUAGE Spanish)
set(DOXYGEN_EXTRACT_ALL YES)
set(DOXYGEN_EXTRACT_PRIVATE NO)
set(DOXYGEN_HIDE_UNDOC_RELATIONS YES)
set(DOXYGEN_EXCLUDE_SYMBOLS detail)
# The export mark is for the compiler, not the reader.
set(DOXYGEN_PREDEFINED "QUARLO_API=")
set(DOXYGEN_JAVADOC_AUTOBRIEF YES)
set(DOXYGEN_USE_MDFILE_AS_MAINPAGE ${PROJECT_SOURCE_DIR}/README.md)
set(DOXYGEN_GENERATE_LATEX NO)
set(DOXYGEN_WARN_IF_UNDOCUMENTED NO)
set(DOXYGEN_QUIET YES)
doxygen_add_docs(quarlo_docs ${PROJECT_SOURCE_DIR}/include/quarlo ${PROJECT_SOURCE_DIR}/README.md
                 COMMENT "Reference pages of the public headers")
