#!/usr/bin/env bash
# Shared set-up of run.sh and test.sh: installs the Debian packages the build needs (apt-get, with
# sudo when not root), then configures and builds into $VRN_BUILD_DIR (default build/).
# Extra arguments go to cmake's configure step.
set -euo pipefail
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$top"

packages=(cmake ninja-build g++ pkg-config ccache
          libgtest-dev libgmock-dev libbenchmark-dev libsimpleini-dev nlohmann-json3-dev
          qt6-base-dev libgl-dev fonts-liberation locales libxml2-utils)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing Debian packages: ${missing[*]}"
    as_root apt-get update -qq
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
# A comma-decimal locale, so the tests can prove that numbers do not depend on the user's locale.
if ! locale -a 2>/dev/null | grep -qi '^de_DE\.utf-\?8$'; then
    if [ -f /etc/locale.gen ]; then
        as_root sed -i 's/^# *\(de_DE.UTF-8 UTF-8\)/\1/' /etc/locale.gen || true
        grep -q '^de_DE.UTF-8 UTF-8' /etc/locale.gen || echo 'de_DE.UTF-8 UTF-8' | as_root tee -a /etc/locale.gen >/dev/null || true
        as_root locale-gen >/dev/null 2>&1 || echo "note: could not generate de_DE.UTF-8; the locale test will skip"
    fi
fi

build=${VRN_BUILD_DIR:-build}
jobs=${VRN_JOBS:-$(nproc)}
cmake -S . -B "$build" -G Ninja "$@"
cmake --build "$build" -j "$jobs"
