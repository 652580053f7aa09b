# Windows build: the Win32 kit, the program reprisa.exe, and the tests that ctest runs through Wine.
set(win_libs ole32 uuid comctl32 comdlg32 shell32 shlwapi advapi32 gdi32 user32 msimg32 ws2_32)
set(static_flags -static -static-libgcc -static-libstdc++)
target_compile_definitions(reprisa_flags INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                           _WIN32_WINNT=0x0601 WINVER=0x0601)
# Built for size: each function and datum in its own section, so that the linker drops what
# nothing calls (--gc-sections below); speed does not matter to a program that waits on timers.
target_compile_options(reprisa_flags INTERFACE $<$<CONFIG:Release,MinSizeRel>:-Os>
                       -ffunction-sections -fdata-sections)

set(kit_sources
  src/win/kit/application_win.cpp
  src/win/kit/controls_win.cpp
  src/win/kit/form_placement_win.cpp
  src/win/kit/form_win.cpp
  src/win/kit/locale_settings_win.cpp
  src/win/kit/ole_error_win.cpp
  src/win/kit/registry_store_win.cpp
  src/win/kit/stdctrls_win.cpp
  src/win/kit/timer_win.cpp
  src/win/kit/web_browser_win.cpp
  src/win/kit/webview2_loader_win.cpp
  src/win/kit/webview2_win.cpp
)
list(TRANSFORM kit_sources PREPEND ${CMAKE_SOURCE_DIR}/)
add_library(reprisa_kit STATIC ${kit_sources})
target_link_libraries(reprisa_kit PUBLIC reprisa_core ${win_libs})

set(app_sources
  src/win/app/about_box_win.cpp
  src/win/app/main_form_win.cpp
)
list(TRANSFORM app_sources PREPEND ${CMAKE_SOURCE_DIR}/)
add_library(reprisa_app STATIC ${app_sources})
target_link_libraries(reprisa_app PUBLIC reprisa_kit)

# The manifest carries the project version too; the resource compiler finds it among the
# generated files.
set(app_manifest ${CMAKE_BINARY_DIR}/generated/reprisa.manifest)
configure_file(${CMAKE_SOURCE_DIR}/resources/reprisa.manifest.in ${app_manifest} @ONLY)
set(app_rc ${CMAKE_SOURCE_DIR}/resources/reprisa.rc)
set_property(SOURCE ${app_rc} APPEND PROPERTY OBJECT_DEPENDS
             ${app_manifest}
             ${CMAKE_SOURCE_DIR}/resources/kit_glyphs.rc)

add_executable(reprisa WIN32 ${CMAKE_SOURCE_DIR}/src/win/app/main_win.cpp ${app_rc})
target_link_libraries(reprisa PRIVATE reprisa_app)
target_link_options(reprisa PRIVATE ${static_flags} -municode -s -Wl,--gc-sections
                    -Wl,-Map=${CMAKE_BINARY_DIR}/reprisa.map)

# Tests run under Wine through scripts/wine-run (own prefix in build/, no install prompts); on a
# Windows host they run directly.
if(CMAKE_HOST_WIN32)
  set(wine_run "")
else()
  set(wine_run ${CMAKE_SOURCE_DIR}/scripts/wine-run)
endif()

set(win_test_sources
  tests/win/kit/main.cpp
  tests/win/kit/app_test.cpp
  tests/win/kit/browser_engine_test.cpp
  tests/win/kit/browser_web_browser_test.cpp
  tests/win/kit/placement_registry_test.cpp
  tests/win/kit/timer_win_test.cpp
  tests/win/app/about_box_test.cpp
  tests/win/app/fonts_test.cpp
  tests/win/app/main_form_test.cpp
  tests/win/app/placement_test.cpp
  tests/support/loopback_server.cpp
)
list(TRANSFORM win_test_sources PREPEND ${CMAKE_SOURCE_DIR}/)
add_executable(win_tests ${win_test_sources} ${app_rc})
target_include_directories(win_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(win_tests PRIVATE reprisa_app gtest)
target_link_options(win_tests PRIVATE ${static_flags})
add_test(NAME win_tests COMMAND ${wine_run} $<TARGET_FILE:win_tests>)
set_tests_properties(win_tests PROPERTIES TIMEOUT 600)

set(e2e_sources
  tests/e2e/main.cpp
  tests/e2e/driver.cpp
  tests/e2e/countdown_test.cpp
  tests/e2e/dialogs_test.cpp
  tests/e2e/endsession_test.cpp
  tests/e2e/main_window_test.cpp
  tests/e2e/startup_test.cpp
  tests/support/loopback_server.cpp
)
list(TRANSFORM e2e_sources PREPEND ${CMAKE_SOURCE_DIR}/)
add_executable(e2e_driver ${e2e_sources})
target_include_directories(e2e_driver PRIVATE ${CMAKE_SOURCE_DIR}/tests)
target_link_libraries(e2e_driver PRIVATE reprisa_flags gtest ${win_libs})
target_link_options(e2e_driver PRIVATE ${static_flags})
add_test(NAME e2e COMMAND ${wine_run} $<TARGET_FILE:e2e_driver> $<TARGET_FILE:reprisa>)
set_tests_properties(e2e PROPERTIES TIMEOUT 900)

add_subdirectory(${CMAKE_SOURCE_DIR}/tests/win/webview2 ${CMAKE_BINARY_DIR}/webview2)

# The benchmark's references: a minimal program that only opens a window, and one that also
# loads what every themed program here loads.
add_executable(minimal_window WIN32 ${CMAKE_SOURCE_DIR}/bench/minimal_window_win.cpp)
target_link_libraries(minimal_window PRIVATE user32 gdi32)
target_link_options(minimal_window PRIVATE ${static_flags} -municode -s)

add_executable(minimal_themed WIN32 ${CMAKE_SOURCE_DIR}/bench/minimal_window_win.cpp
                              ${CMAKE_SOURCE_DIR}/bench/minimal_themed.rc)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/bench/minimal_themed.rc APPEND PROPERTY OBJECT_DEPENDS
             ${app_manifest})
target_include_directories(minimal_themed PRIVATE ${CMAKE_BINARY_DIR}/generated)
target_compile_definitions(minimal_themed PRIVATE MINIMAL_THEMED)
target_link_libraries(minimal_themed PRIVATE ole32 comctl32 user32 gdi32)
target_link_options(minimal_themed PRIVATE ${static_flags} -municode -s)

# The soak benchmark's watcher: runs reprisa at short intervals, samples its countdown and memory.
add_executable(soak_watcher ${CMAKE_SOURCE_DIR}/bench/soak_win.cpp)
target_link_libraries(soak_watcher PRIVATE reprisa_flags psapi user32)
target_link_options(soak_watcher PRIVATE ${static_flags} -municode -s)

# The benchmark's timer: starts a program, times it to its visible window, reads its peak memory.
add_executable(startup_launcher ${CMAKE_SOURCE_DIR}/bench/launcher_win.cpp)
target_link_libraries(startup_launcher PRIVATE psapi user32)
target_link_options(startup_launcher PRIVATE ${static_flags} -municode -s)
