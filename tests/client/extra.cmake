if(TARGET qtest_client)
  target_link_libraries(qtest_client PRIVATE prjBRIXpackwell_window packwell_samples)
  # The sample data is zipped and listed through the real engines.
  add_dependencies(qtest_client packwell brixzip1 brixuzip1 rarero10)
endif()
