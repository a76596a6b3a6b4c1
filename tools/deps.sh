#!/bin/sh
# Installs the Debian packages the build and the tests need, when run as root; otherwise prints the
# apt-get line to run and fails. Packages already installed are left alone.
set -eu
missing=""
for p in "$@"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
[ -z "$missing" ] && exit 0
if [ "$(id -u)" = 0 ]; then
    echo "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing
else
    echo "Missing Debian packages. Run:"
    echo "  sudo apt-get install -y$missing"
    exit 1
fi
