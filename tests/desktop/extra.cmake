# The desktop tests read files shipped with the sources (the face picture).
add_compile_definitions(PACKWELL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")

# Screenshots of the desktop layer's windows (docs/screenshots/take.sh).
if(PACKWELL_WITH_QT)
  add_executable(desktop_screenshots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/screenshots.cpp)
  target_link_libraries(desktop_screenshots PRIVATE PackwellDEMO Qt6::Widgets)
endif()
