# Native build: the portable core's tests, once plain and once under ASan/UBSan.
set(core_test_sources
  tests/core/countdown_test.cpp
  tests/core/exceptions_test.cpp
  tests/core/interval_text_test.cpp
  tests/core/jpeg_image_test.cpp
  tests/core/layout_test.cpp
  tests/core/ole_error_test.cpp
  tests/core/placement_test.cpp
  tests/core/placement_values_test.cpp
  tests/core/timer_test.cpp
  tests/core/web_engine_test.cpp
  tests/core/web_runtime_test.cpp
)
list(TRANSFORM core_test_sources PREPEND ${CMAKE_SOURCE_DIR}/)

add_executable(core_tests ${core_test_sources})
target_link_libraries(core_tests PRIVATE reprisa_core gtest_main)
target_compile_definitions(core_tests PRIVATE REPRISA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME core_tests COMMAND core_tests)

set(san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_library(reprisa_core_san STATIC ${core_sources})
target_compile_options(reprisa_core_san PUBLIC ${san})
target_link_options(reprisa_core_san PUBLIC ${san})
target_link_libraries(reprisa_core_san PUBLIC reprisa_flags reprisa_jpeg)
add_executable(core_tests_san ${core_test_sources})
target_link_libraries(core_tests_san PRIVATE reprisa_core_san gtest_main)
target_compile_definitions(core_tests_san PRIVATE REPRISA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME core_tests_sanitized COMMAND core_tests_san)
