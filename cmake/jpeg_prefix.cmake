# The one place that names the folder of the static i686 libjpeg: scripts/bootstrap builds it
# there and the Windows build looks for it there. $REPRISA_CACHE/libjpeg-i686 when REPRISA_CACHE
# is set and not empty, else $HOME/.cache/reprisa/libjpeg-i686, else under /root.
#
# Included, it sets reprisa_jpeg_cache_prefix; run as a script (cmake -P), it prints the folder.
if(NOT "$ENV{REPRISA_CACHE}" STREQUAL "")
  set(reprisa_jpeg_cache_prefix "$ENV{REPRISA_CACHE}/libjpeg-i686")
elseif(NOT "$ENV{HOME}" STREQUAL "")
  set(reprisa_jpeg_cache_prefix "$ENV{HOME}/.cache/reprisa/libjpeg-i686")
else()
  set(reprisa_jpeg_cache_prefix "/root/.cache/reprisa/libjpeg-i686")
endif()

if(CMAKE_SCRIPT_MODE_FILE)
  execute_process(COMMAND ${CMAKE_COMMAND} -E echo "${reprisa_jpeg_cache_prefix}")
endif()
