# Debian packages of the install components (scripts/package runs cpack):
#   libpackwelldemo1  runtime: the control library and the three engines
#   libpackwell-dev   dev: headers, CMake package, pkg-config file, .so link
#   packwell          programs: packwell and prjBRIXpackwell with their man
#                     page, bash completion, desktop entry and icon
# The runtime package is named after the control library's SONAME
# (libPackwellDEMO.so.1), as Debian names shared library packages.
# Dependencies on other packages come from dpkg-shlibdeps; only those between
# these three packages, and the development headers that the dev files name,
# are written here.
set(PACKWELL_PACKAGE_MAINTAINER "Packwell developers <packwell@packwell.example>"
  CACHE STRING "Maintainer field of the Debian packages")
set(PACKWELL_PACKAGE_SOURCE packwell)
set(PACKWELL_PACKAGE_RELEASE 1)
set(PACKWELL_PACKAGE_VERSION ${PROJECT_VERSION}-${PACKWELL_PACKAGE_RELEASE})
set(PACKWELL_RUNTIME_PACKAGE libpackwelldemo${PROJECT_VERSION_MAJOR})
set(PACKWELL_DEV_PACKAGE libpackwell-dev)
set(PACKWELL_PROGRAMS_PACKAGE packwell)

# Each package carries the copyright file and a changelog in its doc folder,
# as Debian requires of every binary package.
string(TIMESTAMP PACKWELL_PACKAGE_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(packaging/changelog.in ${CMAKE_BINARY_DIR}/packaging/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
  COMMAND gzip -9nkf ${CMAKE_BINARY_DIR}/packaging/changelog.Debian
  DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian VERBATIM)
add_custom_target(packwell_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz)
foreach(component runtime dev programs)
  string(TOUPPER ${component} upper)
  install(FILES packaging/copyright ${CMAKE_BINARY_DIR}/packaging/changelog.Debian.gz
    DESTINATION ${CMAKE_INSTALL_DATAROOTDIR}/doc/${PACKWELL_${upper}_PACKAGE} COMPONENT ${component})
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ${PACKWELL_PACKAGE_SOURCE})
set(CPACK_PACKAGE_VENDOR "Packwell developers")
set(CPACK_PACKAGE_CONTACT ${PACKWELL_PACKAGE_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/packages)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL runtime dev programs)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
  OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${PACKWELL_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SOURCE ${PACKWELL_PACKAGE_SOURCE})
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs need the control library of the runtime package: dpkg-shlibdeps
# finds it in the build's library folder, the dependency is written below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${PACKWELL_RUNTIME_PACKAGE})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
# dpkg runs ldconfig once for all packages through this trigger.
file(WRITE ${CMAKE_BINARY_DIR}/packaging/runtime/triggers "activate-noawait ldconfig\n")
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/packaging/runtime/triggers)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "zip-and-split control library (runtime)
The ctlPackwell control creates, lists and extracts zip archives, opens an
archive browser window, and splits files into numbered pieces and joins them
back. This package holds the control library libPackwellDEMO and the zip,
unzip and version engine libraries it loads.")

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${PACKWELL_DEV_PACKAGE})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${PACKWELL_RUNTIME_PACKAGE} (= ${PACKWELL_PACKAGE_VERSION}), qt6-base-dev")
set(CPACK_DEBIAN_DEV_DESCRIPTION "zip-and-split control library (development files)
The ctlPackwell control creates, lists and extracts zip archives, opens an
archive browser window, and splits files into numbered pieces and joins them
back. This package holds what a host program builds with: the headers, the
CMake package (find_package(Packwell)) and the pkg-config file (packwell).")

set(CPACK_DEBIAN_PROGRAMS_PACKAGE_NAME ${PACKWELL_PROGRAMS_PACKAGE})
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PROGRAMS_PACKAGE_DEPENDS "${PACKWELL_RUNTIME_PACKAGE} (= ${PACKWELL_PACKAGE_VERSION})")
set(CPACK_DEBIAN_PROGRAMS_DESCRIPTION "zip and split files from the command line and a test window
packwell creates, lists and extracts zip archives and splits files into
numbered pieces (NAME.001, NAME.002, ...) and joins them, through the
ctlPackwell control. prjBRIXpackwell is the control's test client: one window
with a button for every operation.")

include(CPack)
