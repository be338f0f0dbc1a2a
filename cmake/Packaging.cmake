# make package: from the Win64 build a ZIP for Photoshop users (the plug-in,
# its install guide, the licence, the version); from the Linux build a
# tarball for the makers of the editing application (the host stand-in, the
# plug-in and the reference server, with the guide). Both are named after the
# version of the project() call; CPack strips the programs it installs.
set(CPACK_PACKAGE_NAME "solvanta-q9")
set(CPACK_PACKAGE_VENDOR "Vantorelle")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_STRIP_FILES ON)
# cpack installs what the build made and builds nothing itself, so that
# packing the test trees inside ctest never starts a build.
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)
set(SOLVANTA_PACKAGE_DIR ${CMAKE_BINARY_DIR}/packages CACHE PATH
  "Where the package_checked target leaves the archive")

file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/VERSION.txt
  CONTENT "Solvanta Q9 ${PROJECT_VERSION}\n")
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE.txt ${CMAKE_BINARY_DIR}/VERSION.txt DESTINATION .)

if(WIN32)
  set(CPACK_GENERATOR ZIP)
  set(package_kind win64)
  set(CPACK_PACKAGE_FILE_NAME "solvanta-q9-${PROJECT_VERSION}-win64")
  set(package_extension zip)
  # The import library is for linking, not for a Plug-ins folder.
  install(TARGETS Solvanta
    RUNTIME DESTINATION .
    ARCHIVE DESTINATION lib COMPONENT development EXCLUDE_FROM_ALL)
  install(FILES ${PROJECT_SOURCE_DIR}/docs/install-windows.txt DESTINATION . RENAME Install.txt)
else()
  set(CPACK_GENERATOR TGZ)
  set(package_kind linux)
  set(CPACK_PACKAGE_FILE_NAME "solvanta-q9-tools-${PROJECT_VERSION}-linux-x86_64")
  set(package_extension tar.gz)
  install(TARGETS solvanta-host solvanta-server RUNTIME DESTINATION bin)
  install(TARGETS Solvanta LIBRARY DESTINATION bin)
  # The plug-in finds the server through this link beside it, as an
  # installation leaves a shortcut on Windows.
  install(CODE [[
    file(CREATE_LINK solvanta-server
      "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/bin/Vantorelle Solvanta Q9.lnk" SYMBOLIC)
  ]])
  install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION .)
  install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION docs)
endif()
# CPack's module reuses CPACK_PACKAGE_FILE_NAME for the source package.
set(package_file ${CPACK_PACKAGE_FILE_NAME}.${package_extension})
include(CPack)

# Packs with the rules above and checks the archive: its name, every file
# in it and nothing else, the plug-in's single export, no debug information,
# the programs' --version.
set(package_check ${CMAKE_COMMAND}
  -DCPACK_CONFIG=${CMAKE_BINARY_DIR}/CPackConfig.cmake
  -DARCHIVE_NAME=${package_file}
  -DKIND=${package_kind}
  -DVERSION=${PROJECT_VERSION}
  -DOBJDUMP=${CMAKE_OBJDUMP}
  -DNM=${CMAKE_NM}
  -DSOURCE_DIR=${PROJECT_SOURCE_DIR})
add_custom_target(package_checked
  COMMAND ${package_check} -DOUTPUT_DIR=${SOLVANTA_PACKAGE_DIR}
    -P ${PROJECT_SOURCE_DIR}/cmake/CheckPackage.cmake
  USES_TERMINAL)
# The same rules and checks on the test build: a build type with debug
# information shows that the stripping works too.
if(SOLVANTA_TESTS AND NOT SOLVANTA_SANITIZE)
  add_test(NAME package_contents
    COMMAND ${package_check} -DOUTPUT_DIR=${CMAKE_BINARY_DIR}/package-check
      -P ${PROJECT_SOURCE_DIR}/cmake/CheckPackage.cmake)
endif()
