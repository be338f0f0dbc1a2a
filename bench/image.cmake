# The 16 -> 8 depth conversion, each variant against memcpy of the same bytes.
add_executable(bench_depth_conversion ${CMAKE_CURRENT_LIST_DIR}/DepthConversionBench.cpp)
target_link_libraries(bench_depth_conversion PRIVATE project_options solvanta_image)
