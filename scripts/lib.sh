# Shared helpers for the project scripts; sourced, not run.

say() { printf '\033[1m==> %s\033[0m\n' "$*" >&2; }

# Installs the named Debian packages that are missing, non-interactively.
ensure_packages() {
    local missing=()
    local pkg
    for pkg in "$@"; do
        dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' || missing+=("$pkg")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    say "Installing missing packages: ${missing[*]}"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# zlib, liblzma and libzstd read archived day logs (.gz, .xz, .zst), found through pkg-config; SQLite
# keeps the store of day metrics.
BUILD_PACKAGES=(g++ make cmake libgtest-dev libbenchmark-dev qt6-base-dev libcli11-dev fonts-liberation tzdata
    pkgconf zlib1g-dev liblzma-dev libzstd-dev libsqlite3-dev)
# Validators of the desktop files and man pages, and the Debian package tools.
PACKAGE_TOOLS=(desktop-file-utils appstream shared-mime-info libxml2-utils man-db dpkg-dev file lintian)
# Real components the monitoring tests run: promtool and prometheus (in prometheus), node_exporter and
# faketime (the program under a fake clock at midnight); clang-format for the layout check of the C++
# sources; the compressors that make the archived logs of the tests; the locale sources, from which the
# tests build the comma-decimal locales they run the programs under; and the X server, the accessibility
# bus and the AT-SPI client that the window's accessibility test drives it with.
TEST_PACKAGES=(prometheus prometheus-node-exporter faketime clang-format zstd xz-utils locales
    xvfb dbus at-spi2-core python3-pyatspi)
TEST_LOCALES=(en_US.UTF-8 en_GB.UTF-8 de_DE.UTF-8 fr_FR.UTF-8 fi_FI.UTF-8)

# Builds the named UTF-8 locales (de_DE.UTF-8 and the like) that the C library does not have yet.
ensure_locales() {
    local name sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    for name in "$@"; do
        locale -a 2>/dev/null | grep -qix "${name/UTF-8/utf8}" && continue
        say "Building the locale $name"
        $sudo localedef -i "${name%%.*}" -c -f UTF-8 -A /usr/share/locale/locale.alias "$name"
    done
}
