# Screenshots of the desktop layer's windows (docs/screenshots/take.sh).
if(PACKWELL_WITH_QT)
  add_executable(desktop_screenshots EXCLUDE_FROM_ALL ${CMAKE_CURRENT_LIST_DIR}/screenshots.cpp)
  target_link_libraries(desktop_screenshots PRIVATE PackwellDEMO Qt6::Widgets)
endif()
