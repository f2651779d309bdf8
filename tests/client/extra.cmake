if(TARGET qtest_client)
  target_link_libraries(qtest_client PRIVATE prjBRIXpackwell_window)
  add_dependencies(qtest_client packwell)
endif()
