# CMake generated Testfile for 
# Source directory: /work/main/tests/core/document
# Build directory: /work/main/build/dev/tests/core/document
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
