# The fake zip engine: a test-only libbrixzip1.so in a folder of its own, which
# the zip tests select through PACKWELL_ENGINE_DIR (the real engine may sit in
# bin/ beside the tests).
set(PACKWELL_FAKE_ZIP_DIR ${CMAKE_BINARY_DIR}/fake-engines/zip)
add_library(fake_brixzip1 SHARED ${CMAKE_CURRENT_LIST_DIR}/fake/FakeZipEngine.cpp)
target_include_directories(fake_brixzip1 PRIVATE ${CMAKE_SOURCE_DIR}/engines/include)
set_target_properties(fake_brixzip1 PROPERTIES OUTPUT_NAME brixzip1 LIBRARY_OUTPUT_DIRECTORY ${PACKWELL_FAKE_ZIP_DIR})

foreach(t ${folder_tests})
  target_include_directories(${t} PRIVATE ${CMAKE_CURRENT_LIST_DIR})
  if(t MATCHES "_e2e")
    # End to end: the real engine, checked by the standard tools.
    add_dependencies(${t} brixzip1 brixuzip1 packwell)
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT "PACKWELL_ENGINE_DIR=${CMAKE_BINARY_DIR}/bin")
  else()
    add_dependencies(${t} fake_brixzip1 packwell)
    set_property(TEST ${t} APPEND PROPERTY ENVIRONMENT "PACKWELL_ENGINE_DIR=${PACKWELL_FAKE_ZIP_DIR}")
  endif()
endforeach()
