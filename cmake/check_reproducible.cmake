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
if(NOT built)
  fail("the second build failed")
else()
  same_bytes(exe_same ${DIST}/GlypharyInstaller.exe ${rebuilt}/GlypharyInstaller.exe)
  if(exe_same)
    same_bytes(zip_same ${DIST}/GlypharyInstaller.zip ${rebuilt}/GlypharyInstaller.zip)
    if(NOT zip_same)
      fail("GlypharyInstaller.zip differs between ${DIST} and ${rebuilt}")
    endif()
  else()
    # A build given a certificate has the signed exe in dist/ (and in its
    # zip, which no build without the key can repeat): without its
    # signature it is the unsigned exe.
    execute_process(COMMAND ${OSSLSIGNCODE} remove-signature -in ${DIST}/GlypharyInstaller.exe
                            -out ${WORK}/dist-unsigned.exe
                    OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE not_signed)
    same_bytes(exe_same ${WORK}/dist-unsigned.exe ${rebuilt}/GlypharyInstaller.exe)
    if(not_signed OR NOT exe_same)
      fail("GlypharyInstaller.exe differs between ${DIST} and ${rebuilt}")
    else()
      message(STATUS "dist/ holds a signed exe: compared without its signature; the zip is not compared")
    endif()
  endif()
endif()
# The package: the same bytes, or (signed) the same without its signature.
same_bytes(msi_same ${DIST}/GlypharyInstaller.msi ${rebuilt}/GlypharyInstaller.msi)
if(NOT msi_same)
  execute_process(COMMAND ${OSSLSIGNCODE} remove-signature -in ${DIST}/GlypharyInstaller.msi
                          -out ${WORK}/dist-unsigned.msi
                  OUTPUT_QUIET ERROR_QUIET RESULT_VARIABLE msi_not_signed)
  same_bytes(msi_same ${WORK}/dist-unsigned.msi ${rebuilt}/GlypharyInstaller.msi)
  if(msi_not_signed OR NOT msi_same)
    fail("GlypharyInstaller.msi differs between ${DIST} and ${rebuilt}")
  endif()
endif()
finish(release)
