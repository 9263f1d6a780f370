# The Debian package: the binary (stripped: the debug information stays in the
# build's own), its icons, a desktop entry, AppStream metainfo, and what starts
# the guard with every desktop session: a systemd user unit, which brings a
# killed guard back, and an XDG autostart entry for sessions without systemd.
# The release packages are built on the oldest Debian they serve
# (scripts/package-linux); any build can make one for its own machine.
include(GNUInstallDirs)

# The program as distributions expect it: hardened.
if(BUILD_TESTING)
  add_test(NAME program_elf COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/check-elf.sh $<TARGET_FILE:quorvex>)
  set_tests_properties(program_elf PROPERTIES LABELS program)
endif()

install(TARGETS quorvex RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES quorvex.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
# User units go under the prefix's lib/, whatever the machine's library folder.
install(FILES quorvex.service DESTINATION lib/systemd/user)
# Software centres list the program from its AppStream metainfo, named by its ID.
install(FILES quorvex.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo
        RENAME invalid.quorvex.Quorvex.metainfo.xml)
# Desktops read autostart entries from $XDG_CONFIG_DIRS, /etc/xdg by default.
# Which etc/ that is depends on the prefix given at install time (the package
# installs to /usr, so /etc), so the choice is made by the install script.
install(CODE "
  if(CMAKE_INSTALL_PREFIX STREQUAL \"/usr\")
    set(autostart_dir /etc/xdg/autostart)
  else()
    set(autostart_dir \${CMAKE_INSTALL_PREFIX}/etc/xdg/autostart)
  endif()
  file(INSTALL \"${CMAKE_CURRENT_SOURCE_DIR}/quorvex-autostart.desktop\"
       DESTINATION \"\${autostart_dir}\" RENAME quorvex.desktop)
")
# Drawn by make_icons.py from the application icon's picture.
foreach(size 16 32 48 64 128 256)
  install(FILES icons/quorvex-${size}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME quorvex.png)
endforeach()

# The manual page and the changelog ship compressed, without a time stamp.
foreach(source quorvex.1 debian/changelog)
  get_filename_component(name ${source} NAME)
  add_custom_command(OUTPUT ${name}.gz
    COMMAND gzip -9n -c ${CMAKE_CURRENT_SOURCE_DIR}/${source} > ${name}.gz
    DEPENDS ${source})
  list(APPEND compressed ${CMAKE_CURRENT_BINARY_DIR}/${name}.gz)
endforeach()
add_custom_target(quorvex_docs ALL DEPENDS ${compressed})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/quorvex.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz debian/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_CONTACT "Quorvex <dev@quorvex.invalid>")
set(CPACK_PACKAGE_DESCRIPTION [[
Quorvex stays hidden and looks at the process list several times a second.
When one of the worms on its watch list, which spread through USB flash
drives, runs, it kills every copy by image name and shows an alert; one
button then deletes the worm's file and puts a directory of the same name in
its place, so the file cannot come back.

It starts with every desktop session and, where systemd manages the session,
comes back when it is killed. Its texts are in Simplified Chinese.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quorvex.invalid/)
# A cross-build is packaged for its target, whose Debian architecture its
# multiarch triplet names; dpkg-shlibdeps then reads that architecture's
# libraries for the Depends line.
if(CMAKE_CROSSCOMPILING)
  execute_process(COMMAND dpkg-architecture -t ${CMAKE_LIBRARY_ARCHITECTURE} -q DEB_HOST_ARCH
                  OUTPUT_VARIABLE CPACK_DEBIAN_PACKAGE_ARCHITECTURE OUTPUT_STRIP_TRAILING_WHITESPACE
                  ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR NOT CPACK_DEBIAN_PACKAGE_ARCHITECTURE)
    message(FATAL_ERROR "dpkg-architecture names no Debian architecture for '${CMAKE_LIBRARY_ARCHITECTURE}'")
  endif()
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_CURRENT_BINARY_DIR}/cpack-target.cmake)
  file(WRITE ${CPACK_PROJECT_CONFIG_FILE} "set(ENV{DEB_HOST_ARCH} ${CPACK_DEBIAN_PACKAGE_ARCHITECTURE})\n")
endif()
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk")
# The autostart entry is a configuration file: removing the package keeps an
# edited copy (TryExec makes desktops skip it), purging removes it. The
# maintainer scripts enable the user unit for everyone and undo that on purge.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_SOURCE_DIR}/debian/conffiles
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postinst ${CMAKE_CURRENT_SOURCE_DIR}/debian/prerm
    ${CMAKE_CURRENT_SOURCE_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
