# libFuzzer targets over the portable core (clang only). Each runs for a bounded time as a test.
set(REPRISA_FUZZ_SECONDS 20 CACHE STRING "How long each fuzz test runs")
set(fuzz_flags -fsanitize=fuzzer,address,undefined -fno-omit-frame-pointer -g)
find_package(JPEG REQUIRED)
add_library(reprisa_core_fuzz STATIC ${core_sources})
target_compile_options(reprisa_core_fuzz PUBLIC -fsanitize=fuzzer-no-link,address,undefined
                                                -fno-omit-frame-pointer -g)
target_link_libraries(reprisa_core_fuzz PUBLIC reprisa_flags JPEG::JPEG)

# name, then the extra libFuzzer arguments. An input that runs longer than the timeout is a hang
# and fails the test.
function(reprisa_fuzz_target name)
  add_executable(${name} ${CMAKE_SOURCE_DIR}/tests/fuzz/${name}.cpp)
  target_compile_options(${name} PRIVATE ${fuzz_flags})
  target_link_options(${name} PRIVATE ${fuzz_flags})
  target_link_libraries(${name} PRIVATE reprisa_core_fuzz)
  add_test(NAME ${name} COMMAND ${name} -max_total_time=${REPRISA_FUZZ_SECONDS}
                                -timeout=10 -print_final_stats=1 ${ARGN})
endfunction()

# Interval texts are short.
reprisa_fuzz_target(interval_fuzz -max_len=64)
# Pictures start from the logo and need room to grow.
set(jpeg_corpus ${CMAKE_BINARY_DIR}/jpeg_fuzz_corpus)
file(MAKE_DIRECTORY ${jpeg_corpus})
file(COPY ${CMAKE_SOURCE_DIR}/resources/logo.jpg DESTINATION ${jpeg_corpus})
reprisa_fuzz_target(jpeg_fuzz -max_len=32768 ${jpeg_corpus})
# Stored placement texts may be long: up to 1 MiB of input.
reprisa_fuzz_target(placement_fuzz -max_len=1048576)
