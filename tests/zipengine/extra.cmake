# The engine tests call libbrixzip1.so through its C interface and read the
# archives back with libzip.
foreach(t ${folder_tests})
  target_link_libraries(${t} PRIVATE brixzip1 PkgConfig::LIBZIP)
  target_include_directories(${t} PRIVATE ${CMAKE_SOURCE_DIR}/engines/include)
endforeach()
