#!/usr/bin/env bash
# Builds the Debian package with debhelper (dpkg-buildpackage -b) and leaves it in dist/:
# dist/tolmare_<version>_<arch>.deb with its -dbgsym package, .buildinfo and .changes.
# Installs what the package build needs (debian/control's Build-Depends) when any is missing.
# The build runs on a copy of the sources in build-deb/, always the same folder, so that ccache
# (CCACHE_DIR) serves the next run.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
if ! command -v dpkg-checkbuilddeps >/dev/null || ! dpkg-checkbuilddeps 2>/dev/null; then
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends dpkg-dev
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get build-dep -y -qq --no-install-recommends ./
fi
export CCACHE_DIR="${CCACHE_DIR:-${XDG_CACHE_HOME:-$HOME/.cache}/tolmare-ccache}"
stage="$PWD/build-deb"
src="$stage/tolmare"
rm -rf "$stage"
mkdir -p "$src" dist
git ls-files -z --cached --others --exclude-standard | xargs -0 cp --parents -t "$src"
export CCACHE_BASEDIR="$src" CCACHE_NOHASHDIR=1
(cd "$src" && DEB_BUILD_OPTIONS="parallel=$(nproc) ${DEB_BUILD_OPTIONS:-}" \
  dpkg-buildpackage -b -us -uc)
rm -f dist/tolmare_* dist/tolmare-dbgsym_*
mv "$stage"/tolmare_* "$stage"/tolmare-dbgsym_* dist/
ls -l dist/
