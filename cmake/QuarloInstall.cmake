include(CMakePackageConfigHelpers)

# Components, one per Debian package: biblioteca (the shared library a program runs with) and
# desarrollo (what building against it needs); the sandbox and the command line add theirs.
install(TARGETS quarlo quarlo_static EXPORT QuarloClienteTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT desarrollo
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT biblioteca
                NAMELINK_COMPONENT desarrollo
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT biblioteca
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quarlo DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}
        COMPONENT desarrollo)
install(FILES ${QUARLO_GENERATED_INCLUDE_DIR}/quarlo/version.hpp
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quarlo COMPONENT desarrollo)

set(QUARLO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QuarloCliente)
install(EXPORT QuarloClienteTargets NAMESPACE QuarloCliente:: DESTINATION ${QUARLO_CMAKE_DIR}
        COMPONENT desarrollo)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuarloClienteConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/QuarloClienteConfig.cmake
                              INSTALL_DESTINATION ${QUARLO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuarloClienteConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuarloClienteConfig.cmake
              ${PROJECT_BINARY_DIR}/QuarloClienteConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/FindZint.cmake
        DESTINATION ${QUARLO_CMAKE_DIR} COMPONENT desarrollo)

# The .pc file finds its prefix from its own place, so that the same file serves /usr, /usr/local
# or a folder the packages were unpacked into.
file(RELATIVE_PATH QUARLO_PC_PREFIX_FROM_PCDIR "/root/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/root")
configure_file(${PROJECT_SOURCE_DIR}/cmake/quarlo.pc.in ${PROJECT_BINARY_DIR}/quarlo.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quarlo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig
        COMPONENT desarrollo)
