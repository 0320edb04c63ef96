#!/usr/bin/env bash
# Installs the Debian packages that building, testing and running KOVEX Light need.
# Checks each package first, so a machine that has them all is done in a moment
# and never touches the network.
set -euo pipefail

export DEBIAN_FRONTEND=noninteractive

packages=(
    build-essential cmake ninja-build pkg-config
    qt6-base-dev qt6-base-dev-tools
    libgtest-dev libgmock-dev libbenchmark-dev zlib1g-dev libpcre2-dev
    clang libclang-rt-14-dev
    libqscintilla2-qt6-dev
    xvfb xauth imagemagick poppler-utils fonts-dejavu-core
    unrtf
)

if ! command -v dpkg-query >/dev/null 2>&1; then
    echo "setup: dpkg-query not found; this script expects Debian 12 (or a close relative)." >&2
    exit 1
fi

missing=()
for pkg in "${packages[@]}"; do
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    if [[ "$status" != "install ok installed" ]]; then
        missing+=("$pkg")
    fi
done

if ((${#missing[@]} == 0)); then
    echo "setup: all ${#packages[@]} packages are installed."
    exit 0
fi

echo "setup: installing ${missing[*]}"

# Root installs directly; anyone else goes through sudo (which may ask for a password).
if [[ $(id -u) -eq 0 ]]; then
    as_root=()
elif command -v sudo >/dev/null 2>&1; then
    as_root=(sudo DEBIAN_FRONTEND=noninteractive)
else
    echo "setup: missing packages (${missing[*]}) and not root, and sudo is not available." >&2
    echo "setup: install them as root with: apt-get install ${missing[*]}" >&2
    exit 1
fi

if ! "${as_root[@]}" apt-get update; then
    echo "setup: 'apt-get update' failed; cannot install ${missing[*]}." >&2
    exit 1
fi
if ! "${as_root[@]}" apt-get install -y --no-install-recommends "${missing[@]}"; then
    echo "setup: 'apt-get install' failed for: ${missing[*]}." >&2
    exit 1
fi

echo "setup: done."
