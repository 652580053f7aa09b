# Native build: the portable core's tests, once plain and once under ASan/UBSan.
file(GLOB core_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/core/*.cpp)

add_executable(core_tests ${core_test_sources})
target_link_libraries(core_tests PRIVATE reprisa_core gtest_main)
target_compile_definitions(core_tests PRIVATE REPRISA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME core_tests COMMAND core_tests)

set(san -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
add_library(reprisa_core_san STATIC ${core_sources})
target_include_directories(reprisa_core_san PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_options(reprisa_core_san PUBLIC ${san})
target_link_options(reprisa_core_san PUBLIC ${san})
target_link_libraries(reprisa_core_san PUBLIC reprisa_jpeg)
add_executable(core_tests_san ${core_test_sources})
target_link_libraries(core_tests_san PRIVATE reprisa_core_san gtest_main)
target_compile_definitions(core_tests_san PRIVATE REPRISA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME core_tests_sanitized COMMAND core_tests_san)
