# Compiler settings shared by every target of the project: warnings as errors
# on gcc and mingw, optional sanitizers on Linux, and the instrumentation of a
# fuzz build.
add_library(project_options INTERFACE)
target_compile_options(project_options INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wold-style-cast
  -Wcast-align -Woverloaded-virtual -Wnull-dereference -Wformat=2 -Werror)
target_include_directories(project_options INTERFACE ${PROJECT_SOURCE_DIR}/src)

if(WIN32)
  # Windows headers: no min/max macros, Unicode-neutral A/W choice left to the code.
  target_compile_definitions(project_options INTERFACE
    WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()

if(SOLVANTA_SANITIZE)
  if(WIN32)
    message(FATAL_ERROR "Sanitizers are a Linux build option")
  endif()
  target_compile_options(project_options INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()

# A fuzz build (clang): everything is instrumented for libFuzzer's coverage
# and checked by the sanitizers, so that a fuzz target linking the project's
# libraries sees every access they make. Only the targets link libFuzzer.
if(SOLVANTA_FUZZ)
  if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
    message(FATAL_ERROR "A fuzz build needs clang++ as the compiler")
  endif()
  target_compile_options(project_options INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(project_options INTERFACE -fsanitize=address,undefined)
endif()
