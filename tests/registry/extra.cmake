# test_cmd_reg runs the packwell program: build it first.
add_dependencies(test_cmd_reg packwell)
