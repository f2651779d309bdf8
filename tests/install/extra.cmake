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
