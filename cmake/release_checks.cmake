# Shared by the release checks (check_reproducible.cmake, check_signing.cmake):
# a fresh build of the installer and byte comparison, with the failure
# counting and summary line of check_summary.cmake.
include(${CMAKE_CURRENT_LIST_DIR}/check_summary.cmake)

# fresh_build(<ok> <source> <binary> [configure arguments...]): configures
# <binary> from <source> with the windows preset and builds the installer
# and its package alone (exe, dist/, zip, msi). Sources that are no git
# checkout are given the commit of <source>'s checkout, which the package's
# code and time derive from. Compiler flags and signing settings are taken
# from no environment, as on a clean machine. <ok> says whether both worked;
# the output goes to <binary>.log.
function(fresh_build ok source binary)
  foreach(name CFLAGS CXXFLAGS LDFLAGS RCFLAGS
               GLYPHARY_SIGN_PFX GLYPHARY_SIGN_PASSWORD GLYPHARY_SIGN_TIMESTAMP_URL)
    unset(ENV{${name}})
  endforeach()
  set(commit_arguments "")
  find_program(git_program git)
  if(git_program AND EXISTS ${SOURCE}/.git)
    execute_process(COMMAND ${git_program} -C ${SOURCE} log -1 --format=%H:%ct
                    OUTPUT_VARIABLE commit_line OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(commit_line MATCHES "^([0-9a-f]+):([0-9]+)$")
      set(commit_arguments -DGLYPHARY_SOURCE_COMMIT=${CMAKE_MATCH_1}
                           -DGLYPHARY_SOURCE_TIME=${CMAKE_MATCH_2})
    endif()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -S ${source} -B ${binary} --preset windows
                          ${commit_arguments} ${ARGN}
                  OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE failed)
  if(NOT failed)
    execute_process(COMMAND ${CMAKE_COMMAND} --build ${binary} --target GlypharyInstaller GlypharyInstallerPackage --parallel 2
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
