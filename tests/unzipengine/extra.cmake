# The engine tests call the engines' C entry points directly.
function(_uzengine_link_tests)
  foreach(t test_uzlisting test_uzextract test_uzsafety test_uzmethods test_uzarchives)
    if(TARGET ${t})
      target_link_libraries(${t} PRIVATE brixuzip1 rarero10)
      target_include_directories(${t} PRIVATE ${CMAKE_SOURCE_DIR}/engines/include)
    endif()
  endforeach()
  # The Deflate64 decoder is tested as the module it is, without the engine.
  if(TARGET test_uzdeflate64)
    target_sources(test_uzdeflate64 PRIVATE ${CMAKE_SOURCE_DIR}/engines/unzip/UzDeflate64.cpp)
    target_include_directories(test_uzdeflate64 PRIVATE ${CMAKE_SOURCE_DIR}/engines/unzip)
  endif()
  # Files with a temporary name, the way taken where the file system has no
  # O_TMPFILE: the writing, replacing and safety cases again on that way.
  if(TARGET test_uzextract AND TARGET test_uzsafety)
    foreach(t test_uzextract test_uzsafety)
      add_test(NAME ${t}_named COMMAND ${t})
      get_test_property(${t} ENVIRONMENT env)
      set_tests_properties(${t}_named PROPERTIES ENVIRONMENT "${env};BRIXUZIP_NAMED_TEMPS=1" TIMEOUT 600)
    endforeach()
  endif()
  # Listing every archive through libzip's table, as the archives that are
  # not plain ones are: the listing cases again on that way.
  foreach(t test_uzlisting test_uzarchives)
    if(TARGET ${t})
      add_test(NAME ${t}_libzip COMMAND ${t})
      get_test_property(${t} ENVIRONMENT env)
      set_tests_properties(${t}_libzip PROPERTIES ENVIRONMENT "${env};BRIXUZIP_LIST_THROUGH_LIBZIP=1" TIMEOUT 600)
    endif()
  endforeach()
endfunction()
cmake_language(DEFER CALL _uzengine_link_tests)
