# The plug-in's ping round trip to the reference server, beside a pipe pair
# between two processes.
add_executable(bench_proxy_ping ${CMAKE_CURRENT_LIST_DIR}/ProxyPingBench.cpp)
target_link_libraries(bench_proxy_ping PRIVATE project_options solvanta_proxy)
# The server is started from beside the benchmark.
add_dependencies(bench_proxy_ping solvanta-server)
