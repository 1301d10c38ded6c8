#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks that the monitoring files which run the
# program name it there, not under /usr.
set -euo pipefail
build=$1
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null
cli="$prefix/bin/marlix-sqa-cli"
"$cli" --version >/dev/null
for file in lib/systemd/system/marlix-sqa-metrics.service share/marlix-sqa/monitoring/marlix-sqa-command.conf \
            share/marlix-sqa/monitoring/marlix-sqa-commands.cfg; do
    grep -q -F "$cli" "$prefix/$file" || { echo "$file does not run $cli:"; cat "$prefix/$file"; exit 1; }
    if grep -n -e '@[A-Z_]*@' -e '/usr/bin/marlix' "$prefix/$file"; then
        echo "$file keeps a path that is not the prefix's"
        exit 1
    fi
done
# The service runs the installed program as the unit gives it.
exec_start=$(sed -n 's/^ExecStart=//p' "$prefix/lib/systemd/system/marlix-sqa-metrics.service")
[ "${exec_start%% *}" = "$cli" ] || { echo "ExecStart runs ${exec_start%% *}"; exit 1; }
