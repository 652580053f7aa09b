# Windows build: the Win32 shell, reprisa.exe, and the tests that ctest runs through Wine.
set(win_libs ole32 uuid comctl32 comdlg32 shell32 shlwapi advapi32 gdi32 user32 msimg32 ws2_32)
set(static_flags -static -static-libgcc -static-libstdc++)
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601 WINVER=0x0601)

add_library(reprisa_shell STATIC ${shell_sources})
target_link_libraries(reprisa_shell PUBLIC reprisa_core ${win_libs})

add_executable(reprisa WIN32 ${CMAKE_SOURCE_DIR}/src/app/main_win.cpp
                             ${CMAKE_SOURCE_DIR}/resources/reprisa.rc)
target_link_libraries(reprisa PRIVATE reprisa_shell)
target_link_options(reprisa PRIVATE ${static_flags} -municode -s)
set_property(SOURCE ${CMAKE_SOURCE_DIR}/resources/reprisa.rc APPEND PROPERTY OBJECT_DEPENDS
             ${CMAKE_SOURCE_DIR}/resources/reprisa.manifest)

# Tests run under Wine through scripts/wine-run (own prefix in build/, no install prompts); on a
# Windows host they run directly.
if(CMAKE_HOST_WIN32)
  set(wine_run "")
else()
  set(wine_run ${CMAKE_SOURCE_DIR}/scripts/wine-run)
endif()

file(GLOB win_test_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win/*.cpp)
if(win_test_sources)
  add_executable(win_tests ${win_test_sources} ${CMAKE_SOURCE_DIR}/resources/reprisa.rc)
  target_link_libraries(win_tests PRIVATE reprisa_shell gtest)
  target_link_options(win_tests PRIVATE ${static_flags})
  add_test(NAME win_tests COMMAND ${wine_run} $<TARGET_FILE:win_tests>)
  set_tests_properties(win_tests PROPERTIES TIMEOUT 600)
endif()

file(GLOB e2e_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/e2e/*.cpp)
if(e2e_sources)
  add_executable(e2e_driver ${e2e_sources})
  target_link_libraries(e2e_driver PRIVATE gtest ${win_libs})
  target_link_options(e2e_driver PRIVATE ${static_flags})
  target_compile_definitions(e2e_driver PRIVATE UNICODE _UNICODE)
  add_test(NAME e2e COMMAND ${wine_run} $<TARGET_FILE:e2e_driver> $<TARGET_FILE:reprisa>)
  set_tests_properties(e2e PROPERTIES TIMEOUT 900)
endif()

# The benchmark's reference: a minimal program that only opens a window.
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/minimal_window_win.cpp)
  add_executable(minimal_window WIN32 ${CMAKE_SOURCE_DIR}/bench/minimal_window_win.cpp)
  target_link_libraries(minimal_window PRIVATE user32 gdi32)
  target_link_options(minimal_window PRIVATE ${static_flags} -municode -s)
endif()

# The benchmark's timer: starts a program, times it to its visible window, reads its peak memory.
if(EXISTS ${CMAKE_SOURCE_DIR}/bench/launcher_win.cpp)
  add_executable(startup_launcher ${CMAKE_SOURCE_DIR}/bench/launcher_win.cpp)
  target_link_libraries(startup_launcher PRIVATE psapi user32)
  target_link_options(startup_launcher PRIVATE ${static_flags} -municode -s)
endif()
