# Installing the simulator as a desktop program, and its Debian package (`make install`, `make package`).
#
# The program reads data/ relative to its working directory, so the installed command is a launcher:
#   PREFIX/bin/rendezvous                        script: cd to the data's folder, exec the program
#   PREFIX/libexec/rendezvous/rendezvous         the program
#   PREFIX/bin/rendezvous-plan                   the planner, which takes a scenario file's path
#   PREFIX/bin/rendezvous-replay                 the replay of flight files, beside the planner
#   PREFIX/share/rendezvous/data/                scenarios, models, help page
#   PREFIX/share/applications/rendezvous.desktop menu entry
#   PREFIX/share/icons/hicolor/scalable/apps/rendezvous.svg   icon (tools/make_icon.py)
#   PREFIX/share/man/man6/rendezvous.6.gz        manual page, in English (dist/rendezvous.6)
#   PREFIX/share/man/LANG/man6/rendezvous.6.gz   its translation dist/rendezvous.LANG.6 (fr: French),
#                                                which man shows to readers of that language
include(GNUInstallDirs)

set(RENDEZVOUS_DATA_DIR ${CMAKE_INSTALL_DATADIR}/rendezvous)
set(RENDEZVOUS_EXE_DIR ${CMAKE_INSTALL_LIBEXECDIR}/rendezvous)

# The launcher finds both folders from its own, so the paths are relative to the bin folder.
file(RELATIVE_PATH DATA_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR} ${CMAKE_INSTALL_PREFIX}/${RENDEZVOUS_DATA_DIR})
file(RELATIVE_PATH EXE_FROM_BIN ${CMAKE_INSTALL_FULL_BINDIR}
     ${CMAKE_INSTALL_PREFIX}/${RENDEZVOUS_EXE_DIR}/rendezvous)
configure_file(${CMAKE_CURRENT_LIST_DIR}/rendezvous.in ${CMAKE_BINARY_DIR}/dist/rendezvous @ONLY)

set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
    GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

# The manual pages: rendezvous.6, in English, is the default; each rendezvous.LANG.6 beside it is a
# translation, so another language is one more file. CMake fills in the version. Debian ships manual
# pages compressed; man reads them either way. -n keeps the name and time out, so the file is the same
# from one build to the next.
file(GLOB MAN_TRANSLATIONS CONFIGURE_DEPENDS ${CMAKE_CURRENT_LIST_DIR}/rendezvous.*.6)
set(MAN_PAGES "")
foreach(source ${CMAKE_CURRENT_LIST_DIR}/rendezvous.6 ${MAN_TRANSLATIONS})
  get_filename_component(name ${source} NAME)
  if(name MATCHES "^rendezvous\\.([^.]+)\\.6$")
    set(man_dir ${CMAKE_INSTALL_MANDIR}/${CMAKE_MATCH_1}/man6)
  else()
    set(man_dir ${CMAKE_INSTALL_MANDIR}/man6)
  endif()
  set(page ${CMAKE_BINARY_DIR}/dist/${name})
  configure_file(${source} ${page} @ONLY)
  add_custom_command(OUTPUT ${page}.gz COMMAND gzip -9nf ${page} -c > ${page}.gz DEPENDS ${page} VERBATIM)
  list(APPEND MAN_PAGES ${page}.gz)
  install(FILES ${page}.gz DESTINATION ${man_dir} RENAME rendezvous.6.gz)
endforeach()
add_custom_target(manpage ALL DEPENDS ${MAN_PAGES})

install(TARGETS rendezvous RUNTIME DESTINATION ${RENDEZVOUS_EXE_DIR})
install(TARGETS rendezvous-plan rendezvous-replay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS ${CMAKE_BINARY_DIR}/dist/rendezvous DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/data DESTINATION ${RENDEZVOUS_DATA_DIR})
install(FILES ${CMAKE_CURRENT_LIST_DIR}/rendezvous.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_CURRENT_LIST_DIR}/rendezvous.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

# ---- The Debian package ----
set(RENDEZVOUS_MAINTAINER "Rendez-vous developers <rendezvous@localhost>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rendezvous)
set(CPACK_PACKAGE_CONTACT ${RENDEZVOUS_MAINTAINER})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "space rendezvous simulator (Hill / Clohessy-Wiltshire equations)")
string(CONCAT CPACK_DEBIAN_PACKAGE_DESCRIPTION
       "Fly a chaser spacecraft by keyboard pulses to the docking port of a target\n"
       "in orbit, in an interactive real-time 3-D view. The relative motion follows\n"
       "the Hill (Clohessy-Wiltshire) equations; six scenarios, from a straight\n"
       "approach to one out of the orbital plane, show how the orbital rate bends\n"
       "the path.")
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# dpkg-shlibdeps names the runtime packages of every library the program links: GLUT, GLU, the
# C++ runtime, and of GL only libopengl0, which draws nothing without a GLX; libgl1 brings it.
# xdg-open shows the help page; without it the help stays on the screen.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS libgl1)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS xdg-utils)
include(CPack)
