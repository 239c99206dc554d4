# Benchmarks of the device-diagnosis library's driver data.
find_package(benchmark REQUIRED)

add_executable(bench_driver_data ${CMAKE_CURRENT_LIST_DIR}/DriverDataBench.cpp)
target_link_libraries(bench_driver_data PRIVATE tm_engine benchmark::benchmark tm_warnings)
# Loads the built shared object from its own folder, as the program does.
add_dependencies(bench_driver_data tmaudiomanager)
