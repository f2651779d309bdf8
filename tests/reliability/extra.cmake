# The fault-injection library the reliability tests preload into packwell.
add_library(pw_faultinject SHARED ${CMAKE_CURRENT_LIST_DIR}/faultinject.c)
target_link_libraries(pw_faultinject PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(pw_faultinject PROPERTIES C_STANDARD 11)
foreach(t test_span_faults)
  if(TARGET ${t})
    add_dependencies(${t} pw_faultinject packwell)
  endif()
endforeach()
