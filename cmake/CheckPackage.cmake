# Packs a build tree with its CPack rules and checks the archive as a user
# would find it. Fails with a message naming what is wrong.
# Usage: cmake -DCPACK_CONFIG=<CPackConfig.cmake> -DOUTPUT_DIR=<dir>
#   -DARCHIVE_NAME=<file> -DKIND=win64|linux -DVERSION=<x.y.z>
#   -DOBJDUMP=<objdump> -DNM=<nm> -DSOURCE_DIR=<source> -P CheckPackage.cmake

execute_process(COMMAND cpack --config ${CPACK_CONFIG} -B ${OUTPUT_DIR}
  RESULT_VARIABLE failed OUTPUT_VARIABLE packed ERROR_VARIABLE packed)
if(failed)
  message(FATAL_ERROR "cpack failed:\n${packed}")
endif()
set(archive ${OUTPUT_DIR}/${ARCHIVE_NAME})
if(NOT EXISTS ${archive})
  message(FATAL_ERROR "cpack made no ${archive}:\n${packed}")
endif()
if(NOT ARCHIVE_NAME MATCHES "-${VERSION}-")
  message(FATAL_ERROR "${ARCHIVE_NAME} does not name the version ${VERSION}")
endif()

set(unpacked ${OUTPUT_DIR}/unpacked)
file(REMOVE_RECURSE ${unpacked})
file(MAKE_DIRECTORY ${unpacked})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${archive}
  WORKING_DIRECTORY ${unpacked} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "cannot unpack ${archive}")
endif()
string(REGEX REPLACE "\\.(zip|tar\\.gz)$" "" top ${ARCHIVE_NAME})
set(root ${unpacked}/${top})

if(KIND STREQUAL "win64")
  set(expected Install.txt LICENSE.txt Solvanta.8bf VERSION.txt)
  set(plugin ${root}/Solvanta.8bf)
  set(export_kind pe)
  set(export_tool ${OBJDUMP})
else()
  set(expected LICENSE.txt README.md VERSION.txt
    "bin/Solvanta.so" "bin/Vantorelle Solvanta Q9.lnk" bin/solvanta-host bin/solvanta-server
    docs/filter-run.svg docs/guide.md docs/install-windows.txt)
  set(plugin ${root}/bin/Solvanta.so)
  set(export_kind elf)
  set(export_tool ${NM})
endif()
file(GLOB_RECURSE found LIST_DIRECTORIES false RELATIVE ${root} ${root}/*)
list(SORT found)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "${ARCHIVE_NAME} holds\n  [${found}]\ninstead of\n  [${expected}]")
endif()

file(READ ${root}/VERSION.txt version_text)
if(NOT version_text STREQUAL "Solvanta Q9 ${VERSION}\n")
  message(FATAL_ERROR "VERSION.txt says '${version_text}', not ${VERSION}")
endif()

set(TOOL ${export_tool})
set(KIND ${export_kind})
set(LIBRARY ${plugin})
include(${CMAKE_CURRENT_LIST_DIR}/CheckExports.cmake)

foreach(program IN ITEMS ${plugin} ${root}/bin/solvanta-host ${root}/bin/solvanta-server)
  if(NOT EXISTS ${program})
    continue()
  endif()
  execute_process(COMMAND ${OBJDUMP} -h ${program} OUTPUT_VARIABLE sections RESULT_VARIABLE failed)
  if(failed OR sections MATCHES "\\.debug_")
    message(FATAL_ERROR "${program} carries debug information")
  endif()
endforeach()

if(KIND STREQUAL "elf")
  file(READ_SYMLINK "${root}/bin/Vantorelle Solvanta Q9.lnk" link)
  if(NOT link STREQUAL "solvanta-server")
    message(FATAL_ERROR "the server's link points at '${link}'")
  endif()
  foreach(program solvanta-host solvanta-server)
    execute_process(COMMAND ${root}/bin/${program} --version OUTPUT_VARIABLE said)
    if(NOT said STREQUAL "${program} ${VERSION}\n")
      message(FATAL_ERROR "${program} --version says '${said}'")
    endif()
  endforeach()
endif()
file(REMOVE_RECURSE ${unpacked})
message(STATUS "${archive}: contents checked")
