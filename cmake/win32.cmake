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
