# Additional clean files
cmake_minimum_required(VERSION 3.16)

if("${CONFIG}" STREQUAL "" OR "${CONFIG}" STREQUAL "Debug")
  file(REMOVE_RECURSE
  "src/cli/CMakeFiles/quillcast-cli-lib_autogen.dir/AutogenUsed.txt"
  "src/cli/CMakeFiles/quillcast-cli-lib_autogen.dir/ParseCache.txt"
  "src/cli/CMakeFiles/quillcast-cli_autogen.dir/AutogenUsed.txt"
  "src/cli/CMakeFiles/quillcast-cli_autogen.dir/ParseCache.txt"
  "src/cli/quillcast-cli-lib_autogen"
  "src/cli/quillcast-cli_autogen"
  "src/core/CMakeFiles/quillcast-core_autogen.dir/AutogenUsed.txt"
  "src/core/CMakeFiles/quillcast-core_autogen.dir/ParseCache.txt"
  "src/core/quillcast-core_autogen"
  "src/gui/CMakeFiles/quillcast_autogen.dir/AutogenUsed.txt"
  "src/gui/CMakeFiles/quillcast_autogen.dir/ParseCache.txt"
  "src/gui/quillcast_autogen"
  "tests/CMakeFiles/quillcast-test-support_autogen.dir/AutogenUsed.txt"
  "tests/CMakeFiles/quillcast-test-support_autogen.dir/ParseCache.txt"
  "tests/core/util/CMakeFiles/util_tests_autogen.dir/AutogenUsed.txt"
  "tests/core/util/CMakeFiles/util_tests_autogen.dir/ParseCache.txt"
  "tests/core/util/CMakeFiles/value_concurrency_tests_autogen.dir/AutogenUsed.txt"
  "tests/core/util/CMakeFiles/value_concurrency_tests_autogen.dir/ParseCache.txt"
  "tests/core/util/util_tests_autogen"
  "tests/core/util/value_concurrency_tests_autogen"
  "tests/quillcast-test-support_autogen"
  )
endif()
