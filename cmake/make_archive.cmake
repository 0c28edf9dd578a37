# Packs the download: GlypharyInstaller.zip with the exe and its Icons
# folder (nothing else), and GlypharyInstaller.zip.sha256 beside it.
# Run as: cmake -DDIST=<dist folder> -P make_archive.cmake
#
# The archive's bytes depend only on the files' contents: every build of the
# same sources gives the same zip, whoever builds it, wherever and whenever.
# Info-ZIP's zip packs copies that carry a fixed time and fixed permissions,
# in a fixed order, with -X (no uid/gid and no extra time fields, whose access
# and change times no build can fix) and -D (no directory entries). Zip
# writes the MS-DOS time in local time, so it runs in UTC.
if(NOT DIST)
  message(FATAL_ERROR "DIST is not set")
endif()
set(archive ${DIST}/GlypharyInstaller.zip)
set(staging ${DIST}-staging)
# 2026-01-01 00:00:00 UTC.
set(fixed_time 1767225600)
file(REMOVE ${archive} ${archive}.sha256)
find_program(ZIP_PROGRAM zip)
find_program(TOUCH_PROGRAM touch)
if(NOT ZIP_PROGRAM OR NOT TOUCH_PROGRAM)
  message(FATAL_ERROR "packing the download needs Info-ZIP's zip and touch (tools/setup.sh installs them)")
endif()

file(GLOB icons RELATIVE ${DIST} ${DIST}/Icons/*.ico)
list(SORT icons)
set(entries GlypharyInstaller.exe ${icons})
file(REMOVE_RECURSE ${staging})
file(MAKE_DIRECTORY ${staging}/Icons)
foreach(entry IN LISTS entries)
  if(entry STREQUAL "GlypharyInstaller.exe")
    set(mode OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  else()
    set(mode OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
  endif()
  get_filename_component(folder ${staging}/${entry} DIRECTORY)
  file(COPY ${DIST}/${entry} DESTINATION ${folder} FILE_PERMISSIONS ${mode})
endforeach()

# Settings from the environment that would change what zip writes.
unset(ENV{ZIPOPT})
unset(ENV{ZIP})
set(ENV{TZ} UTC0)
execute_process(COMMAND ${TOUCH_PROGRAM} -d @${fixed_time} ${entries}
                WORKING_DIRECTORY ${staging} RESULT_VARIABLE failed)
if(NOT failed)
  execute_process(COMMAND ${ZIP_PROGRAM} -X -D -9 -q ${archive} ${entries}
                  WORKING_DIRECTORY ${staging} RESULT_VARIABLE failed)
endif()
file(REMOVE_RECURSE ${staging})
if(failed)
  file(REMOVE ${archive})
  message(FATAL_ERROR "could not pack ${archive}")
endif()
file(SHA256 ${archive} digest)
file(WRITE ${archive}.sha256 "${digest}  GlypharyInstaller.zip\n")
