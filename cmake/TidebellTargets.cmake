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
# makes a gtest executable in tests/bin, with its folder's include root, and
# registers its tests. WINDOW
# links the offscreen window-test entry; OFFSCREEN runs a suite that makes
# its own Qt application offscreen; OWN_MAIN leaves the entry to the sources;
# SERIAL keeps the tests from running beside others.
function(tidebell_add_test name)
  cmake_parse_arguments(ARG "WINDOW;OFFSCREEN;OWN_MAIN;SERIAL" "" "SOURCES;LINK" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests/bin)
  target_link_libraries(${name} PRIVATE tidebell_warnings ${ARG_LINK})
  # The test's own folder; what it tests comes with the libraries it links.
  file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  tidebell_include_root(${name} PRIVATE ${folder})
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

# tidebell_include_root(<target> <PUBLIC|PRIVATE|INTERFACE> <folder>...)
# gives <target> the include root of each source <folder> (a path from the
# top of the tree). The root is a folder of the build tree that holds
# links to that folder's own headers under the folder's path, so that
# "archive/archiver.h" is found and nothing else of the tree is: a target
# sees its own folder and what its linked targets export, and a wrong-way
# include is a missing file. A sub-folder (archive/wrappers/) is a layer of
# its own and is not in its parent's root. The links are made at configure
# time; a header added or removed makes the next build configure again.
function(tidebell_include_root target scope)
  foreach(folder ${ARGN})
    set(source ${PROJECT_SOURCE_DIR}/${folder})
    if(NOT IS_DIRECTORY ${source})
      message(FATAL_ERROR "tidebell_include_root: ${folder} is not a folder of the source tree.")
    endif()
    string(REPLACE "/" "+" id "${folder}")
    set(root ${CMAKE_BINARY_DIR}/include_roots/${id})
    get_property(made GLOBAL PROPERTY TIDEBELL_INCLUDE_ROOT_${id})
    if(NOT made)
      set_property(GLOBAL PROPERTY TIDEBELL_INCLUDE_ROOT_${id} TRUE)
      file(GLOB headers CONFIGURE_DEPENDS RELATIVE ${source} ${source}/*.h ${source}/*.hpp)
      file(MAKE_DIRECTORY ${root}/${folder})
      # Links of headers removed since the last configure go, so that an
      # include of one fails as it would without the root.
      file(GLOB links RELATIVE ${root}/${folder} LIST_DIRECTORIES false ${root}/${folder}/*)
      foreach(link ${links})
        if(NOT link IN_LIST headers)
          file(REMOVE ${root}/${folder}/${link})
        endif()
      endforeach()
      foreach(header ${headers})
        if(NOT IS_SYMLINK ${root}/${folder}/${header})
          file(CREATE_LINK ${source}/${header} ${root}/${folder}/${header} SYMBOLIC)
        endif()
      endforeach()
    endif()
    target_include_directories(${target} ${scope} ${root})
  endforeach()
endfunction()
