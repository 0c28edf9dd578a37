# Runs make_assets.py into a scratch folder and compares what it writes with
# the committed files, byte for byte; also fails on a committed icon the
# generator no longer writes, since the build ships every icons/*.ico.
# Run as: cmake -DPYTHON=<python3> -DSOURCE=<assets folder> -DWORK=<scratch folder>
#               -P check_regenerated.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../cmake/check_summary.cmake)

file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${PYTHON} ${SOURCE}/make_assets.py --out ${WORK}
                RESULT_VARIABLE generator_failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(generator_failed)
  fail("make_assets.py failed:\n${log}")
endif()

file(GLOB_RECURSE generated RELATIVE ${WORK} ${WORK}/*)
list(LENGTH generated generated_count)
if(generated_count EQUAL 0 AND NOT generator_failed)
  fail("make_assets.py wrote nothing into ${WORK}")
endif()
foreach(name IN LISTS generated)
  if(NOT EXISTS ${SOURCE}/${name})
    fail("${name} is generated but not committed")
    continue()
  endif()
  execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files ${WORK}/${name} ${SOURCE}/${name}
                  RESULT_VARIABLE differs)
  if(differs)
    fail("${name} differs from what make_assets.py writes: run python3 assets/make_assets.py and commit the result")
  endif()
endforeach()

file(GLOB committed_icons RELATIVE ${SOURCE} ${SOURCE}/icons/*.ico)
foreach(name IN LISTS committed_icons)
  if(NOT name IN_LIST generated AND NOT generator_failed)
    fail("${name} is committed but make_assets.py does not write it")
  endif()
endforeach()

finish(regeneration)
