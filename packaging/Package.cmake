# The Debian package: `cpack` (or the `package` target) in the build folder
# writes vex00300_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vex00300)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
  "Order tracking (Acompanhamento de Pedidos OL): application server, host and screen")
set(CPACK_PACKAGE_DESCRIPTION
  "vex-appserver serves the order-tracking data over JSON-RPC on TCP (SQLite or\n\
PostgreSQL); vex-host is the desktop frame that loads the tracking screen;\n\
vex-db creates and upgrades the schema.")
set(CPACK_PACKAGE_CONTACT "Equipe VEX <vex@example.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Installed with DESTDIR and the real prefix, so that install-time paths
# (vex.ini's modules folder, the unit's ExecStart) name /usr, not the
# staging folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS
  ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
# Loaded at run time, so dpkg-shlibdeps cannot see them: the SQL drivers,
# and the tools the maintainer scripts use.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
  "libqt6sql6-sqlite, libqt6sql6-psql, adduser, init-system-helpers")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "haproxy, postgresql-client, sqlite3")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_LIST_DIR}/debian/conffiles
  ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
  ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
  ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
