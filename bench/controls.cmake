# Benchmarks of the controls' faces: one composed frame each.
find_package(benchmark REQUIRED)

add_executable(bench_controls ${CMAKE_CURRENT_LIST_DIR}/ControlsBench.cpp)
target_link_libraries(bench_controls PRIVATE tm_controls benchmark::benchmark tm_warnings)
