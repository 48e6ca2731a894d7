# Debian packages, one per install component: `cpack -G DEB` in the build
# folder makes quorvia-cloud-print (configurator, agent, daemon) and
# olvenka-cloud-printer-client (the socket print client) from what the build
# holds. Included after every folder has added its install rules; the files
# (with each package's copyright, changelog and manual pages) and the
# components are those of data/CMakeLists.txt.

# Files below /etc are the administrator's to change; dpkg keeps such
# changes only for files it knows as conffiles.
set(conffiles ${PROJECT_BINARY_DIR}/debian/quorvia-cloud-print/conffiles)
file(WRITE ${conffiles} "${QUORVIA_AUTOSTART_DIR}/quorvia-cloud-print-agent.desktop\n")

set(CPACK_PACKAGE_NAME quorvia-cloud-print)
set(CPACK_PACKAGE_VENDOR Quorvia)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QUORVIA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_HOMEPAGE_URL "${QUORVIA_PACKAGE_HOMEPAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL quorvia olvenka)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION net)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)

# Besides the libraries dpkg-shlibdeps finds, what the programs run or load
# without linking it: the CUPS administration tools (cups-client) and the PPD
# compiler (cups-ppdc) that install queues, ps for the configurator's look for
# a running agent, and the system bus the daemon and the agent live on. Qt's
# SVG plugins come with libqt5svg5, which the configurator links. The CUPS
# scheduler with its filters is only recommended: the queues may live on
# another machine's CUPS server (CUPS_SERVER).
set(CPACK_DEBIAN_QUORVIA_PACKAGE_NAME quorvia-cloud-print)
set(CPACK_DEBIAN_QUORVIA_PACKAGE_DEPENDS "cups-client, cups-ppdc, dbus, procps")
set(CPACK_DEBIAN_QUORVIA_PACKAGE_RECOMMENDS cups)
set(CPACK_DEBIAN_QUORVIA_PACKAGE_CONTROL_EXTRA
    ${conffiles}
    ${PROJECT_SOURCE_DIR}/data/debian/quorvia/postinst
    ${PROJECT_SOURCE_DIR}/data/debian/quorvia/prerm
    ${PROJECT_SOURCE_DIR}/data/debian/quorvia/postrm)
set(CPACK_DEBIAN_QUORVIA_DESCRIPTION "Cloud print configurator, session agent and daemon
The configurator verifies a cloud print server and an authorization code over
TLS, lists the server's printers and installs them as local CUPS queues.
The agent supplies each user's authorization codes to cloud print jobs and
reports finished jobs; the daemon on the system bus forwards the print
backend's requests to the agent of the job's user.")

# The socket client runs the CUPS tools against the CUPS server on this
# machine, keeps its log in SQLite through Qt's driver plugin and shows its
# SVG icon through Qt's SVG plugins, linking neither; the print backend
# reaches it on the system bus. The rest of CUPS (its filters) is recommended.
set(CPACK_DEBIAN_OLVENKA_PACKAGE_NAME olvenka-cloud-printer-client)
set(CPACK_DEBIAN_OLVENKA_PACKAGE_DEPENDS "cups-client, cups-daemon, dbus, libqt5sql5-sqlite, libqt5svg5")
set(CPACK_DEBIAN_OLVENKA_PACKAGE_RECOMMENDS cups)
set(CPACK_DEBIAN_OLVENKA_DESCRIPTION "Client for Olvenka socket print servers
Lists the printers of a socket print server, adds and removes local CUPS
queues for them and uploads the jobs that the print backend hands over on the
system bus. It keeps a log of jobs and servers.")

include(CPack)
