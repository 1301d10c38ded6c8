# The Debian package: cpack -G DEB in the release build (scripts/package).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME marlix-sqa)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "Marlix SQA developers")
set(CPACK_PACKAGE_CONTACT "Marlix SQA developers <sqa@marlix.io>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "signal quality charts of a satellite-timing receiver's logs")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION science)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://marlix.io/sqa/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The window's font; found by name, so no library dependency names it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation")
# The extended description; CPack puts the summary above it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "A desktop viewer for the daily plain-text logs of a Marlix 2931T
satellite-timing receiver. For one UTC day it draws three charts on one
time scale (signal strength with good satellites, fix state and trend;
PDOP; share of satellites with signal and lock mode) and a summary of the
day.

The command marlix-sqa-cli prints the same summaries, tables of day
metrics for spreadsheets, simulated logs and pictures of the window for
scripts and cron.")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
