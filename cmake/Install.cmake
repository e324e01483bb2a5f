# What `cmake --install` (and `make install`, `make deb`) puts under the prefix. Paths are fixed
# rather than taken from GNUInstallDirs: the program finds its run-time module at
# ../lib/tidemark/ relative to bin/, on every distribution alike.
install(TARGETS tidemark tidemark-send RUNTIME DESTINATION bin)
# The keyring module, loaded at run time only when a password is needed.
if(TARGET tidemark_keyring)
    install(TARGETS tidemark_keyring LIBRARY DESTINATION lib/tidemark)
endif()

# `make install` and `make deb` build only what is installed, not the tests and benchmarks;
# installing itself builds nothing.
add_custom_target(installed_targets)
add_dependencies(installed_targets tidemark tidemark-send manual_pages)
if(TARGET tidemark_keyring)
    add_dependencies(installed_targets tidemark_keyring)
endif()
set(CMAKE_SKIP_INSTALL_ALL_DEPENDENCY ON)

set(TIDEMARK_SCREENSHOT_URL "https://tidemark.example/compose-window.png"
    CACHE STRING "Where docs/compose-window.png is published, for the AppStream metadata")
configure_file(${CMAKE_SOURCE_DIR}/desktop/jp.orvane.tidemark.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/desktop/jp.orvane.tidemark.metainfo.xml @ONLY)

install(FILES ${CMAKE_SOURCE_DIR}/desktop/jp.orvane.tidemark.desktop DESTINATION share/applications)
install(FILES ${CMAKE_BINARY_DIR}/desktop/jp.orvane.tidemark.metainfo.xml DESTINATION share/metainfo)
install(FILES ${CMAKE_SOURCE_DIR}/desktop/tidemark.svg
        DESTINATION share/icons/hicolor/scalable/apps)
foreach(size ${TIDEMARK_ICON_SIZES})
    install(FILES ${TIDEMARK_ICON_DIR}/${size}/tidemark.png
            DESTINATION share/icons/hicolor/${size}x${size}/apps)
endforeach()
# Manual pages are installed compressed, as Debian wants them; -n keeps the archive the same
# from build to build.
foreach(page tidemark tidemark-send)
    set(compressed ${CMAKE_BINARY_DIR}/man/${page}.1.gz)
    add_custom_command(OUTPUT ${compressed}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
        COMMAND gzip -9 -n -c ${CMAKE_SOURCE_DIR}/man/${page}.1 > ${compressed}
        DEPENDS ${CMAKE_SOURCE_DIR}/man/${page}.1)
    list(APPEND manual_pages ${compressed})
endforeach()
add_custom_target(manual_pages ALL DEPENDS ${manual_pages})
install(FILES ${manual_pages} DESTINATION share/man/man1)
# The user guide of the help menu, where the program looks for it (platform/DataDir.h).
install(FILES ${TIDEMARK_GUIDE_DIR}/tidemark-guide.md DESTINATION share/tidemark)
install(FILES ${TIDEMARK_GUIDE_DIR}/docs/compose-window.png DESTINATION share/tidemark/docs)
install(FILES ${CMAKE_SOURCE_DIR}/completion/tidemark-send.bash
        DESTINATION share/bash-completion/completions RENAME tidemark-send)

# The licence beside the program, in the machine-readable form Debian wants for every package:
# the holders and the terms of LICENSE, each line of the terms indented, an empty one as " .".
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/LICENSE)
file(READ ${CMAKE_SOURCE_DIR}/LICENSE licence)
string(FIND "${licence}" "Permission is hereby granted" terms_start)
string(SUBSTRING "${licence}" ${terms_start} -1 terms)
string(STRIP "${terms}" terms)
string(REPLACE "\n\n" "\n.\n" terms "${terms}")
string(REPLACE "\n" "\n " terms "${terms}")
string(REGEX REPLACE "^Copyright \\(c\\) " "" holders "${TIDEMARK_COPYRIGHT}")
file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/doc/copyright CONTENT
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: Tidemark

Files: *
Copyright: ${holders}
License: ${TIDEMARK_LICENSE}

License: ${TIDEMARK_LICENSE}
 ${terms}
")
install(FILES ${CMAKE_BINARY_DIR}/doc/copyright DESTINATION share/doc/tidemark)

# `make deb`: a Debian package under /usr whose dependencies dpkg-shlibdeps finds from the
# libraries the executables actually link.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tidemark)
set(CPACK_PACKAGE_VENDOR Orvane)
set(CPACK_PACKAGE_CONTACT "Orvane <tidemark@orvane.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "write a short Japanese e-mail and send it at once")
set(CPACK_PACKAGE_DESCRIPTION
    "One small compose window for short Japanese e-mail, sent at once over SMTP,\n\
and tidemark-send, which sends a message the same way from scripts.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION mail)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time, so invisible to dpkg-shlibdeps: the window needs a platform plugin and
# Qt's own Japanese texts (file dialog, context menus), and a Japanese font to draw its texts.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS fonts-ipafont-gothic)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
include(CPack)
