# What every target of ours shares: the warning flags, and the one way a
# test executable is made.

# Our own code builds with warnings on; third-party headers are system
# includes. CI turns TIDEBELL_WERROR on, as the build is kept free of them.
add_library(tidebell_warnings INTERFACE)
target_compile_options(tidebell_warnings INTERFACE -Wall -Wextra)
# GCC 12 takes "text" + std::string, inlined at -O2 and above, for an
# overlapping copy (its bug 105651); later versions do not.
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  target_compile_options(tidebell_warnings INTERFACE -Wno-restrict)
endif()
option(TIDEBELL_WERROR "Treat compiler warnings in our code as errors" OFF)
if(TIDEBELL_WERROR)
  target_compile_options(tidebell_warnings INTERFACE -Werror)
endif()

# tidebell_add_test(<name> SOURCES <files...> [LINK <libs...>] [WINDOW] [OFFSCREEN] [OWN_MAIN] [SERIAL])
# makes a gtest executable in tests/bin and registers its tests. WINDOW
# links the offscreen window-test entry; OFFSCREEN runs a suite that makes
# its own Qt application offscreen; OWN_MAIN leaves the entry to the sources;
# SERIAL keeps the tests from running beside others.
function(tidebell_add_test name)
  cmake_parse_arguments(ARG "WINDOW;OFFSCREEN;OWN_MAIN;SERIAL" "" "SOURCES;LINK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  target_link_libraries(${name} PRIVATE tidebell_warnings ${ARG_LINK})
  if(ARG_WINDOW)
    target_link_libraries(${name} PRIVATE tidebell_test_window_main)
  elseif(ARG_OWN_MAIN)
    target_link_libraries(${name} PRIVATE GTest::gtest)
  else()
    target_link_libraries(${name} PRIVATE GTest::gtest_main)
  endif()
  set(properties)
  if(ARG_WINDOW OR ARG_OFFSCREEN)
    list(APPEND properties ENVIRONMENT "QT_QPA_PLATFORM=offscreen")
  endif()
  if(ARG_SERIAL)
    list(APPEND properties RUN_SERIAL TRUE)
  endif()
  if(properties)
    gtest_discover_tests(${name} PROPERTIES ${properties})
  else()
    gtest_discover_tests(${name})
  endif()
endfunction()
