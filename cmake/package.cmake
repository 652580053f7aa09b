# What users install. Included last by the top-level CMakeLists.txt.
#
# Linux: the files a desktop expects beside the program (AppStream metainfo, manual page, the
# Debian copyright and changelog) and CPack's DEB generator, which packs what `cmake --install`
# installs into reprisa_<version>_amd64.deb with Depends from dpkg-shlibdeps
# (packaging/linux/make-deb runs it).
# Windows: the Wine test of the per-user installer and the zip (packaging/windows/make-packages
# builds both) and its small Win32 helper.
set(REPRISA_VENDOR "Velmora")
set(REPRISA_CONTACT "Velmora <info@velmora.example>")
set(REPRISA_HOMEPAGE "https://www.velmora.example/")

if(REPRISA_GTK AND TARGET reprisa)
  include(GNUInstallDirs)
  set(package_dir ${CMAKE_BINARY_DIR}/package)
  # The day of the build (SOURCE_DATE_EPOCH's when set, so that the same sources make the same
  # package), for the manual page and the changelog.
  string(TIMESTAMP REPRISA_DATE "%Y-%m-%d" UTC)
  string(TIMESTAMP REPRISA_RFC2822_DATE "%a, %d %b %Y 00:00:00 +0000" UTC)
  configure_file(${CMAKE_SOURCE_DIR}/resources/linux/reprisa.1.in ${package_dir}/reprisa.1 @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/resources/linux/reprisa.de.1.in ${package_dir}/reprisa.de.1
                 @ONLY)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/linux/changelog.in ${package_dir}/changelog @ONLY)
  # gzip -n -9: no name or time stamp inside, as Debian wants compressed documentation.
  foreach(doc reprisa.1 reprisa.de.1 changelog)
    add_custom_command(
      OUTPUT ${package_dir}/${doc}.gz
      COMMAND gzip -n -9 -c ${package_dir}/${doc} > ${package_dir}/${doc}.gz
      DEPENDS ${package_dir}/${doc}
      VERBATIM)
  endforeach()
  add_custom_target(package_docs ALL DEPENDS ${package_dir}/reprisa.1.gz ${package_dir}/reprisa.de.1.gz
                                             ${package_dir}/changelog.gz)

  set(metainfo ${CMAKE_SOURCE_DIR}/resources/linux/example.velmora.reprisa.metainfo.xml)
  install(FILES ${metainfo} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${package_dir}/reprisa.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${package_dir}/reprisa.de.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/de/man1
          RENAME reprisa.1.gz)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/linux/copyright ${package_dir}/changelog.gz
          DESTINATION ${CMAKE_INSTALL_DOCDIR})

  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME reprisa)
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_VENDOR ${REPRISA_VENDOR})
  set(CPACK_PACKAGE_CONTACT ${REPRISA_CONTACT})
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_STRIP_FILES ON)
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "web page player that restarts its media at a fixed interval")
  # The extended description below the summary; CPack indents it and writes the empty line as " .".
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Reprisa shows one web page and reloads it at a fixed interval of minutes and
seconds, so that the music or video on the page starts again each time. A
countdown shows the time to the next restart, and the main window comes back
where and as large as it was left. The program's texts are German.

Playing the media that common sites serve (H.264/AAC and others) needs
GStreamer's FFmpeg plugin, which this package recommends.")
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION video)
  set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
  set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${REPRISA_HOMEPAGE})
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
  set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
      "gstreamer1.0-plugins-good, gstreamer1.0-libav, gstreamer1.0-plugins-bad")
  set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
  set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
  set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
      OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
  include(CPack)

  # The package's tests: one builds the .deb (the others need it), one checks it with the tools a
  # distribution uses, one installs it on this machine, starts it from its menu entry and purges it.
  set(deb_test_dir ${CMAKE_BINARY_DIR}/package_test)
  add_test(NAME package_deb_build
           COMMAND ${CMAKE_SOURCE_DIR}/packaging/linux/make-deb ${CMAKE_BINARY_DIR} ${deb_test_dir})
  add_test(NAME package_deb_check
           COMMAND ${CMAKE_SOURCE_DIR}/tests/package/check-deb ${deb_test_dir} ${PROJECT_VERSION})
  add_test(NAME package_deb_install
           COMMAND ${CMAKE_SOURCE_DIR}/tests/package/install-deb ${deb_test_dir})
  set_tests_properties(package_deb_build PROPERTIES FIXTURES_SETUP deb TIMEOUT 300)
  set_tests_properties(package_deb_check PROPERTIES FIXTURES_REQUIRED deb TIMEOUT 300)
  # apt and dpkg take the system's package lock: nothing else of ours runs meanwhile.
  set_tests_properties(package_deb_install PROPERTIES FIXTURES_REQUIRED deb TIMEOUT 300
                       RUN_SERIAL TRUE)
endif()

if(WIN32 AND TARGET reprisa)
  # Starts a program and closes its window as a user would, waits for a process tree, reads a
  # shortcut: what the installer's Wine test cannot do from the shell.
  add_executable(package_probe ${CMAKE_SOURCE_DIR}/tests/package/package_probe_win.cpp)
  target_link_libraries(package_probe PRIVATE reprisa_flags ole32 uuid shell32 user32)
  target_link_options(package_probe PRIVATE -static -static-libgcc -static-libstdc++ -municode)
  if(NOT CMAKE_HOST_WIN32)
    add_test(NAME package_windows
             COMMAND ${CMAKE_SOURCE_DIR}/tests/package/windows-test ${CMAKE_BINARY_DIR}
                     $<TARGET_FILE:reprisa> $<TARGET_FILE:package_probe>)
    set_tests_properties(package_windows PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE)
  endif()
endif()
