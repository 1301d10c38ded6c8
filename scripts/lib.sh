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

BUILD_PACKAGES=(g++ make cmake libgtest-dev libbenchmark-dev qt6-base-dev libcli11-dev libsqlite3-dev fonts-liberation
    tzdata)
# Validators of the desktop files and man pages, and the Debian package tools.
PACKAGE_TOOLS=(desktop-file-utils appstream shared-mime-info libxml2-utils man-db dpkg-dev file lintian)
# Real components the monitoring tests run: promtool (in prometheus) and node_exporter; and
# clang-format for the layout check of the C++ sources.
TEST_PACKAGES=(prometheus prometheus-node-exporter clang-format)
