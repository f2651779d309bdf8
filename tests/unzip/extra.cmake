# A scripted stand-in for the unzip engine and the version library, in a
# folder of its own: tests select it with PACKWELL_ENGINE_DIR, so they never
# pick up the real engine beside the binaries.
set(PACKWELL_FAKE_UZ_DIR ${CMAKE_BINARY_DIR}/fake-uzengine)
foreach(lib brixuzip1 rarero10)
  add_library(fake_${lib} SHARED ${CMAKE_CURRENT_LIST_DIR}/fake_uzengine.cpp)
  target_include_directories(fake_${lib} PRIVATE ${CMAKE_SOURCE_DIR}/engines/include ${CMAKE_CURRENT_LIST_DIR})
  set_target_properties(fake_${lib} PROPERTIES OUTPUT_NAME ${lib} LIBRARY_OUTPUT_DIRECTORY ${PACKWELL_FAKE_UZ_DIR})
endforeach()

function(packwell_unzip_test_deps)
  file(GLOB unzip_tests ${CMAKE_CURRENT_SOURCE_DIR}/unzip/test_*.cpp)
  foreach(t ${unzip_tests})
    get_filename_component(n ${t} NAME_WE)
    add_dependencies(${n} fake_brixuzip1 fake_rarero10)
    foreach(dep packwell brixuzip1 rarero10)
      if(TARGET ${dep})
        add_dependencies(${n} ${dep})
      endif()
    endforeach()
  endforeach()
endfunction()
cmake_language(DEFER CALL packwell_unzip_test_deps)
