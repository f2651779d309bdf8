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
