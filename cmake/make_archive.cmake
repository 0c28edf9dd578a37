# Packs the download: GlypharyInstaller.zip with the exe and its Icons
# folder (nothing else), and GlypharyInstaller.zip.sha256 beside it.
# Run as: cmake -DDIST=<dist folder> -P make_archive.cmake
if(NOT DIST)
  message(FATAL_ERROR "DIST is not set")
endif()
set(archive ${DIST}/GlypharyInstaller.zip)
file(REMOVE ${archive} ${archive}.sha256)
file(GLOB icons RELATIVE ${DIST} ${DIST}/Icons/*.ico)
list(SORT icons)
# A fixed time stamp keeps the archive's bytes the same from build to build.
execute_process(
  COMMAND ${CMAKE_COMMAND} -E tar cf GlypharyInstaller.zip --format=zip --mtime=2026-01-01
          GlypharyInstaller.exe ${icons}
  WORKING_DIRECTORY ${DIST}
  RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "could not pack ${archive}")
endif()
file(SHA256 ${archive} digest)
file(WRITE ${archive}.sha256 "${digest}  GlypharyInstaller.zip\n")
