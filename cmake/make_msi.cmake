# Builds the Windows Installer package from the file-type table: the
# generator writes its WiX source, msitools' wixl builds it, and it is
# signed (with SIGN and a certificate, as the exe is) and given its .sha256.
# Run as: cmake -DGENERATOR=<make_msi_source> -DSOURCE=<source folder>
#               -DVERSION=<1.0.0.0> -DACTIONS=<package_actions.dll> -DOUT=<the .msi>
#               -DWORK=<scratch folder> [-DSIGN=ON -DCACHE=<CMakeCache.txt>]
#               [-DCOMMIT=<id> -DCOMMIT_TIME=<seconds>] -P make_msi.cmake
#
# Two builds of one commit give the same bytes. wixl stamps a random package
# code and the current time into the summary information, and packs the
# files with their modification times: the time is the commit's (wixl runs
# under faketime at it), the package code is derived from the commit and
# the version (set afterwards with msibuild), and the files are packed from
# copies that carry the commit's time. The commit comes from git where the
# sources are a checkout, else from COMMIT and COMMIT_TIME.
foreach(name GENERATOR SOURCE VERSION ACTIONS OUT WORK)
  if(NOT ${name})
    message(FATAL_ERROR "${name} is not set")
  endif()
endforeach()
foreach(tool wixl msibuild faketime touch)
  find_program(${tool}_program ${tool})
  if(NOT ${tool}_program)
    message(FATAL_ERROR "making the package needs ${tool} (tools/setup.sh installs msitools, wixl and faketime)")
  endif()
endforeach()

# The commit, and its time.
find_program(git_program git)
if(git_program AND EXISTS ${SOURCE}/.git)
  execute_process(COMMAND ${git_program} -C ${SOURCE} log -1 --format=%H:%ct
                  OUTPUT_VARIABLE commit_line OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed)
  if(NOT failed AND commit_line MATCHES "^([0-9a-f]+):([0-9]+)$")
    set(COMMIT ${CMAKE_MATCH_1})
    set(COMMIT_TIME ${CMAKE_MATCH_2})
  endif()
endif()
if(NOT COMMIT)
  set(COMMIT "no commit")
endif()
if(NOT COMMIT_TIME)
  set(COMMIT_TIME 1767225600)  # 2026-01-01 00:00:00 UTC, as the zip's files
endif()

file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK}/Icons)
file(GLOB icons RELATIVE ${SOURCE}/assets/icons ${SOURCE}/assets/icons/*.ico)
list(SORT icons)
foreach(icon IN LISTS icons)
  file(COPY ${SOURCE}/assets/icons/${icon} DESTINATION ${WORK}/Icons)
endforeach()
file(COPY ${SOURCE}/assets/program.ico ${ACTIONS} DESTINATION ${WORK})
get_filename_component(actions_name ${ACTIONS} NAME)
file(GLOB staged RELATIVE ${WORK} ${WORK}/*.* ${WORK}/Icons/*)
set(ENV{TZ} UTC0)
execute_process(COMMAND ${touch_program} -d @${COMMIT_TIME} ${staged}
                WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)

execute_process(COMMAND ${GENERATOR} ${VERSION} Icons program.ico ${actions_name} ${icons}
                OUTPUT_FILE ${WORK}/GlypharyInstaller.wxs WORKING_DIRECTORY ${WORK}
                COMMAND_ERROR_IS_FATAL ANY)
set(ENV{SOURCE_DATE_EPOCH} ${COMMIT_TIME})
string(TIMESTAMP fake_time "@%Y-%m-%d %H:%M:%S" UTC)
execute_process(COMMAND ${faketime_program} -f ${fake_time}
                        ${wixl_program} -a x64 -o GlypharyInstaller.msi GlypharyInstaller.wxs
                WORKING_DIRECTORY ${WORK} RESULT_VARIABLE failed
                OUTPUT_VARIABLE wixl_log ERROR_VARIABLE wixl_log)
if(failed OR NOT EXISTS ${WORK}/GlypharyInstaller.msi)
  message(FATAL_ERROR "wixl could not build the package:\n${wixl_log}")
endif()
# The package code: one for each commit and version.
file(STRINGS ${SOURCE}/engine/product_names.h upgrade_line REGEX "define GLYPHARY_UPGRADE_CODE")
string(REGEX MATCH "[0-9A-F-]+-[0-9A-F]+" upgrade_code "${upgrade_line}")
string(UUID package_code NAMESPACE ${upgrade_code}
       NAME "GlypharyInstaller package ${COMMIT} ${VERSION}" TYPE SHA1 UPPER)
execute_process(COMMAND ${msibuild_program} GlypharyInstaller.msi
                        -s "Glyphary Installer" "Quillfern Software" "x64;1033" "{${package_code}}"
                WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
# The custom actions' types (deferred, rollback, no impersonation), which
# wixl writes as plain immediate ones, from the generator's table.
execute_process(COMMAND ${GENERATOR} --action-types OUTPUT_VARIABLE updates COMMAND_ERROR_IS_FATAL ANY)
string(REPLACE "\n" ";" updates "${updates}")
foreach(update IN LISTS updates)
  if(update)
    execute_process(COMMAND ${msibuild_program} GlypharyInstaller.msi -q "${update}"
                    WORKING_DIRECTORY ${WORK} COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

if(SIGN)
  execute_process(COMMAND ${CMAKE_COMMAND} -DEXE=${WORK}/GlypharyInstaller.msi -DCACHE=${CACHE}
                          -DWORK=${WORK}/signing -P ${CMAKE_CURRENT_LIST_DIR}/sign.cmake
                  RESULT_VARIABLE failed)
  if(failed)
    file(REMOVE ${OUT} ${OUT}.sha256)
    message(FATAL_ERROR "signing the package failed")
  endif()
endif()
get_filename_component(out_folder ${OUT} DIRECTORY)
get_filename_component(out_name ${OUT} NAME)
file(MAKE_DIRECTORY ${out_folder})
file(COPY_FILE ${WORK}/GlypharyInstaller.msi ${OUT})
file(SHA256 ${OUT} digest)
file(WRITE ${OUT}.sha256 "${digest}  ${out_name}\n")
file(REMOVE_RECURSE ${WORK})
