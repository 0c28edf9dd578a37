# Builds the release a second time, from a copy of the sources in another
# folder into a fresh build folder, and compares its exe, zip and msi with
# dist/ byte for byte.
# Run as: cmake -DSOURCE=<source folder> -DDIST=<dist folder> -DWORK=<scratch folder>
#               -P check_reproducible.cmake
include(${CMAKE_CURRENT_LIST_DIR}/release_checks.cmake)
file(REMOVE_RECURSE ${WORK})
# The sources without build folders and git's data, as a fresh checkout has
# them; never the folder that holds this scratch folder.
file(GLOB entries LIST_DIRECTORIES true RELATIVE ${SOURCE} ${SOURCE}/*)
file(RELATIVE_PATH work_in_source ${SOURCE} ${WORK})
string(REGEX REPLACE "/.*" "" work_top "${work_in_source}")
list(REMOVE_ITEM entries build .git ${work_top})
foreach(entry IN LISTS entries)
  file(COPY ${SOURCE}/${entry} DESTINATION ${WORK}/src)
endforeach()

fresh_build(built ${WORK}/src ${WORK}/src/build/windows)
set(rebuilt ${WORK}/src/build/windows/dist)

# compare(<out> <file>): "same" when dist/ and the rebuild hold the same
# bytes, "signed" when dist/'s is signed and without its signature the same
# (a build given a certificate, which no build without the key can repeat),
# else "differs".
function(compare out name)
  same_bytes(same ${DIST}/${name} ${rebuilt}/${name})
  if(same)
    set(${out} same PARENT_SCOPE)
    return()
  endif()
  execute_process(COMMAND ${OSSLSIGNCODE} remove-signature -in ${DIST}/${name}
                          -out ${WORK}/dist-unsigned-${name}
                  OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE not_signed)
  same_bytes(same ${WORK}/dist-unsigned-${name} ${rebuilt}/${name})
  if(NOT not_signed AND same)
    set(${out} signed PARENT_SCOPE)
  else()
    set(${out} differs PARENT_SCOPE)
  endif()
endfunction()

if(NOT built)
  fail("the second build failed")
else()
  compare(exe GlypharyInstaller.exe)
  compare(msi GlypharyInstaller.msi)
  foreach(name exe msi)
    if(${name} STREQUAL "differs")
      fail("GlypharyInstaller.${name} differs between ${DIST} and ${rebuilt}")
    elseif(${name} STREQUAL "signed")
      message(STATUS "dist/ holds a signed GlypharyInstaller.${name}: compared without its signature")
    endif()
  endforeach()
  # The zip holds the exe: with a signed one it cannot be repeated.
  if(exe STREQUAL "same")
    same_bytes(zip_same ${DIST}/GlypharyInstaller.zip ${rebuilt}/GlypharyInstaller.zip)
    if(NOT zip_same)
      fail("GlypharyInstaller.zip differs between ${DIST} and ${rebuilt}")
    endif()
  endif()
endif()
finish(release)
