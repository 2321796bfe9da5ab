# GoogleTest for cross builds: Debian's googletest package ships its sources, which are
# compiled here by the cross compiler (the host's libgtest cannot link into a Windows
# program). Gives the same GTest::gtest and GTest::gtest_main targets as find_package.
set(LODEX_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest's source folder")
if(NOT EXISTS ${LODEX_GTEST_SOURCE}/CMakeLists.txt)
  message(FATAL_ERROR "No GoogleTest sources at ${LODEX_GTEST_SOURCE} (Debian package googletest)")
endif()
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(${LODEX_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(NOT TARGET GTest::gtest)
  add_library(GTest::gtest ALIAS gtest)
  add_library(GTest::gtest_main ALIAS gtest_main)
endif()
