#!/usr/bin/env bash
# Installs the Debian packages that one use of the sources needs, when they are missing:
#
#   scripts/install-deps.sh [tests]      the build and every test (scripts/test.sh)
#   scripts/install-deps.sh wall         the demo wall without a desktop, on Xvfb (scripts/run.sh)
#   scripts/install-deps.sh wall-desktop the demo wall on a desktop, in Xephyr windows
#
# apt's output is shown only when the installation fails.
set -euo pipefail

# libcpp-httplib-dev, nlohmann-json3-dev, libsodium-dev and libssl-dev: the web API's server,
# JSON, password hashes and certificates.
build=(build-essential cmake pkg-config qt6-base-dev libgl-dev libegl-dev fonts-ipafont-gothic
    libcpp-httplib-dev nlohmann-json3-dev libsodium-dev libssl-dev)
# What the demo wall drives the programs with: xdotool, import, xwininfo and xdpyinfo.
driving=(xdotool imagemagick x11-utils)
case ${1:-tests} in
tests)
    # icewm: a window manager with a taskbar, for the full-screen test; sshfs and openssh-server:
    # a real network share for the displays of the hand-off test; curl: a script's client of the
    # web API; chromium, chromium-driver and python3-selenium: a real browser at the web page.
    packages=("${build[@]}" "${driving[@]}" libgtest-dev libgmock-dev libbenchmark-dev xvfb icewm
        clang libclang-rt-14-dev sshfs openssh-server curl chromium chromium-driver
        python3-selenium)
    ;;
wall) packages=("${build[@]}" "${driving[@]}" xvfb) ;;
wall-desktop) packages=("${build[@]}" "${driving[@]}" xserver-xephyr) ;;
*)
    echo "usage: $0 [tests | wall | wall-desktop]" >&2
    exit 2
    ;;
esac

missing=()
for package in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$package")
    fi
done

if [ ${#missing[@]} -eq 0 ]; then
    exit 0
fi

echo "Installing the Debian packages ${missing[*]} ..."
sudo=""
if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
fi
log=$(mktemp)
trap 'rm -f "$log"' EXIT
export DEBIAN_FRONTEND=noninteractive
if ! { $sudo apt-get update -q && $sudo apt-get install -y -q "${missing[@]}"; } >"$log" 2>&1; then
    cat "$log" >&2
    echo "install-deps.sh: the installation failed (above: what apt said)" >&2
    exit 1
fi
