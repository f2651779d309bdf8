# The engine tests call the engines' C entry points directly; the Deflate64
# decoder is tested as the module it is, without the engine.
foreach(t ${folder_tests})
  if(t STREQUAL "test_uzdeflate64")
    target_sources(${t} PRIVATE ${CMAKE_SOURCE_DIR}/engines/unzip/UzDeflate64.cpp)
    target_include_directories(${t} PRIVATE ${CMAKE_SOURCE_DIR}/engines/unzip)
  else()
    target_link_libraries(${t} PRIVATE brixuzip1 rarero10)
    target_include_directories(${t} PRIVATE ${CMAKE_SOURCE_DIR}/engines/include)
  endif()
  # Files with a temporary name, the way taken where the file system has no
  # O_TMPFILE: the writing, replacing and safety cases again on that way.
  if(t STREQUAL "test_uzextract" OR t STREQUAL "test_uzsafety")
    add_test(NAME ${t}_named COMMAND ${t})
    get_test_property(${t} ENVIRONMENT env)
    set_tests_properties(${t}_named PROPERTIES ENVIRONMENT "${env};BRIXUZIP_NAMED_TEMPS=1" TIMEOUT 600)
    # Every entry read through libzip, as the entries of archives that are
    # not plain ones are: the same cases again on that way.
    add_test(NAME ${t}_libzip COMMAND ${t})
    set_tests_properties(${t}_libzip PROPERTIES ENVIRONMENT "${env};BRIXUZIP_READ_THROUGH_LIBZIP=1" TIMEOUT 600)
  endif()
  # Listing every archive through libzip's table, as the archives that are
  # not plain ones are: the listing cases again on that way.
  if(t STREQUAL "test_uzlisting" OR t STREQUAL "test_uzarchives")
    add_test(NAME ${t}_libzip COMMAND ${t})
    get_test_property(${t} ENVIRONMENT env)
    set_tests_properties(${t}_libzip PROPERTIES ENVIRONMENT "${env};BRIXUZIP_LIST_THROUGH_LIBZIP=1" TIMEOUT 600)
  endif()
endforeach()
