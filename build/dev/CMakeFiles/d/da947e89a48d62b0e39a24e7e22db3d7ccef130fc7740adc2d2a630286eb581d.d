tests/core/util/util_tests_autogen/timestamp: \
  /work/main/tests/core/util/CMakeLists.txt \
  /work/main/tests/core/util/ValueTest.cpp \
  /usr/bin/cmake
