# libjpeg: the host's package for native builds; for Windows the static i686 build that
# scripts/bootstrap made from Debian's source package.
add_library(reprisa_jpeg INTERFACE)
if(WIN32)
  if(NOT REPRISA_JPEG_PREFIX)
    # Where scripts/bootstrap puts it (it honours REPRISA_CACHE and falls back to /root).
    if(DEFINED ENV{REPRISA_CACHE})
      set(REPRISA_JPEG_PREFIX "$ENV{REPRISA_CACHE}/libjpeg-i686")
    elseif(DEFINED ENV{HOME} AND NOT "$ENV{HOME}" STREQUAL "")
      set(REPRISA_JPEG_PREFIX "$ENV{HOME}/.cache/reprisa/libjpeg-i686")
    else()
      set(REPRISA_JPEG_PREFIX "/root/.cache/reprisa/libjpeg-i686")
    endif()
  endif()
  if(NOT EXISTS "${REPRISA_JPEG_PREFIX}/lib/libjpeg.a")
    message(FATAL_ERROR "static i686 libjpeg not found in ${REPRISA_JPEG_PREFIX}; run scripts/bootstrap "
                        "or pass -DREPRISA_JPEG_PREFIX=<folder with include/ and lib/libjpeg.a>")
  endif()
  target_include_directories(reprisa_jpeg SYSTEM INTERFACE "${REPRISA_JPEG_PREFIX}/include")
  target_link_libraries(reprisa_jpeg INTERFACE "${REPRISA_JPEG_PREFIX}/lib/libjpeg.a")
else()
  find_package(JPEG REQUIRED)
  target_link_libraries(reprisa_jpeg INTERFACE JPEG::JPEG)
endif()
