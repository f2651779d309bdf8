# The fault-injection library the reliability tests preload into packwell,
# and a helper that runs cZip's Delete (packwell has no delete command).
add_library(pw_faultinject SHARED ${CMAKE_CURRENT_LIST_DIR}/faultinject.c)
target_link_libraries(pw_faultinject PRIVATE ${CMAKE_DL_LIBS})
set_target_properties(pw_faultinject PROPERTIES C_STANDARD 11)

add_executable(pw_zipdelete ${CMAKE_CURRENT_LIST_DIR}/zipdelete_main.cpp)
target_link_libraries(pw_zipdelete PRIVATE packwell_core)

foreach(t ${folder_tests})
  add_dependencies(${t} pw_faultinject pw_zipdelete packwell brixzip1 brixuzip1 rarero10)
endforeach()
