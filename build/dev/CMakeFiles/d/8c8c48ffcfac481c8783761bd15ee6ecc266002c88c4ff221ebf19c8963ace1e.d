src/cli/quillcast-cli-lib_autogen/timestamp: \
  /work/main/src/cli/CMakeLists.txt \
  /work/main/src/cli/CliApp.cpp \
  /work/main/src/cli/CliApp.h \
  /usr/bin/cmake
