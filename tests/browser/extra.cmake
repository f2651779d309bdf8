# The browser window tests list and "extract" through the unzip engine's
# scripted stand-in (built by tests/unzip/extra.cmake).
function(packwell_browser_test_deps)
  file(GLOB browser_tests ${CMAKE_CURRENT_SOURCE_DIR}/browser/qtest_*.cpp)
  foreach(t ${browser_tests})
    get_filename_component(n ${t} NAME_WE)
    if(TARGET ${n} AND TARGET fake_brixuzip1)
      add_dependencies(${n} fake_brixuzip1 fake_rarero10)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL packwell_browser_test_deps)
# The desktop side of the browser runs the real unzip engine on real archives.
if(TARGET qtest_browser_desktop AND TARGET brixuzip1)
  add_dependencies(qtest_browser_desktop brixuzip1 rarero10)
endif()

# The browser against a real archive and the real unzip engine, with pictures
# of each step (run under xvfb-run; not part of the test run).
if(PACKWELL_WITH_QT)
  add_executable(browser_realrun EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/realrun.cpp)
  target_link_libraries(browser_realrun PRIVATE packwell_desktop Qt6::Widgets)
  if(TARGET brixuzip1)
    add_dependencies(browser_realrun brixuzip1 rarero10)
  endif()
endif()

