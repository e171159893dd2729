# Included when this machine cannot run the build's programs (TC_RUN_PROGRAMS
# OFF: a Windows i686 build on a kernel without 32-bit support). Everything
# is still built, but only the tests that read the binaries without running
# them are registered (export tables, imports, dist/): a test that would start
# a program of this build, under the emulator given by name or implied by a
# target as its command, is left out, and GoogleTest programs are not asked
# for their cases.
function(gtest_discover_tests)
endfunction()

function(add_test)
  cmake_parse_arguments(A "" "NAME" "COMMAND" ${ARGN})
  if(A_COMMAND)
    list(GET A_COMMAND 0 program)
    if(TARGET ${program})
      get_target_property(imported ${program} IMPORTED)
      if(NOT imported)
        return()
      endif()
    endif()
  endif()
  foreach(arg ${A_COMMAND})
    if(arg MATCHES "scripts/wine-run$" OR (CMAKE_CROSSCOMPILING_EMULATOR AND arg STREQUAL CMAKE_CROSSCOMPILING_EMULATOR))
      return()
    endif()
  endforeach()
  _add_test(${ARGN})
endfunction()

# Properties of a test that was left out are not set either.
function(set_tests_properties)
  set(tests)
  foreach(arg ${ARGN})
    if(arg STREQUAL "PROPERTIES")
      break()
    endif()
    list(APPEND tests ${arg})
  endforeach()
  foreach(test ${tests})
    if(NOT TEST ${test})
      return()
    endif()
  endforeach()
  _set_tests_properties(${ARGN})
endfunction()
