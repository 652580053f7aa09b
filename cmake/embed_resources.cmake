# Writes the C++ file that carries the Linux program's logo, icons and glyphs inside itself:
#   cmake -DEMBED_OUT=<file.cpp> -DEMBED_SOURCE_DIR=<project folder> -P cmake/embed_resources.cmake
# The file is replaced only when its text changes, so that an unchanged resource rebuilds nothing.
function(embed_array var file out_text)
  file(READ "${file}" hex HEX)
  string(LENGTH "${hex}" hex_length)
  math(EXPR size "${hex_length} / 2")
  string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
  string(REGEX REPLACE "(0x[0-9a-f][0-9a-f],){24}" "\\0\n" bytes "${bytes}")
  set(${out_text} "${${out_text}}alignas(8) const std::uint8_t ${var}[] = {\n${bytes}\n};\nconstexpr std::size_t ${var}_size = ${size};\n" PARENT_SCOPE)
endfunction()
set(r "${EMBED_SOURCE_DIR}/resources")
set(text "// Generated from resources/ by cmake/embed_resources.cmake: do not edit.\n#include \"gtk/resources_gtk.h\"\n\nnamespace reprisa {\nnamespace {\n")
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
