tests/core/util/value_concurrency_tests_autogen/timestamp: \
  /work/main/tests/core/util/CMakeLists.txt \
  /work/main/tests/core/util/ValueConcurrencyTest.cpp \
  /usr/bin/cmake
