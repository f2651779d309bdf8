# The desktop tests read files shipped with the sources (the face picture).
add_compile_definitions(PACKWELL_TEST_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
