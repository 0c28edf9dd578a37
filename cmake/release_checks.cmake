# Shared by the release checks (check_reproducible.cmake, check_signing.cmake):
# failures counted, a fresh build of the installer, byte comparison, and the
# summary line that the test count of tools/test.sh reads.
set(failures 0)
macro(fail message)
  message(SEND_ERROR "${message}")
  math(EXPR failures "${failures} + 1")
endmacro()

macro(finish)
  if(failures GREATER 0)
    message("[  FAILED  ] 1 test, listed below: ${failures} check(s) failed; the trees are kept in ${WORK}")
    message(FATAL_ERROR "release check failed")
  endif()
  file(REMOVE_RECURSE ${WORK})
  message("[  PASSED  ] 1 test.")
endmacro()

# fresh_build(<ok> <source> <binary> [configure arguments...]): configures
# <binary> from <source> with the windows preset and builds the installer
# alone (exe, dist/, zip). Compiler flags and signing settings are taken
# from no environment, as on a clean machine. <ok> says whether both worked;
# the output goes to <binary>.log.
function(fresh_build ok source binary)
  foreach(name CFLAGS CXXFLAGS LDFLAGS RCFLAGS
               GLYPHARY_SIGN_PFX GLYPHARY_SIGN_PASSWORD GLYPHARY_SIGN_TIMESTAMP_URL)
    unset(ENV{${name}})
  endforeach()
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${binary} --preset windows ${ARGN}
                  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${binary} --target GlypharyInstaller --parallel 2
                    OUTPUT_VARIABLE build_log ERROR_VARIABLE build_log RESULT_VARIABLE failed)
    string(APPEND log "${build_log}")
  endif()
  file(WRITE ${binary}.log "${log}")
  if(failed)
    message("${log}")
    set(${ok} FALSE PARENT_SCOPE)
  else()
    set(${ok} TRUE PARENT_SCOPE)
  endif()
endfunction()

# same_bytes(<out> <file> <file>): both files exist and hold the same bytes.
function(same_bytes out a b)
  set(${out} FALSE PARENT_SCOPE)
  if(EXISTS ${a} AND EXISTS ${b})
    file(SHA256 ${a} digest_a)
    file(SHA256 ${b} digest_b)
    if(digest_a STREQUAL digest_b)
      set(${out} TRUE PARENT_SCOPE)
    endif()
  endif()
endfunction()

find_program(OSSLSIGNCODE osslsigncode)
if(NOT OSSLSIGNCODE)
  message(FATAL_ERROR "the release checks need osslsigncode (tools/setup.sh installs it)")
endif()
