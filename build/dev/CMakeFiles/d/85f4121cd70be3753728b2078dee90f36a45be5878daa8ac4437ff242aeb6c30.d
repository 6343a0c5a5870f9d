src/cli/quillcast-cli_autogen/timestamp: \
  /work/main/src/cli/CMakeLists.txt \
  /work/main/src/cli/main.cpp \
  /usr/bin/cmake
