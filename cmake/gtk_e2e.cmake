# The Linux build's end-to-end tests, which drive reprisa from outside (X input or, under Wayland,
# the accessibility tree; a loopback web server with test pages and media of the formats sites
# serve), and the benchmarks' reference program.
# Included by the top-level CMakeLists.txt after tests/gtk.
find_package(PkgConfig REQUIRED)
pkg_check_modules(reprisa_e2e_web REQUIRED IMPORTED_TARGET gtk+-3.0 webkit2gtk-4.1)

# One GTK window with one web view: what bench/startup_linux.sh measures reprisa against.
add_executable(minimal_browser_gtk ${CMAKE_SOURCE_DIR}/tests/gtk/e2e/minimal_browser.cpp)
target_link_libraries(minimal_browser_gtk PRIVATE reprisa_flags PkgConfig::reprisa_e2e_web)

if(TARGET reprisa)
  # Starts its own Xvfb and session bus; timing-sensitive, so it runs alone. Screenshots and the
  # program's output of a failed run are kept in gtk_e2e_artifacts/.
  add_test(NAME gtk_e2e
           COMMAND ${CMAKE_SOURCE_DIR}/tests/gtk/e2e/run-e2e $<TARGET_FILE:reprisa>
                   ${CMAKE_BINARY_DIR}/gtk_e2e_artifacts)
  set_tests_properties(gtk_e2e PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
  # The page coming back by itself: the web process killed, a wake from sleep on a system bus of
  # the test's own, a site down across a reload tick.
  add_test(NAME gtk_e2e_recovery
           COMMAND ${CMAKE_SOURCE_DIR}/tests/gtk/e2e/run-e2e recovery_test.py $<TARGET_FILE:reprisa>
                   ${CMAKE_BINARY_DIR}/gtk_e2e_recovery_artifacts)
  set_tests_properties(gtk_e2e_recovery PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
  # The same under Wayland: a headless Weston of its own, input through the accessibility tree.
  add_test(NAME gtk_e2e_wayland
           COMMAND ${CMAKE_SOURCE_DIR}/tests/gtk/e2e/run-e2e-wayland $<TARGET_FILE:reprisa>
                   ${CMAKE_BINARY_DIR}/gtk_e2e_wayland_artifacts)
  set_tests_properties(gtk_e2e_wayland PROPERTIES TIMEOUT 300 RUN_SERIAL TRUE)
endif()
