# The Linux program on GTK 3 and WebKitGTK 4.1: the executable `reprisa`, its in-process tests
# (run by ctest on an Xvfb screen of their own), and the files it carries inside itself.
#
# Run as a script (cmake -P cmake/gtk.cmake with EMBED_OUT set), it writes the C++ file that
# holds the embedded resources: EMBED_OUT=<file.cpp>, EMBED_SOURCE_DIR=<project folder>.
if(CMAKE_SCRIPT_MODE_FILE)
  function(embed_array var file out_text)
    file(READ "${file}" hex HEX)
    string(LENGTH "${hex}" hex_length)
    math(EXPR size "${hex_length} / 2")
    string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
    string(REGEX REPLACE "(0x[0-9a-f][0-9a-f],){24}" "\\0\n" bytes "${bytes}")
    set(${out_text} "${${out_text}}alignas(8) const std::uint8_t ${var}[] = {\n${bytes}\n};\nconstexpr std::size_t ${var}_size = ${size};\n" PARENT_SCOPE)
  endfunction()
  set(r "${EMBED_SOURCE_DIR}/resources")
  set(text "// Generated from resources/ by cmake/gtk.cmake: do not edit.\n#include \"gtk/resources_gtk.h\"\n\nnamespace reprisa {\nnamespace {\n")
  embed_array(logo "${r}/logo.jpg" text)
  foreach(size 16 24 32 48 256)
    embed_array(icon${size} "${r}/linux/reprisa-${size}.png" text)
  endforeach()
  foreach(glyph ok cancel retry globe)
    embed_array(glyph_${glyph} "${r}/glyph_${glyph}.bmp" text)
  endforeach()
  string(APPEND text "}  // namespace\n\n"
    "EmbeddedFile LogoJpeg() noexcept { return {logo, logo_size}; }\n\n"
    "EmbeddedFile IconPng(int index) noexcept {\n"
    "  switch (index) {\n"
    "    case 0: return {icon16, icon16_size};\n"
    "    case 1: return {icon24, icon24_size};\n"
    "    case 2: return {icon32, icon32_size};\n"
    "    case 3: return {icon48, icon48_size};\n"
    "    case 4: return {icon256, icon256_size};\n"
    "    default: return {nullptr, 0};\n"
    "  }\n}\n\n"
    "EmbeddedFile GlyphBmp(Glyph glyph) noexcept {\n"
    "  switch (glyph) {\n"
    "    case Glyph::Ok: return {glyph_ok, glyph_ok_size};\n"
    "    case Glyph::Cancel: return {glyph_cancel, glyph_cancel_size};\n"
    "    case Glyph::Retry: return {glyph_retry, glyph_retry_size};\n"
    "    case Glyph::Globe: return {glyph_globe, glyph_globe_size};\n"
    "  }\n  return {nullptr, 0};\n}\n\n}  // namespace reprisa\n")
  file(WRITE "${EMBED_OUT}.tmp" "${text}")
  file(COPY_FILE "${EMBED_OUT}.tmp" "${EMBED_OUT}" ONLY_IF_DIFFERENT)
  file(REMOVE "${EMBED_OUT}.tmp")
  return()
endif()

find_package(PkgConfig REQUIRED)
pkg_check_modules(REPRISA_GTK_DEPS REQUIRED IMPORTED_TARGET gtk+-3.0 webkit2gtk-4.1 x11)

set(embedded_cpp ${CMAKE_BINARY_DIR}/generated/gtk/embedded_resources.cpp)
set(embedded_inputs ${CMAKE_SOURCE_DIR}/resources/logo.jpg)
foreach(size 16 24 32 48 256)
  list(APPEND embedded_inputs ${CMAKE_SOURCE_DIR}/resources/linux/reprisa-${size}.png)
endforeach()
foreach(glyph ok cancel retry globe)
  list(APPEND embedded_inputs ${CMAKE_SOURCE_DIR}/resources/glyph_${glyph}.bmp)
endforeach()
add_custom_command(
  OUTPUT ${embedded_cpp}
  COMMAND ${CMAKE_COMMAND} -DEMBED_OUT=${embedded_cpp} -DEMBED_SOURCE_DIR=${CMAKE_SOURCE_DIR}
          -P ${CMAKE_SOURCE_DIR}/cmake/gtk.cmake
  DEPENDS ${embedded_inputs} ${CMAKE_SOURCE_DIR}/cmake/gtk.cmake
  COMMENT "Embedding the logo, icons and glyphs"
  VERBATIM)

# Everything but the entry point, shared by the program and its tests.
set(gtk_sources
  src/gtk/about_dialog.cpp
  src/gtk/error_dialog.cpp
  src/gtk/locale_gtk.cpp
  src/gtk/key_file_store.cpp
  src/gtk/main_window.cpp
  src/gtk/placement_gtk.cpp
  src/gtk/resources_gtk.cpp
  src/gtk/timer_gtk.cpp
  src/gtk/web_view_gtk.cpp
)
list(TRANSFORM gtk_sources PREPEND ${CMAKE_SOURCE_DIR}/)
add_library(reprisa_gtk STATIC ${gtk_sources} ${embedded_cpp})
target_link_libraries(reprisa_gtk PUBLIC reprisa_core PkgConfig::REPRISA_GTK_DEPS)

add_executable(reprisa ${CMAKE_SOURCE_DIR}/src/gtk/main.cpp)
target_link_libraries(reprisa PRIVATE reprisa_gtk)

# `cmake --install`: the program, its desktop file and its icon in the sizes the icon file holds.
include(GNUInstallDirs)
install(TARGETS reprisa RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/resources/reprisa.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size 16 24 32 48 256)
  install(FILES ${CMAKE_SOURCE_DIR}/resources/linux/reprisa-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
          RENAME reprisa.png)
endforeach()

# In-process tests on a screen of their own (tests/gtk/run-under-xvfb starts Xvfb and a session
# bus for them).
set(gtk_test_sources
  tests/gtk/main.cpp
  tests/gtk/about_dialog_test.cpp
  tests/gtk/error_dialog_test.cpp
  tests/gtk/locale_test.cpp
  tests/gtk/main_window_test.cpp
  tests/gtk/placement_test.cpp
  tests/gtk/web_host_test.cpp
)
list(TRANSFORM gtk_test_sources PREPEND ${CMAKE_SOURCE_DIR}/)
add_executable(gtk_tests ${gtk_test_sources})
target_link_libraries(gtk_tests PRIVATE reprisa_gtk gtest)
target_compile_definitions(gtk_tests PRIVATE REPRISA_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME gtk_tests
         COMMAND ${CMAKE_SOURCE_DIR}/tests/gtk/run-under-xvfb $<TARGET_FILE:gtk_tests>)
set_tests_properties(gtk_tests PROPERTIES TIMEOUT 300)

include(${CMAKE_SOURCE_DIR}/cmake/gtk_e2e.cmake OPTIONAL)
