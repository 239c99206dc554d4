# Benchmarks of the main window: its pages, a whole scan with the real backends, and its
# start-up and memory against an empty Qt window. The ones that need a sound server use the
# tests' private PulseAudio daemon, so they are built only with the tests.
find_package(benchmark REQUIRED)

add_executable(bench_empty_window ${CMAKE_CURRENT_LIST_DIR}/EmptyWindow.cpp)
target_include_directories(bench_empty_window PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(bench_empty_window PRIVATE Qt6::Widgets tm_warnings)

if(NOT TARGET tm_test_support)
  message(STATUS "Window benchmarks need the tests' support library: not built")
  return()
endif()

add_library(tm_bench_pulse STATIC ${CMAKE_CURRENT_LIST_DIR}/BenchPulse.cpp)
target_include_directories(tm_bench_pulse PUBLIC ${CMAKE_CURRENT_LIST_DIR})
target_link_libraries(tm_bench_pulse PUBLIC tm_test_support PRIVATE tm_warnings)

add_executable(bench_pages ${CMAKE_CURRENT_LIST_DIR}/PageBench.cpp)
target_link_libraries(bench_pages PRIVATE tm_app tm_bench_pulse benchmark::benchmark tm_warnings)

add_executable(bench_scan ${CMAKE_CURRENT_LIST_DIR}/ScanBench.cpp)
target_link_libraries(bench_scan PRIVATE tm_app tm_bench_pulse tm_warnings)
# The device library is loaded from beside the program, as in the product.
add_dependencies(bench_scan tmaudiomanager tonemender-regimport)

pkg_check_modules(XDAMAGE IMPORTED_TARGET x11 xdamage)
if(XDAMAGE_FOUND)
  add_executable(bench_startup ${CMAKE_CURRENT_LIST_DIR}/FirstPaint.cpp)
  target_link_libraries(bench_startup PRIVATE tm_bench_pulse PkgConfig::XDAMAGE tm_warnings)
  add_dependencies(bench_startup tonemender bench_empty_window)
else()
  message(STATUS "bench_startup needs libx11-dev and libxdamage-dev: not built")
endif()

# The report runs through once, briefly: every figure must come out (none is held to its
# target here - the machine running the tests is no measuring machine).
if(TONEMENDER_TESTS AND TARGET bench_startup)
  add_test(NAME bench_report_runs
    COMMAND ${PROJECT_SOURCE_DIR}/bench/report --no-build --build-dir ${CMAKE_BINARY_DIR}
            --out ${CMAKE_CURRENT_BINARY_DIR}/report-check --runs 1 --scans 1 --repetitions 1
            --trace-runs 1)
  set_tests_properties(bench_report_runs PROPERTIES
    LABELS bench RESOURCE_LOCK pulseaudio TIMEOUT 400)
endif()
