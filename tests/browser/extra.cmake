# The browser window tests list and "extract" through the unzip engine's
# scripted stand-in (built by tests/unzip/extra.cmake); the desktop side of
# the browser also runs the real unzip engine on real archives.
foreach(t ${folder_tests})
  if(t MATCHES "^qtest_")
    add_dependencies(${t} fake_brixuzip1 fake_rarero10)
  endif()
  if(t STREQUAL "qtest_browser_desktop")
    add_dependencies(${t} brixuzip1 rarero10)
  endif()
endforeach()
