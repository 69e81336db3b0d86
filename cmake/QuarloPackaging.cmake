# Debian packages, built by `cmake --build <build> --target package` into <build>/paquetes:
#   libquarlo0      the shared library (component biblioteca)
#   libquarlo-dev   headers, the static library, the CMake package and the pkg-config file
#   quarlo-sandbox  the local service (component sandbox)
#   quarlo          the command line (component cli)
# The dependencies on Debian's libraries are read from the binaries by dpkg-shlibdeps, so they
# follow whatever the build linked.
set(QUARLO_RUNTIME_PACKAGE libquarlo${PROJECT_VERSION_MAJOR})
set(QUARLO_SAME_RUNTIME "${QUARLO_RUNTIME_PACKAGE} (= ${PROJECT_VERSION})")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quarlo)
set(CPACK_PACKAGE_VENDOR QuarloCliente)
set(CPACK_PACKAGE_CONTACT "Equipo QuarloCliente <quarlo@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_BINARY_DIR}/paquetes)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Only what a user installs; the tests, benchmarks and examples install nothing.
set(CPACK_COMPONENTS_ALL biblioteca desarrollo sandbox cli)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The command line links libquarlo.so.0 of this build: dpkg-shlibdeps finds it here, and the
# dependency on its package is stated below, to the exact version.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/src)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_BIBLIOTECA_PACKAGE_NAME ${QUARLO_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_BIBLIOTECA_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_BIBLIOTECA_DESCRIPTION
    "QuarloCliente: client library for a Chilean electronic-tax-document service
 Submits DTE, boletas, books and folio reports, stamps TEDs locally, keeps a point of sale's
 outbox and delivers each document exactly once. This package holds the shared library.")

set(CPACK_DEBIAN_DESARROLLO_PACKAGE_NAME libquarlo-dev)
set(CPACK_DEBIAN_DESARROLLO_PACKAGE_SECTION libdevel)
# The static library needs the development files of what it links; the shared one only itself.
set(CPACK_DEBIAN_DESARROLLO_PACKAGE_DEPENDS
    "${QUARLO_SAME_RUNTIME}, libcurl4-openssl-dev, libxml2-dev, libssl-dev, libzint-dev, libpng-dev, libsqlite3-dev")
set(CPACK_COMPONENT_DESARROLLO_DESCRIPTION
    "QuarloCliente: development files
 Headers, the static library, the CMake package (find_package(QuarloCliente)) and the
 pkg-config file (quarlo) of QuarloCliente.")

set(CPACK_DEBIAN_SANDBOX_PACKAGE_NAME quarlo-sandbox)
set(CPACK_DEBIAN_SANDBOX_PACKAGE_SECTION devel)
set(CPACK_COMPONENT_SANDBOX_DESCRIPTION
    "QuarloCliente: a local service to develop and test against
 An HTTP server with its own store that speaks the whole protocol of the service, stamps with
 its own test CAFs, injects faults on request and shows what it received in a web console.
 A development tool: nothing it stamps is valid before the SII.")

set(CPACK_DEBIAN_CLI_PACKAGE_NAME quarlo)
set(CPACK_DEBIAN_CLI_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_CLI_PACKAGE_DEPENDS ${QUARLO_SAME_RUNTIME})
set(CPACK_COMPONENT_CLI_DESCRIPTION
    "QuarloCliente: the command line
 quarlo sends, queries, retrieves and voids documents, stamps and checks TEDs locally and
 drains a point of sale's outbox, with JSON output for scripts.")

include(CPack)
