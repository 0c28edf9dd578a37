# Signs the exe (or the .msi package) with Authenticode (osslsigncode,
# SHA-256) when a code-signing certificate is given; with none given it
# leaves the file as it is.
# Run as: cmake -DEXE=<exe to sign in place> -DCACHE=<the build's CMakeCache.txt>
#               -DWORK=<scratch folder> -P sign.cmake
#
# Each setting is the build's cache variable or, where that is empty, the
# environment variable of the same name as the build runs:
#   GLYPHARY_SIGN_PFX            the certificate and its key (PKCS#12), an absolute path
#   GLYPHARY_SIGN_PASSWORD       the PFX's password
#   GLYPHARY_SIGN_TIMESTAMP_URL  RFC 3161 time-stamp servers (a ;-list, tried in turn); optional
# The password is read here, not passed on a command line, so that it shows
# neither in the generated build files and verbose build logs nor in the
# process list: osslsigncode reads it from a file in a folder only the
# builder can open, removed straight after.
foreach(name EXE CACHE WORK)
  if(NOT ${name})
    message(FATAL_ERROR "${name} is not set")
  endif()
endforeach()

# On any failure the exe goes, so that dist/ never holds an unsigned exe when
# a signed one was asked for.
macro(give_up text)
  file(REMOVE_RECURSE ${WORK})
  file(REMOVE ${EXE})
  message(FATAL_ERROR "${text}")
endmacro()

file(READ ${CACHE} cache_text)
function(setting out name)
  set(value "")
  if(cache_text MATCHES "\n${name}:[A-Z]+=([^\n]*)")
    set(value "${CMAKE_MATCH_1}")
  endif()
  if(value STREQUAL "" AND DEFINED ENV{${name}})
    set(value "$ENV{${name}}")
  endif()
  set(${out} "${value}" PARENT_SCOPE)
endfunction()
setting(pfx GLYPHARY_SIGN_PFX)
setting(password GLYPHARY_SIGN_PASSWORD)
setting(timestamp_urls GLYPHARY_SIGN_TIMESTAMP_URL)

if(pfx STREQUAL "")
  # A password or a time-stamp server without a certificate means signing was
  # meant: stop rather than ship an unsigned exe by mistake.
  if(NOT password STREQUAL "" OR NOT timestamp_urls STREQUAL "")
    give_up("GLYPHARY_SIGN_PASSWORD or GLYPHARY_SIGN_TIMESTAMP_URL is set but GLYPHARY_SIGN_PFX is not: give the certificate, or unset them for an unsigned build")
  endif()
  return()
endif()

if(NOT IS_ABSOLUTE "${pfx}" OR NOT EXISTS "${pfx}" OR IS_DIRECTORY "${pfx}")
  give_up("GLYPHARY_SIGN_PFX: no certificate file at '${pfx}' (an absolute path is needed)")
endif()
find_program(OSSLSIGNCODE osslsigncode)
if(NOT OSSLSIGNCODE)
  give_up("signing needs osslsigncode (tools/setup.sh installs it)")
endif()

set(timestamp_args "")
foreach(url IN LISTS timestamp_urls)
  list(APPEND timestamp_args -ts ${url})
endforeach()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
file(CHMOD ${WORK} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
file(WRITE ${WORK}/password "${password}")
get_filename_component(signed_name ${EXE} NAME)
execute_process(
  COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${pfx} -readpass ${WORK}/password
          -h sha256 -n "Glyphary Installer" ${timestamp_args}
          -in ${EXE} -out ${WORK}/signed-${signed_name}
  RESULT_VARIABLE failed)
file(REMOVE ${WORK}/password)
if(failed OR NOT EXISTS ${WORK}/signed-${signed_name})
  give_up("signing ${EXE} failed")
endif()
file(CHMOD ${WORK}/signed-${signed_name} PERMISSIONS
     OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
file(RENAME ${WORK}/signed-${signed_name} ${EXE})
file(REMOVE_RECURSE ${WORK})
message(STATUS "Signed ${EXE}")
