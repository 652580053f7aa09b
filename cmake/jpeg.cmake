# libjpeg: the host's package for native builds; for Windows the static i686 build that
# scripts/bootstrap made from Debian's source package, in the folder cmake/jpeg_prefix.cmake names
# (or the one -DREPRISA_JPEG_PREFIX gives).
add_library(reprisa_jpeg INTERFACE)
if(WIN32)
  if(NOT REPRISA_JPEG_PREFIX)
    include(${CMAKE_CURRENT_LIST_DIR}/jpeg_prefix.cmake)
    set(REPRISA_JPEG_PREFIX "${reprisa_jpeg_cache_prefix}")
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
