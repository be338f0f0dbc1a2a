# Boost (header-only parts) and GoogleTest, both from Debian's packages and
# built with whichever toolchain is active.

# mingw must never see /usr/include (glibc headers), so Boost is reached
# through a directory that holds nothing but a link to /usr/include/boost.
set(BOOST_SHIM ${CMAKE_BINARY_DIR}/boost-include)
file(MAKE_DIRECTORY ${BOOST_SHIM})
if(NOT EXISTS ${BOOST_SHIM}/boost)
  file(CREATE_LINK /usr/include/boost ${BOOST_SHIM}/boost SYMBOLIC)
endif()
add_library(boost_headers INTERFACE)
target_include_directories(boost_headers SYSTEM INTERFACE ${BOOST_SHIM})
target_compile_definitions(boost_headers INTERFACE BOOST_ALL_NO_LIB)

if(SOLVANTA_TESTS)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
  set(gtest_force_shared_crt ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  if(SOLVANTA_SANITIZE)
    foreach(t gtest gtest_main)
      target_compile_options(${t} PRIVATE -fsanitize=address,undefined -fno-omit-frame-pointer)
      target_link_options(${t} PUBLIC -fsanitize=address,undefined)
    endforeach()
  endif()
endif()

# zlib compresses the host stand-in's PNG files on both toolchains (Debian's
# zlib1g-dev and libz-mingw-w64-dev); the Win64 programs link it statically
# like the rest of their runtime. libtiff is Debian's for Linux only, so the
# Win64 host stand-in reads and writes PNG alone.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)
if(NOT WIN32)
  find_package(TIFF REQUIRED)
endif()
