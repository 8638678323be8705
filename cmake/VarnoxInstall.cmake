# Installation: a self-contained program folder that the user can write (config.txt lives
# beside the program), a launcher on the PATH and a desktop entry.
#
#   <prefix>/lib/varnox/    varnox, ucc, varnox-redirect, open.bmp, closed.bmp, leaf.bmp,
#                           root.bmp, varnox.png
#   <prefix>/bin/varnox     launcher
#   <prefix>/bin/varnox-redirect   symbolic link to the program in lib/varnox, which so
#                                  finds config.txt beside itself as the windows do
#   <prefix>/share/man/man1/varnox-redirect.1
#   <prefix>/share/applications/varnox.desktop
#
# The default prefix is the user's own ~/.local.

if(CMAKE_INSTALL_PREFIX_INITIALIZED_TO_DEFAULT AND DEFINED ENV{HOME})
    set(CMAKE_INSTALL_PREFIX "$ENV{HOME}/.local" CACHE PATH "Install prefix" FORCE)
endif()

set(VARNOX_PROGRAM_DIR lib/varnox)

install(TARGETS varnox RUNTIME DESTINATION ${VARNOX_PROGRAM_DIR})
if(TARGET ucc)
    install(TARGETS ucc RUNTIME DESTINATION ${VARNOX_PROGRAM_DIR})
endif()
install(FILES
    ${PROJECT_SOURCE_DIR}/assets/open.bmp
    ${PROJECT_SOURCE_DIR}/assets/closed.bmp
    ${PROJECT_SOURCE_DIR}/assets/leaf.bmp
    ${PROJECT_SOURCE_DIR}/assets/root.bmp
    ${PROJECT_SOURCE_DIR}/assets/varnox.png
    DESTINATION ${VARNOX_PROGRAM_DIR})
install(PROGRAMS ${PROJECT_SOURCE_DIR}/packaging/varnox-launcher.sh
    DESTINATION bin RENAME varnox)

install(TARGETS varnox-redirect RUNTIME DESTINATION ${VARNOX_PROGRAM_DIR})
install(FILES ${PROJECT_SOURCE_DIR}/packaging/varnox-redirect.1 DESTINATION share/man/man1)
install(CODE "
    set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/bin/varnox-redirect\")
    file(CREATE_LINK ../${VARNOX_PROGRAM_DIR}/varnox-redirect \"\${link}\" SYMBOLIC)
    message(STATUS \"Installing: \${link}\")
")

# The desktop entry names the launcher and the icon by absolute path, so it is written at
# install time for the prefix actually used.
install(CODE "
    set(prefix \"\${CMAKE_INSTALL_PREFIX}\")
    set(VARNOX_LAUNCHER \"\${prefix}/bin/varnox\")
    set(VARNOX_ICON \"\${prefix}/${VARNOX_PROGRAM_DIR}/varnox.png\")
    configure_file(\"${PROJECT_SOURCE_DIR}/packaging/varnox.desktop.in\"
                   \"\$ENV{DESTDIR}\${prefix}/share/applications/varnox.desktop\" @ONLY)
    message(STATUS \"Installing: \$ENV{DESTDIR}\${prefix}/share/applications/varnox.desktop\")
")
