# SPDX-License-Identifier: MIT
# What `cmake --install` puts where, and the Debian package CPack makes of it. The program finds
# the module from its own folder (../lib/quorvel), so the prefix can be anywhere and moved.

set(QUORVEL_MODULE_DESTINATION lib/quorvel)
install(TARGETS quorvel-render RUNTIME DESTINATION bin)
install(TARGETS Quorvel LIBRARY DESTINATION ${QUORVEL_MODULE_DESTINATION}
                        RUNTIME DESTINATION ${QUORVEL_MODULE_DESTINATION})
if(NOT WIN32)
  install(FILES ${PROJECT_BINARY_DIR}/Quorvel.pipl DESTINATION ${QUORVEL_MODULE_DESTINATION})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/scenes/ DESTINATION share/quorvel/scenes)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/doc/quorvel)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION share/doc/quorvel/docs)

set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_CONTACT "Quorvel developers <quorvel@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "quorvel-render: the Quorvel box-behind-text effect rendered without a host application")
set(CPACK_PACKAGE_DESCRIPTION
    "Renders scene files, captions and batches through the Quorvel effect module on a\
 headless host, to PNG images and videos.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_GENERATOR DEB)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
# The shared libraries' packages come from dpkg-shlibdeps, so they follow the Debian release the
# package is built on; the fonts are read as files, which no library dependency names.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
include(CPack)
