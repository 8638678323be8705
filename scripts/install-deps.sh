#!/usr/bin/env bash
# Installs the Debian 12 packages that building, testing and the demo need.
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev libgl-dev fonts-dejavu-core fonts-liberation
    libcurl4-openssl-dev libssl-dev curl lighttpd
    libdivsufsort-dev
    libgtest-dev libgmock-dev googletest
    clang libclang-rt-14-dev
    python3 python3-pyftpdlib python3-openssl vsftpd openssl openssh-server openssh-client
    xvfb xauth x11-utils
    bzip2 lbzip2 time cloc
    dpkg-dev desktop-file-utils appstream lintian man-db
)

sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ "${#missing[@]}" -gt 0 ] || [ "${CI:-}" = "true" ]; then
    export DEBIAN_FRONTEND=noninteractive
    $sudo apt-get update
    $sudo apt-get install -y --no-install-recommends "${packages[@]}"
fi
