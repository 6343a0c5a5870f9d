src/core/quillcast-core_autogen/timestamp: \
  /work/main/src/core/CMakeLists.txt \
  /work/main/src/core/platform/Clock.cpp \
  /work/main/src/core/platform/Clock.h \
  /work/main/src/core/platform/FixedClock.cpp \
  /work/main/src/core/platform/FixedClock.h \
  /work/main/src/core/platform/SystemClock.cpp \
  /work/main/src/core/platform/SystemClock.h \
  /work/main/src/core/util/Dict.cpp \
  /work/main/src/core/util/Dict.h \
  /work/main/src/core/util/List.cpp \
  /work/main/src/core/util/List.h \
  /work/main/src/core/util/Value.cpp \
  /work/main/src/core/util/Value.h \
  /usr/bin/cmake
