# CMake generated Testfile for 
# Source directory: /work/main/tests/core/util
# Build directory: /work/main/build/dev/tests/core/util
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
include("/work/main/build/dev/tests/core/util/util_tests[1]_include.cmake")
include("/work/main/build/dev/tests/core/util/value_concurrency_tests[1]_include.cmake")
