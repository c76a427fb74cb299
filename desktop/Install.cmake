# Installs the program as a desktop application, and packs it as a .deb
# (cpack -G DEB in the build directory).
include(GNUInstallDirs)

install(TARGETS orba orba-virtual-instrument RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

set(desktop_dir ${CMAKE_CURRENT_SOURCE_DIR}/desktop)
install(FILES ${desktop_dir}/${ORBA_APP_ID}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${desktop_dir}/${ORBA_APP_ID}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${desktop_dir}/icon.svg
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME ${ORBA_APP_ID}.svg)
foreach(size 16 22 24 32 48 64 128 256)
    install(FILES ${desktop_dir}/icons/${size}x${size}.png
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps RENAME ${ORBA_APP_ID}.png)
endforeach()

# Manual pages and the change log go compressed, as Debian keeps them.
set(packed_docs)
foreach(doc orba.1 orba-virtual-instrument.1 changelog)
    set(packed ${CMAKE_CURRENT_BINARY_DIR}/${doc}.gz)
    add_custom_command(OUTPUT ${packed}
                       COMMAND gzip -9nc ${desktop_dir}/${doc} > ${packed}
                       DEPENDS ${desktop_dir}/${doc})
    list(APPEND packed_docs ${packed})
endforeach()
add_custom_target(orba_packed_docs ALL DEPENDS ${packed_docs})
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/orba.1.gz ${CMAKE_CURRENT_BINARY_DIR}/orba-virtual-instrument.1.gz
        DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${desktop_dir}/copyright ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz
        DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/orba)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME orba)
set(CPACK_PACKAGE_VENDOR Orbisk)
set(CPACK_PACKAGE_CONTACT "Orbisk service <service@orbisk.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "companion program of the Orbisk 7m breath-alcohol instrument")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads the breath tests of the hand-held instrument over a serial line,\n\
shows, searches and prints them, keeps the lists of tested persons and sets\n\
the instrument's clock. The package also holds a virtual instrument that\n\
plays the instrument on a pseudo-terminal, for training and support.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The toolkit's own texts (standard buttons, file dialogs) in Russian, and
# the SQLite driver of the archive (a plug-in, which the library scan misses).
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-translations-l10n, libqt6sql6-sqlite")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://orbisk.example/orba)
include(CPack)
