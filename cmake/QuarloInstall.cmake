include(CMakePackageConfigHelpers)

install(TARGETS quarlo quarlo_static EXPORT QuarloClienteTargets
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/include/quarlo DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(FILES ${QUARLO_GENERATED_INCLUDE_DIR}/quarlo/version.hpp
        DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/quarlo)

set(QUARLO_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/QuarloCliente)
install(EXPORT QuarloClienteTargets NAMESPACE QuarloCliente:: DESTINATION ${QUARLO_CMAKE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuarloClienteConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/QuarloClienteConfig.cmake
                              INSTALL_DESTINATION ${QUARLO_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuarloClienteConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuarloClienteConfig.cmake
              ${PROJECT_BINARY_DIR}/QuarloClienteConfigVersion.cmake
              ${PROJECT_SOURCE_DIR}/cmake/FindZint.cmake
        DESTINATION ${QUARLO_CMAKE_DIR})

configure_file(${PROJECT_SOURCE_DIR}/cmake/quarlo.pc.in ${PROJECT_BINARY_DIR}/quarlo.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/quarlo.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
