# Three Debian packages: `cpack` (or the `package` target) in the build
# folder writes vex-common, vex-appserver and vex-client
# _<version>-<release>_<arch>.deb. A server needs no GUI library and a
# clerk's desktop no service.
set(CPACK_GENERATOR DEB)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL common appserver client)
set(CPACK_PACKAGE_NAME vex)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE ${VEX_DEB_RELEASE})
set(CPACK_PACKAGE_CONTACT "Equipe VEX <vex@example.com>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://vex.example.com/vex00300")
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# Installed with DESTDIR and the real prefix, so that install-time paths
# (vex.ini's modules folder, the unit's ExecStart) name /usr, not the
# staging folder.
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_LIBRARY_OUTPUT_DIRECTORY})
# vex-appserver and vex-client need vex-common of the very same build.
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
set(CPACK_COMPONENT_APPSERVER_DEPENDS common)
set(CPACK_COMPONENT_CLIENT_DEPENDS common)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Each takes over its share of the files of the old single package.
set(vex_old "vex00300 (<< ${VEX_DEB_VERSION})")

set(CPACK_DEBIAN_COMMON_PACKAGE_NAME vex-common)
set(CPACK_DEBIAN_COMMON_PACKAGE_SECTION libs)
set(CPACK_COMPONENT_COMMON_DESCRIPTION
  "order tracking: libraries shared by server and client\n\
Private libraries of the order-tracking system (Acompanhamento de Pedidos\n\
OL): the wire format that the application server and the desktop screen\n\
both speak, and the database connection. Nothing here draws on a screen.")
set(CPACK_DEBIAN_COMMON_PACKAGE_REPLACES "${vex_old}")
set(CPACK_DEBIAN_COMMON_PACKAGE_BREAKS "${vex_old}")

set(CPACK_DEBIAN_APPSERVER_PACKAGE_NAME vex-appserver)
set(CPACK_DEBIAN_APPSERVER_PACKAGE_SECTION net)
set(CPACK_COMPONENT_APPSERVER_DESCRIPTION
  "order tracking: application server and database tool\n\
vex-appserver serves the order-tracking screen (Acompanhamento de Pedidos\n\
OL) over JSON-RPC on TCP, from SQLite or PostgreSQL, as a systemd service;\n\
several instances can share one PostgreSQL database behind a TCP balancer.\n\
vex-db creates and upgrades the schema and manages the sign-in users.")
# Loaded at run time, so dpkg-shlibdeps cannot see them: the SQL drivers,
# and the tools the maintainer scripts use.
set(CPACK_DEBIAN_APPSERVER_PACKAGE_DEPENDS
  "libqt6sql6-sqlite, libqt6sql6-psql, adduser, init-system-helpers (>= 1.54)")
set(CPACK_DEBIAN_APPSERVER_PACKAGE_SUGGESTS "haproxy, postgresql-client, sqlite3")
set(CPACK_DEBIAN_APPSERVER_PACKAGE_REPLACES "${vex_old}")
set(CPACK_DEBIAN_APPSERVER_PACKAGE_BREAKS "${vex_old}")
set(CPACK_DEBIAN_APPSERVER_PACKAGE_CONTROL_EXTRA
  ${CMAKE_CURRENT_LIST_DIR}/debian/conffiles
  ${CMAKE_CURRENT_LIST_DIR}/debian/postinst
  ${CMAKE_CURRENT_LIST_DIR}/debian/prerm
  ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)

set(CPACK_DEBIAN_CLIENT_PACKAGE_NAME vex-client)
set(CPACK_DEBIAN_CLIENT_PACKAGE_SECTION misc)
set(CPACK_COMPONENT_CLIENT_DESCRIPTION
  "order tracking: desktop screen for purchasing and logistics\n\
vex-host opens the order-tracking screen (Acompanhamento de Pedidos OL):\n\
the purchase requests of many branches, their orders to a logistics\n\
operator and that operator's stock, fetched from vex-appserver. It comes\n\
with a menu entry.")
# The screen's texts are Brazilian Portuguese, and so should Qt's own be;
# the database driver is loaded at run time.
set(CPACK_DEBIAN_CLIENT_PACKAGE_DEPENDS
  "qt6-translations-l10n, libqt6sql6-sqlite, libqt6sql6-psql")
set(CPACK_DEBIAN_CLIENT_PACKAGE_REPLACES "${vex_old}")
set(CPACK_DEBIAN_CLIENT_PACKAGE_BREAKS "${vex_old}")
include(CPack)
