# Installation and the Debian package (cpack -G DEB, run by ./package): the
# four programs, the bridge's systemd unit and example config, the udev rule, the desktop entry and its icon, manual pages
# made from each program's own --help, and the package's documentation.
include(GNUInstallDirs)

set(talvex_packaging ${CMAKE_SOURCE_DIR}/packaging)
set(talvex_doc_dir ${CMAKE_INSTALL_DATADIR}/doc/talvex-editor)
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

install(TARGETS talvex-editor talvex-group talvex-vamp talvex-bridge RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

if(UNIX AND NOT APPLE)
    install(FILES ${talvex_packaging}/70-talvex-96k.rules DESTINATION lib/udev/rules.d)
    # The bridge's service: installed, not enabled; it reads /etc/talvex/bridge.conf,
    # made from the example.
    install(FILES ${talvex_packaging}/talvex-bridge.service DESTINATION lib/systemd/system)
    install(FILES ${talvex_packaging}/bridge.conf.example DESTINATION ${talvex_doc_dir}/examples)
    install(FILES ${talvex_packaging}/talvex-editor.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${talvex_packaging}/talvex-editor.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)

    # The PNG sizes are rendered from the one drawing.
    find_program(TALVEX_RSVG_CONVERT rsvg-convert)
    find_program(TALVEX_HELP2MAN help2man)
    find_program(TALVEX_GZIP gzip)
    set(talvex_package_files)
    if(TALVEX_RSVG_CONVERT)
        foreach(size 16 24 32 48 64 128 256)
            set(png ${CMAKE_BINARY_DIR}/icons/${size}/talvex-editor.png)
            add_custom_command(OUTPUT ${png}
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/icons/${size}
                COMMAND ${TALVEX_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${talvex_packaging}/talvex-editor.svg
                DEPENDS ${talvex_packaging}/talvex-editor.svg VERBATIM)
            list(APPEND talvex_package_files ${png})
            install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
        endforeach()
    endif()

    # Manual pages from the programs' real --help and --version, so they cannot drift.
    if(TALVEX_HELP2MAN AND TALVEX_GZIP AND NOT CMAKE_CROSSCOMPILING)
        set(talvex_man_names
            "talvex-editor|live editor for the Talvex-96K DSP power amplifier"
            "talvex-group|inspect, compare and plot Talvex-96K group files"
            "talvex-vamp|virtual Talvex-96K amplifiers on a pseudo-terminal"
            "talvex-bridge|every Talvex-96K amplifier of a venue on an MQTT broker")
        foreach(entry ${talvex_man_names})
            string(REPLACE "|" ";" entry "${entry}")
            list(GET entry 0 program)
            list(GET entry 1 summary)
            set(page ${CMAKE_BINARY_DIR}/man/${program}.1)
            add_custom_command(OUTPUT ${page}.gz
                COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
                COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
                        ${TALVEX_HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${summary}
                        --output=${page} $<TARGET_FILE:${program}>
                COMMAND ${TALVEX_GZIP} -9nf ${page}
                DEPENDS ${program} VERBATIM)
            list(APPEND talvex_package_files ${page}.gz)
            install(FILES ${page}.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
        endforeach()
    endif()

    configure_file(${talvex_packaging}/changelog.in ${CMAKE_BINARY_DIR}/doc/changelog @ONLY)
    set(changelog ${CMAKE_BINARY_DIR}/doc/changelog.gz)
    add_custom_command(OUTPUT ${changelog}
        COMMAND ${TALVEX_GZIP} -9nf ${CMAKE_BINARY_DIR}/doc/changelog
        DEPENDS ${CMAKE_BINARY_DIR}/doc/changelog)
    list(APPEND talvex_package_files ${changelog})
    install(FILES ${changelog} ${talvex_packaging}/copyright DESTINATION ${talvex_doc_dir})
    add_custom_target(talvex_package_files ALL DEPENDS ${talvex_package_files})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME talvex-editor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Talvex-96K editor maintainers <talvex-editor@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live editor for the Talvex-96K DSP power amplifier")
# The extended description; CPack indents it under the summary line.
set(CPACK_PACKAGE_DESCRIPTION
    "Connects to one Talvex-96K three-way DSP power amplifier over USB (HID) or to
one or several on an RS-485 bus through a serial port, reads the device's
whole configuration and edits it live: crossovers, equalisers, gains, delays,
limiters, presets and group files.

The package also holds talvex-group, which shows, compares and plots group
files without an amplifier, and talvex-vamp, a virtual amplifier on a
pseudo-terminal for rehearsing without hardware. A udev rule gives the user
at the seat access to the amplifier's USB node.

talvex-bridge publishes every amplifier of a venue's buses and network
gateways on an MQTT broker for control systems and monitoring (state,
availability, commands, Home Assistant discovery); its systemd service is
installed but not enabled.")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://talvex-editor.example.org/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${talvex_packaging}/postinst ${talvex_packaging}/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
