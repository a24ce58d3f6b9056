# Read by ctest when it starts (see CMakeLists.txt): adds one test per test
# function of a QtTest program. Expects view_program, view_prefix and
# view_launcher (a list, possibly empty).

if(NOT EXISTS "${view_program}")
  add_test("${view_prefix}.NOT_BUILT" "${view_program}")
  return()
endif()

set(view_saved_platform "$ENV{QT_QPA_PLATFORM}")
set(ENV{QT_QPA_PLATFORM} offscreen)
execute_process(COMMAND "${view_program}" -functions
  OUTPUT_VARIABLE view_listing RESULT_VARIABLE view_result ERROR_VARIABLE view_errors
  TIMEOUT 60)
set(ENV{QT_QPA_PLATFORM} "${view_saved_platform}")

if(NOT view_result EQUAL 0)
  message(WARNING "cannot list the test functions of ${view_program}: ${view_errors}")
  add_test("${view_prefix}.NOT_LISTED" "${view_program}" -functions)
  return()
endif()

string(REGEX MATCHALL "[A-Za-z_][A-Za-z_0-9]*\\(\\)" view_functions "${view_listing}")
foreach(view_function IN LISTS view_functions)
  string(REPLACE "()" "" view_function "${view_function}")
  set(view_test "${view_prefix}.${view_function}")
  add_test("${view_test}" ${view_launcher} "${view_program}" "${view_function}")
  set_tests_properties("${view_test}" PROPERTIES
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS view TIMEOUT 300)
endforeach()
