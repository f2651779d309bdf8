if(TARGET qtest_client)
  target_link_libraries(qtest_client PRIVATE prjBRIXpackwell_window)
  add_dependencies(qtest_client packwell)
endif()

# The screenshot of the test client for the docs (docs/screenshots/take.sh).
if(PACKWELL_WITH_QT)
  add_executable(client_screenshot EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/screenshot.cpp)
  target_link_libraries(client_screenshot PRIVATE prjBRIXpackwell_window)
endif()
