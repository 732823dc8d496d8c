# Installation and the Debian package.
#   /usr/bin/strideloom               launcher (per-user working directory)
#   /usr/bin/strideloom-cli           command-line tool
#   /usr/lib/strideloom/              the program and its libraries
#   /usr/share/strideloom/Resources/  resources copied by the launcher
#   /usr/share/strideloom/translations/, guide/  interface translations and
#                                     the user guide, found by the program
#                                     relative to itself
include(GNUInstallDirs)
# Private libraries beside the program, not in the multiarch directory.
set(STRIDELOOM_LIBDIR lib/strideloom)

set_target_properties(Strideloom SLDevice kvusb kvplot2d kvmagcali PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(strideloom-cli PROPERTIES INSTALL_RPATH "$ORIGIN/../${STRIDELOOM_LIBDIR}")
install(TARGETS Strideloom SLDevice kvusb kvplot2d kvmagcali
        RUNTIME DESTINATION ${STRIDELOOM_LIBDIR}
        LIBRARY DESTINATION ${STRIDELOOM_LIBDIR} NAMELINK_SKIP)
install(TARGETS strideloom-cli RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(PROGRAMS tools/packaging/strideloom.sh DESTINATION ${CMAKE_INSTALL_BINDIR} RENAME strideloom)
install(DIRECTORY Resources/ DESTINATION ${CMAKE_INSTALL_DATADIR}/strideloom/Resources PATTERN run.log EXCLUDE)
install(FILES ${STRIDELOOM_QM_FILES} DESTINATION ${CMAKE_INSTALL_DATADIR}/strideloom/translations)
install(DIRECTORY ${CMAKE_BINARY_DIR}/bin/guide/ DESTINATION ${CMAKE_INSTALL_DATADIR}/strideloom/guide)
install(FILES tools/packaging/strideloom.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES Resources/Images/apptitle.png DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/64x64/apps
        RENAME strideloom.png)
install(FILES tools/packaging/70-strideloom.rules DESTINATION lib/udev/rules.d)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME strideloom)
set(CPACK_PACKAGE_VENDOR "Strideloom")
set(CPACK_PACKAGE_CONTACT "Strideloom developers <dev@strideloom.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Inertial sensor viewer, recorder and calibration tool")
set(CPACK_PACKAGE_DESCRIPTION "Finds IMUs on serial ports and wireless sensor nodes behind USB receivers, \
shows their live data, records and plays back delimited text files, and calibrates the devices.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
# Chinese texts need a CJK font; Qt's own dialogs take their translations
# from qttranslations5-l10n; the launcher uses readlink and cp from coreutils.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-wqy-microhei | fonts-noto-cjk, qttranslations5-l10n, coreutils")
# Streaming goes through an MQTT broker; a station or desk usually runs one.
# xdg-utils opens the user guide from the Help menu.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "mosquitto, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_SOURCE_DIR}/tools/packaging/postinst)
set(CPACK_STRIP_FILES ON)
include(CPack)
