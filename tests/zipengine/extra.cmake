# The engine tests call libbrixzip1.so through its C interface and read the
# archives back with libzip. Their targets are made after this file is read,
# so the wiring is deferred to the end of the folder.
file(GLOB zipengine_test_sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/test_*.cpp)
function(zipengine_wire_tests)
  foreach(src ${ARGN})
    get_filename_component(n ${src} NAME_WE)
    target_link_libraries(${n} PRIVATE brixzip1 PkgConfig::LIBZIP)
    target_include_directories(${n} PRIVATE ${CMAKE_SOURCE_DIR}/engines/include)
  endforeach()
endfunction()
cmake_language(DEFER CALL zipengine_wire_tests ${zipengine_test_sources})
