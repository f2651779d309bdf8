# What `cmake --install` puts under the prefix: the control library with its
# headers, the engine libraries, the programs, a CMake package and a
# pkg-config file, so a host outside this tree builds against the package.
include(CMakePackageConfigHelpers)

set(PACKWELL_INCLUDE_SUBDIR packwell)
# The folder structure stays, so "control/ctlPackwell.h" resolves the same way.
foreach(dir control platform)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR}/${dir}
    FILES_MATCHING PATTERN "*.h")
endforeach()
install(DIRECTORY engines/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR}
  FILES_MATCHING PATTERN "*.h")

foreach(engine brixzip1 brixuzip1 rarero10)
  if(TARGET ${engine})
    install(TARGETS ${engine} LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR})
  endif()
endforeach()

if(TARGET PackwellDEMO)
  target_include_directories(PackwellDEMO INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR}>)
  install(TARGETS PackwellDEMO EXPORT PackwellTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR})
  install(EXPORT PackwellTargets NAMESPACE Packwell:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Packwell)
  configure_package_config_file(cmake/PackwellConfig.cmake.in ${CMAKE_BINARY_DIR}/PackwellConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Packwell)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/PackwellConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/PackwellConfig.cmake ${CMAKE_BINARY_DIR}/PackwellConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Packwell)
  configure_file(cmake/packwell.pc.in ${CMAKE_BINARY_DIR}/packwell.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packwell.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
endif()
