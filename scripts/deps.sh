#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail
packages=(cmake ninja-build g++ ccache qt6-base-dev libsqlite3-dev zlib1g-dev libshp-dev
          fonts-liberation qt6-translations-l10n poppler-utils libbenchmark-dev clang
          libclang-rt-14-dev xvfb xauth
          pxlib-dev
          libxlsxwriter-dev
          qt6-charts-dev
          libqt6opengl6-dev
          unzip
          dpkg-dev
          debhelper
          lintian
          desktop-file-utils
          appstream
          librsvg2-bin
          cmark
          xdg-utils
          x11-utils
          libpq-dev
          postgresql
          postgresql-common
          )
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
