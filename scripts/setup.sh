#!/usr/bin/env bash
# Installs what building and testing Ondrivex needs on Debian 12. Installs
# nothing when everything is already there.
set -euo pipefail

packages=(
  cmake ninja-build g++ clang libclang-rt-14-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64 mingw-w64-tools
  wine wine32:i386 wine64 xvfb xauth
  googletest libgtest-dev libgmock-dev libbenchmark-dev libssl-dev openssl
  icoutils python3 tinyproxy libsqlite3-dev libcpp-httplib-dev curl
  protobuf-compiler libprotobuf-dev chromium
  procps
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if ((${#missing[@]} == 0)); then
  echo "setup: everything is installed"
  exit 0
fi

echo "setup: installing ${missing[*]}"
SUDO=
if [ "$(id -u)" != 0 ]; then SUDO=sudo; fi
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}"
