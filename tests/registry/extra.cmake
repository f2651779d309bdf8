# test_cmd_reg runs the packwell program: build it first.
if(TARGET packwell)
  cmake_language(DEFER CALL add_dependencies test_cmd_reg packwell)
endif()
