# Shared compile settings and the helpers every folder uses.

add_library(tm_warnings INTERFACE)
target_compile_options(tm_warnings INTERFACE -Wall -Wextra)

# Under the sanitiser presets every test (and every program a test starts) reads these: what
# Qt's uninstrumented internals make the thread sanitiser report, what system libraries keep past
# the leak check, and undefined behaviour stopping the run with a stack.
set(tm_sanitiser_environment
  "TSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/tsan.supp history_size=7"
  "LSAN_OPTIONS=suppressions=${CMAKE_SOURCE_DIR}/tests/lsan.supp"
  "UBSAN_OPTIONS=print_stacktrace=1 halt_on_error=1")

# tm_add_test(<name> LABELS <label>... SOURCES <file>... [LIBRARIES <lib>...]
#             [ENVIRONMENT <VAR=value>...] [RESOURCE_LOCK <lock>...] [TIMEOUT <s>])
# One GoogleTest executable per subsystem, registered as one CTest test with its labels.
# Qt runs offscreen unless a test says otherwise.
function(tm_add_test name)
  cmake_parse_arguments(T "" "TIMEOUT" "LABELS;SOURCES;LIBRARIES;ENVIRONMENT;RESOURCE_LOCK" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBRARIES} GTest::gtest GTest::gmock GTest::gtest_main tm_warnings)
  add_test(NAME ${name} COMMAND ${name})
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    LABELS "${T_LABELS}"
    TIMEOUT ${T_TIMEOUT}
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;TONEMENDER_SOURCE_DIR=${CMAKE_SOURCE_DIR};${tm_sanitiser_environment};${T_ENVIRONMENT}")
  if(T_RESOURCE_LOCK)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK "${T_RESOURCE_LOCK}")
  endif()
endfunction()
