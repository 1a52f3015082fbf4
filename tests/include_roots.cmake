# LayeringCheck.WrongWayIncludesAreMissingFiles: preprocesses one include
# per case with the include directories a target and its users see, and
# fails unless a header of the target's own or a lower layer is found and
# one of another layer is a missing file. CASES is the file of cases that
# tests/CMakeLists.txt writes at configure time; SOURCE_DIR, WORK and
# COMPILER come with it.
include(${CASES})
file(MAKE_DIRECTORY ${WORK})
set(failures 0)
foreach(n RANGE 1 ${case_count})
  set(label "${case_${n}_target} including \"${case_${n}_header}\"")
  if(NOT EXISTS ${SOURCE_DIR}/${case_${n}_header})
    message("${label}: the header is no longer in the source tree; mend the case")
    math(EXPR failures "${failures} + 1")
    continue()
  endif()
  file(WRITE ${WORK}/probe_${n}.cpp "#include \"${case_${n}_header}\"\n")
  set(flags "")
  foreach(dir ${case_${n}_includes})
    list(APPEND flags "-I${dir}")
  endforeach()
  execute_process(COMMAND ${COMPILER} -std=c++20 -E ${flags} ${WORK}/probe_${n}.cpp -o ${WORK}/probe_${n}.i
    RESULT_VARIABLE result ERROR_VARIABLE errors OUTPUT_QUIET)
  if(case_${n}_expect STREQUAL "found")
    if(NOT result EQUAL 0)
      message("${label}: should be found, but:\n${errors}")
      math(EXPR failures "${failures} + 1")
    endif()
  elseif(result EQUAL 0)
    message("${label}: compiles, though that layer is out of its reach")
    math(EXPR failures "${failures} + 1")
  else()
    # The probed header itself must be the missing file (GCC's and Clang's
    # wording), not one it includes in turn.
    string(FIND "${errors}" "${case_${n}_header}: No such file or directory" gcc)
    string(FIND "${errors}" "'${case_${n}_header}' file not found" clang)
    if(gcc EQUAL -1 AND clang EQUAL -1)
      message("${label}: fails, but not as a missing file:\n${errors}")
      math(EXPR failures "${failures} + 1")
    else()
      message("${label}: missing, as it should be")
    endif()
  endif()
endforeach()
if(failures GREATER 0)
  message(FATAL_ERROR "${failures} of ${case_count} include root case(s) failed")
endif()
