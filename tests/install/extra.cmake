# The installed package works for a host outside the tree.
if(PACKWELL_WITH_QT)
  add_test(NAME install_example_host
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-install.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
            ${CMAKE_BINARY_DIR}/test-scratch/install_example_host)
  set_tests_properties(install_example_host PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
endif()

# The man page, completion and README reference follow --help; --version
# follows project().
add_test(NAME cli_reference
  COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-reference.sh ${CMAKE_BINARY_DIR}/bin ${CMAKE_SOURCE_DIR}
          ${CMAKE_BINARY_DIR}/test-scratch/cli_reference)
set_tests_properties(cli_reference PROPERTIES TIMEOUT 300)

# The control library's boundary: what it exports. The check itself refuses a
# library that lets the inside out, and one that exports too much.
if(PACKWELL_WITH_QT)
  set(check_exports ${CMAKE_CURRENT_LIST_DIR}/check-exports.sh)
  add_test(NAME library_exports COMMAND ${check_exports} $<TARGET_FILE:PackwellDEMO>)
  add_library(pw_leaky_library SHARED ${CMAKE_CURRENT_LIST_DIR}/leaky_library.cpp)
  add_test(NAME library_exports_refuse_inside COMMAND ${check_exports} $<TARGET_FILE:pw_leaky_library>)
  add_test(NAME library_exports_refuse_many COMMAND ${check_exports} $<TARGET_FILE:Qt6::Widgets>)
  set_tests_properties(library_exports_refuse_inside PROPERTIES
    PASS_REGULAR_EXPRESSION "FAIL: exported from the inside: pw::reg::openStore")
  set_tests_properties(library_exports_refuse_many PROPERTIES PASS_REGULAR_EXPRESSION "FAIL: [0-9]+ exported symbols")
endif()

# The engines' boundary: their entry points and nothing else, checked
# against their version scripts; the check refuses a library with more.
set(check_engine_exports ${CMAKE_CURRENT_LIST_DIR}/check-engine-exports.sh)
foreach(pair IN ITEMS zip:brixzip1 unzip:brixuzip1 version:rarero10)
  string(REPLACE ":" ";" pair ${pair})
  list(GET pair 0 engine)
  list(GET pair 1 target)
  add_test(NAME engine_exports_${engine}
    COMMAND ${check_engine_exports} $<TARGET_FILE:${target}> ${CMAKE_SOURCE_DIR}/engines/${engine}/exports.map)
endforeach()
add_test(NAME engine_exports_refuse_more
  COMMAND ${check_engine_exports} $<TARGET_FILE:brixuzip1> ${CMAKE_SOURCE_DIR}/engines/zip/exports.map)
set_tests_properties(engine_exports_refuse_more PROPERTIES PASS_REGULAR_EXPRESSION "FAIL: exported beyond exports.map")

# One core in a browsing process.
if(PACKWELL_WITH_QT)
  add_test(NAME cli_browse_one_core
    COMMAND ${CMAKE_CURRENT_LIST_DIR}/check-one-core.sh ${CMAKE_BINARY_DIR}/bin
            ${CMAKE_BINARY_DIR}/test-scratch/cli_browse_one_core)
  set_tests_properties(cli_browse_one_core PROPERTIES TIMEOUT 120)
endif()

# Every program and library the packages install is hardened: relocations
# read-only and bound at load, a stack that is not executable. The check
# refuses a library linked the lazy way.
if(PACKWELL_WITH_QT AND NOT PACKWELL_SANITIZE AND NOT PACKWELL_TSAN)
  set(check_hardening ${CMAKE_CURRENT_LIST_DIR}/check-hardening.sh)
  add_test(NAME binaries_hardened COMMAND ${check_hardening}
    $<TARGET_FILE:PackwellDEMO> $<TARGET_FILE:packwell> $<TARGET_FILE:packwell-browse>
    $<TARGET_FILE:prjBRIXpackwell> $<TARGET_FILE:brixzip1> $<TARGET_FILE:brixuzip1> $<TARGET_FILE:rarero10>)
  add_library(pw_lazy_library SHARED ${CMAKE_CURRENT_LIST_DIR}/leaky_library.cpp)
  target_link_options(pw_lazy_library PRIVATE -Wl,-z,lazy -Wl,-z,norelro)
  add_test(NAME binaries_hardened_refuse_lazy COMMAND ${check_hardening} $<TARGET_FILE:pw_lazy_library>)
  set_tests_properties(binaries_hardened_refuse_lazy PROPERTIES PASS_REGULAR_EXPRESSION "FAIL: .*pw_lazy_library")
endif()
