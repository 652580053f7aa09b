# What every Windows target shares: the system libraries, static linking, the compile settings,
# the program's resources, and how the tests run (through Wine on a Linux host).
set(win_libs ole32 uuid comctl32 comdlg32 shell32 shlwapi advapi32 gdi32 user32 msimg32 ws2_32)
set(static_flags -static -static-libgcc -static-libstdc++)
target_compile_definitions(reprisa_flags INTERFACE UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX
                           _WIN32_WINNT=0x0601 WINVER=0x0601)
# Built for size: each function and datum in its own section, so that the linker drops what
# nothing calls (--gc-sections in src/win/app); speed does not matter to a program that waits on
# timers.
target_compile_options(reprisa_flags INTERFACE $<$<CONFIG:Release,MinSizeRel>:-Os>
                       -ffunction-sections -fdata-sections)

# What the linker keeps of reprisa.exe (bench/size.sh reads its map):
#  - link-time optimisation over our own code: the objects carry the compiler's intermediate form
#    beside their machine code ("fat"), so the tests link the machine code as before and only
#    reprisa.exe is optimised as a whole (-Os again at the link, or the build type's -O3 would
#    apply). One partition: GCC 12 for mingw fails with an internal error when the program is
#    split into several. Saves about 52 KiB.
#  - GNU runtime only: std::terminate's default handler prints the escaping exception's type to
#    a console this program does not have, through the runtime's name demangler (45 KiB); abort()
#    alone ends the program the same way. Nothing may escape to it anyway (the callbacks catch).
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_BUILD_TYPE MATCHES "^(Release|MinSizeRel)$")
  target_compile_options(reprisa_flags INTERFACE -flto -ffat-lto-objects)
  string(APPEND CMAKE_EXE_LINKER_FLAGS " -fno-lto")  # every other program: the machine code
  set(exe_size_flags -flto -flto-partition=one -Os)
else()
  set(exe_size_flags "")
endif()
if(MINGW AND CMAKE_SIZEOF_VOID_P EQUAL 4)
  # i686 symbols carry one underscore more than their C++ names.
  list(APPEND exe_size_flags
       -Wl,--defsym,__ZN9__gnu_cxx27__verbose_terminate_handlerEv=_abort)
endif()

# Timing marks of the start (win/kit/startup_trace_win.h), for bench/startup_steps.sh only: a
# shipped build never records them.
option(REPRISA_STARTUP_TRACE "Record the timing marks of the start (bench/startup_steps.sh)" OFF)
if(REPRISA_STARTUP_TRACE)
  target_compile_definitions(reprisa_flags INTERFACE REPRISA_STARTUP_TRACE)
endif()

# The manifest carries the project version too; the resource compiler finds it among the
# generated files.
set(app_manifest ${CMAKE_BINARY_DIR}/generated/reprisa.manifest)
configure_file(${CMAKE_SOURCE_DIR}/resources/reprisa.manifest.in ${app_manifest} @ONLY)
set(app_rc ${CMAKE_SOURCE_DIR}/resources/reprisa.rc)

# reprisa_app_resources(<target>): the program's resources (icon, logo, glyphs, dialog, version,
# manifest) compiled into the target; they are rebuilt when the manifest or the glyphs change.
function(reprisa_app_resources target)
  target_sources(${target} PRIVATE ${app_rc})
  set_property(SOURCE ${app_rc} APPEND PROPERTY OBJECT_DEPENDS
               ${app_manifest} ${CMAKE_SOURCE_DIR}/resources/kit_glyphs.rc)
endfunction()

# Tests run under Wine through scripts/wine-run (own prefix in build/, no install prompts); on a
# Windows host they run directly. Under Wine the locale is pinned: Wine takes the user's locale
# from the Unix one, and the tests type intervals with ':' (a Finnish locale separates with '.').
if(CMAKE_HOST_WIN32)
  set(wine_run "")
else()
  set(wine_run ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 ${CMAKE_SOURCE_DIR}/scripts/wine-run)
endif()
