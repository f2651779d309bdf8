# What `cmake --install` puts under the prefix: the control library with its
# headers, the engine libraries, the programs, a CMake package and a
# pkg-config file, so a host outside this tree builds against the package.
# Each file belongs to one of three components, the Debian packages of
# cmake/PackwellPackage.cmake: runtime (the libraries), dev (what a host
# builds with) and programs (packwell, the test client, their man page,
# completion and desktop entry).
include(CMakePackageConfigHelpers)

set(PACKWELL_INCLUDE_SUBDIR packwell)
# The folder structure stays, so "control/ctlPackwell.h" resolves the same way.
# The objects hosts may hold (cZip, cUnzip, cRegistry, cMRU) come with the
# headers they need.
foreach(dir control errors platform zip unzip registry)
  install(DIRECTORY ${dir}/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR}/${dir}
    COMPONENT dev FILES_MATCHING PATTERN "*.h" PATTERN resources EXCLUDE PATTERN filetypes EXCLUDE)
endforeach()
install(FILES browser/cMRU.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR}/browser COMPONENT dev)
install(DIRECTORY engines/include/ DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR}
  COMPONENT dev FILES_MATCHING PATTERN "*.h")

foreach(engine brixzip1 brixuzip1 rarero10)
  if(TARGET ${engine})
    set_target_properties(${engine} PROPERTIES INSTALL_RPATH "")
    install(TARGETS ${engine} LIBRARY DESTINATION ${PACKWELL_ENGINE_INSTALL_DIR} COMPONENT runtime)
  endif()
endforeach()

if(TARGET PackwellDEMO)
  target_include_directories(PackwellDEMO INTERFACE
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR}>)
  install(TARGETS PackwellDEMO EXPORT PackwellTargets
    LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
    INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${PACKWELL_INCLUDE_SUBDIR})
  install(EXPORT PackwellTargets NAMESPACE Packwell:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Packwell
    COMPONENT dev)
  configure_package_config_file(cmake/PackwellConfig.cmake.in ${CMAKE_BINARY_DIR}/PackwellConfig.cmake
    INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Packwell)
  write_basic_package_version_file(${CMAKE_BINARY_DIR}/PackwellConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_BINARY_DIR}/PackwellConfig.cmake ${CMAKE_BINARY_DIR}/PackwellConfigVersion.cmake
    DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/Packwell COMPONENT dev)
  # The prefix is found from the file's own place, so the same file serves
  # /usr, a scratch root that packages were unpacked into, or any prefix.
  file(RELATIVE_PATH PACKWELL_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
  string(REGEX REPLACE "/$" "" PACKWELL_PC_TO_PREFIX "${PACKWELL_PC_TO_PREFIX}")
  configure_file(cmake/packwell.pc.in ${CMAKE_BINARY_DIR}/packwell.pc @ONLY)
  install(FILES ${CMAKE_BINARY_DIR}/packwell.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT dev)
endif()

# The man page and the bash completion come from the built packwell itself
# (its hidden --reference option), so they list exactly the commands and
# options that its --help shows.
set(PACKWELL_REFERENCE_DIR ${CMAKE_BINARY_DIR}/reference)
add_custom_command(OUTPUT ${PACKWELL_REFERENCE_DIR}/packwell.1.gz ${PACKWELL_REFERENCE_DIR}/packwell
  COMMAND ${CMAKE_COMMAND} -E make_directory ${PACKWELL_REFERENCE_DIR}
  COMMAND sh -c "\"$1\" --reference man | gzip -9n > \"$2\"" sh $<TARGET_FILE:packwell> ${PACKWELL_REFERENCE_DIR}/packwell.1.gz
  COMMAND sh -c "\"$1\" --reference bash > \"$2\"" sh $<TARGET_FILE:packwell> ${PACKWELL_REFERENCE_DIR}/packwell
  DEPENDS packwell VERBATIM)
add_custom_target(packwell_reference ALL DEPENDS ${PACKWELL_REFERENCE_DIR}/packwell.1.gz ${PACKWELL_REFERENCE_DIR}/packwell)
install(FILES ${PACKWELL_REFERENCE_DIR}/packwell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT programs)
install(FILES ${PACKWELL_REFERENCE_DIR}/packwell DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions
  COMPONENT programs)
if(TARGET prjBRIXpackwell)
  add_custom_command(OUTPUT ${PACKWELL_REFERENCE_DIR}/prjBRIXpackwell.1.gz
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PACKWELL_REFERENCE_DIR}
    COMMAND sh -c "gzip -9n < \"$1\" > \"$2\"" sh ${CMAKE_SOURCE_DIR}/client/prjBRIXpackwell.1
            ${PACKWELL_REFERENCE_DIR}/prjBRIXpackwell.1.gz
    DEPENDS client/prjBRIXpackwell.1 VERBATIM)
  add_custom_target(prjBRIXpackwell_man ALL DEPENDS ${PACKWELL_REFERENCE_DIR}/prjBRIXpackwell.1.gz)
  install(FILES ${PACKWELL_REFERENCE_DIR}/prjBRIXpackwell.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1
    COMPONENT programs)
  install(FILES client/prjBRIXpackwell.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications COMPONENT programs)
  install(FILES client/prjBRIXpackwell.svg DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
    COMPONENT programs)
endif()
