if(TARGET qtest_client)
  target_link_libraries(qtest_client PRIVATE prjBRIXpackwell_window packwell_samples)
  add_dependencies(qtest_client packwell)
  # The sample data is zipped and listed through the real engines.
  foreach(engine brixzip1 brixuzip1 rarero10)
    if(TARGET ${engine})
      add_dependencies(qtest_client ${engine})
    endif()
  endforeach()
endif()

