# A scripted stand-in for the unzip engine and the version library, in a
# folder of its own: tests select it with PACKWELL_ENGINE_DIR, so they never
# pick up the real engine beside the binaries.
set(PACKWELL_FAKE_UZ_DIR ${CMAKE_BINARY_DIR}/fake-uzengine)
foreach(lib brixuzip1 rarero10)
  add_library(fake_${lib} SHARED ${CMAKE_CURRENT_LIST_DIR}/fake_uzengine.cpp)
  target_include_directories(fake_${lib} PRIVATE ${CMAKE_SOURCE_DIR}/engines/include ${CMAKE_CURRENT_LIST_DIR})
  set_target_properties(fake_${lib} PROPERTIES OUTPUT_NAME ${lib} LIBRARY_OUTPUT_DIRECTORY ${PACKWELL_FAKE_UZ_DIR})
endforeach()

foreach(t ${folder_tests})
  add_dependencies(${t} fake_brixuzip1 fake_rarero10 packwell brixuzip1 rarero10)
endforeach()
