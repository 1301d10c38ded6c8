#!/usr/bin/env bash
# The installed files besides the programs, each checked by its ecosystem's own tool:
#   desktop_files_test.sh SOURCE-DATA-DIR GENERATED-DATA-DIR MARLIX-SQA-CLI MARLIX-SQA
# and the window program's own command line, which the desktop entry uses.
# Exits 77 (skipped) when a tool is missing; scripts/test installs them.
set -euo pipefail
src=$1 gen=$2 cli=$3 window=$4
for tool in desktop-file-validate appstreamcli update-mime-database man xmllint; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
fail() { echo "FAILED: $*" >&2; exit 1; }
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

desktop-file-validate "$src/io.marlix.sqa.desktop" || fail "desktop entry"
appstreamcli validate --no-net --pedantic "$gen/io.marlix.sqa.metainfo.xml" || fail "AppStream metainfo"
xmllint --noout "$src/io.marlix.sqa.svg" || fail "icon"

# The day logs' types: plain text and its archives, found by their globs.
mkdir -p "$tmp/mime/packages"
cp "$src/io.marlix.sqa.xml" "$tmp/mime/packages/"
XDG_DATA_DIRS=$tmp update-mime-database "$tmp/mime" 2>"$tmp/mime.err" || fail "MIME type: $(cat "$tmp/mime.err")"
[ ! -s "$tmp/mime.err" ] || fail "MIME type: $(cat "$tmp/mime.err")"
grep -qx 'text/x-marlix-rx-data text/plain' "$tmp/mime/subclasses" || fail "MIME type is no text/plain"
grep -q ':text/x-marlix-rx-data:\*_rx_data\.txt$' "$tmp/mime/globs2" || fail "MIME glob"
# Archived day logs, each a subclass of its compression's type.
for archive in gzip:gz:application/gzip xz:xz:application/x-xz zstd:zst:application/zstd; do
    IFS=: read -r kind suffix parent <<<"$archive"
    grep -q ":application/x-marlix-rx-data-$kind:\*_rx_data\.txt\.$suffix$" "$tmp/mime/globs2" ||
        fail "MIME glob of .$suffix"
    grep -qx "application/x-marlix-rx-data-$kind $parent" "$tmp/mime/subclasses" || fail "MIME parent of .$suffix"
done

# Man pages render without a warning and name every option that --help names.
for page in marlix-sqa-cli marlix-sqa; do
    LC_ALL=C.UTF-8 MANWIDTH=100 man --warnings -l "$gen/$page.1" >"$tmp/$page.txt" 2>"$tmp/$page.err"
    [ ! -s "$tmp/$page.err" ] || fail "man $page: $(cat "$tmp/$page.err")"
done
for command in $("$cli" --help | sed -n '/^commands:/,/^$/s/^  \([a-z]*\) .*/\1/p'); do
    grep -q "^   $command " "$tmp/marlix-sqa-cli.txt" || fail "man page lacks command $command"
    for option in $("$cli" "$command" --help | sed -n 's/^  \(--[a-z-]*\).*/\1/p'); do
        grep -q "^       $option\b" "$tmp/marlix-sqa-cli.txt" || fail "man page lacks $command $option"
    done
done

# The completion offers commands, options and the words of an option's value.
complete_words() {
    bash -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _marlix_sqa_cli; echo "${COMPREPLY[*]}"' \
        _ "$gen/marlix-sqa-cli" "$@"
}
[ "$(complete_words marlix-sqa-cli re)" = "report render" ] || fail "completion of a command"
[ "$(complete_words marlix-sqa-cli report --fo)" = --format ] || fail "completion of an option"
[ "$(complete_words marlix-sqa-cli table --format '')" = "tsv csv json" ] || fail "completion of a value"
[ "$(complete_words marlix-sqa-cli simulate --control --d)" = "--days" ] || fail "completion after a flag"
# The window answers --help and --version without a display; a bad option is exit 2.
version=$("$cli" --version | cut -d' ' -f2)
[ "$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$window" --version)" = "marlix-sqa $version" ] ||
    fail "marlix-sqa --version"
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$window" --help >"$tmp/help.txt" || fail "marlix-sqa --help"
grep -q '^Usage: marlix-sqa \[options\] \[DIR | FILE...\]$' "$tmp/help.txt" || fail "marlix-sqa --help: $(head -1 "$tmp/help.txt")"
status=0
QT_QPA_PLATFORM=offscreen "$window" --frobnicate >/dev/null 2>&1 || status=$?
[ "$status" -eq 2 ] || fail "marlix-sqa --frobnicate exits $status"

echo "desktop entry, metainfo, icon, MIME type, man pages and completion are valid"
