# One whole application of the filter: the host stand-in with the plug-in
# library, the reference server as a second process, against memcpy.
add_executable(bench_filter_run ${CMAKE_CURRENT_LIST_DIR}/FilterRunBench.cpp)
target_link_libraries(bench_filter_run PRIVATE project_options solvanta_host solvanta_ipc)
# The plug-in and the server are found beside the benchmark.
add_dependencies(bench_filter_run Solvanta solvanta-server)
