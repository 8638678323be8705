# Installation: a program folder with the programs and the tree pictures, the commands on the
# PATH, and what the desktop and man expect.
#
#   <prefix>/lib/varnox/       varnox, ucc, varnox-redirect, open.bmp, closed.bmp, leaf.bmp,
#                              root.bmp
#   <prefix>/bin/              varnox, ucc, varnox-redirect (links into lib/varnox)
#   <prefix>/share/applications/varnox.desktop, share/metainfo/, share/icons/hicolor/,
#   <prefix>/share/man/man1/, share/doc/varnox/
#
# The default prefix is the user's own ~/.local, where the program folder can be written and
# config.txt lives beside the program. The Debian package (cpack -G DEB) installs into /usr,
# where it cannot: the settings file is then ~/.config/varnox/config.txt.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND DEFINED ENV{HOME})
    set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix" FORCE)
endif()

set(VARNOX_PROGRAM_DIR lib/varnox)
set(VARNOX_COMMANDS varnox ucc varnox-redirect)

install(TARGETS ${VARNOX_COMMANDS} RUNTIME DESTINATION ${VARNOX_PROGRAM_DIR})
install(FILES
    ${PROJECT_SOURCE_DIR}/assets/open.bmp
    ${PROJECT_SOURCE_DIR}/assets/closed.bmp
    ${PROJECT_SOURCE_DIR}/assets/leaf.bmp
    ${PROJECT_SOURCE_DIR}/assets/root.bmp
    DESTINATION ${VARNOX_PROGRAM_DIR})
foreach(size 16 32 48 64 128 256)
    install(FILES ${PROJECT_SOURCE_DIR}/assets/icons/hicolor/${size}x${size}/apps/varnox.png
        DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${PROJECT_SOURCE_DIR}/packaging/varnox.metainfo.xml
    DESTINATION share/metainfo RENAME io.github.varnox.varnox.metainfo.xml)

# Man pages and the Debian changelog, compressed as Debian wants them (no time stamp).
set(compressed)
foreach(file varnox.1 ucc.1 varnox-redirect.1 changelog)
    add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/man/${file}.gz
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9n < ${PROJECT_SOURCE_DIR}/packaging/${file} > ${CMAKE_BINARY_DIR}/man/${file}.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/packaging/${file})
    list(APPEND compressed ${CMAKE_BINARY_DIR}/man/${file}.gz)
endforeach()
add_custom_target(varnox_install_files ALL DEPENDS ${compressed})
install(FILES ${CMAKE_BINARY_DIR}/man/varnox.1.gz ${CMAKE_BINARY_DIR}/man/ucc.1.gz
    ${CMAKE_BINARY_DIR}/man/varnox-redirect.1.gz DESTINATION share/man/man1)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${CMAKE_BINARY_DIR}/man/changelog.gz
    DESTINATION share/doc/varnox)

# The commands on the PATH are links into the program folder; the programs find their folder
# through the link. The desktop entry names the command by absolute path, for the prefix
# actually used.
install(CODE "
    set(prefix \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
    file(MAKE_DIRECTORY \"\${prefix}/bin\")
    foreach(command ${VARNOX_COMMANDS})
        file(CREATE_LINK \"../${VARNOX_PROGRAM_DIR}/\${command}\" \"\${prefix}/bin/\${command}\"
             SYMBOLIC)
        message(STATUS \"Installing: \${prefix}/bin/\${command}\")
    endforeach()
    set(VARNOX_LAUNCHER \"\${CMAKE_INSTALL_PREFIX}/bin/varnox\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/varnox.desktop.in\"
                   \"\${prefix}/share/applications/varnox.desktop\" @ONLY)
    message(STATUS \"Installing: \${prefix}/share/applications/varnox.desktop\")
")

# The Debian package: cpack -G DEB in the build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME varnox)
set(CPACK_PACKAGE_VENDOR "The varnox developers")
set(CPACK_PACKAGE_CONTACT "The varnox developers <varnox@example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "prepare Unreal Tournament packages for a redirect server")
# The lines after the summary; cpack indents each one.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "varnox compresses Unreal Tournament packages (maps, sounds, music and
textures) into the game's .uz format with its own implementation of the game
tool (ucc), turns .uz files back into packages and routes them into the game's
folders, and uploads and downloads files over FTP or FTP over TLS.
.
varnox-redirect does the whole job from a terminal, for servers run headless.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://github.com/varnox/varnox")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# Removal takes away the log an earlier ucc kept in the program folder.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/prerm ${PROJECT_SOURCE_DIR}/packaging/postrm)
include(CPack)
