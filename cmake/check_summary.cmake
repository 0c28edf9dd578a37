# What the checks run as CTest scripts (cmake -P) share: failures counted
# as they are found, and at the end the summary line that the test count of
# tools/test.sh reads. The scratch folder ${WORK} is removed when all passed
# and kept for a look when something failed.
set(failures 0)
macro(fail message)
  message(SEND_ERROR "${message}")
  math(EXPR failures "${failures} + 1")
endmacro()

# finish(<what>): "[  PASSED  ] 1 test.", or the failure line naming <what>.
macro(finish what)
  if(failures GREATER 0)
    message("[  FAILED  ] 1 test, listed below: ${failures} ${what} check(s) failed; see ${WORK}")
    message(FATAL_ERROR "${what} check failed")
  endif()
  file(REMOVE_RECURSE ${WORK})
  message("[  PASSED  ] 1 test.")
endmacro()
