# CMake generated Testfile for 
# Source directory: /work/main/tests/core
# Build directory: /work/main/build/dev/tests/core
# 
# This file includes the relevant testing commands required for 
# testing this directory and lists subdirectories to be tested as well.
subdirs("util")
subdirs("platform")
subdirs("merge")
subdirs("document")
subdirs("database")
