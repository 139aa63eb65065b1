#!/usr/bin/env bash
# Installs what the builds and tests need on a Debian 12 machine (run as root).
# Idempotent: a package that is already installed is left alone, and the script
# says what it did.
set -euo pipefail

packages=(
  cmake make ninja-build python3
  g++-mingw-w64-i686 mingw-w64-i686-dev
  wine wine32:i386
  xvfb x11-apps imagemagick fonts-wqy-microhei
  # widl for the type library; openssl and osslsigncode for signed test programs.
  mingw-w64-tools openssl osslsigncode
  clang libclang-rt-14-dev
  googletest libbenchmark-dev
  nlohmann-json3-dev python3-pefile
  # Packed programs and installer stubs that the signature tests check the reader on.
  clamav-testfiles nsis-common
  # A signature database that no one here wrote, read at run time by a test.
  pev
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: must run as root (it installs Debian packages)" >&2
  exit 1
fi

added_arch=0
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  added_arch=1
  echo "setup: added the i386 architecture"
fi

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q '^install ok installed$'; }

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages already installed; nothing to do"
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
if [ $added_arch -eq 1 ] || [ ! -d /var/lib/apt/lists ] || [ -z "$(ls /var/lib/apt/lists 2>/dev/null | grep -v lock)" ] \
   || ! ls /var/lib/apt/lists/ | grep -q 'i386_Packages'; then
  apt-get update -qq
fi
if ! apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/setup-apt.log 2>&1; then
  # The package lists may be stale: refresh once and try again.
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/tmp/setup-apt.log 2>&1 \
    || { tail -n 30 /tmp/setup-apt.log >&2; exit 1; }
fi
echo "setup: installed ${#missing[@]} package(s)"
