#!/bin/sh
# Installs every Debian package the program, its build and its tests need.
set -e
if [ "$(id -u)" != "0" ]; then SUDO=sudo; else SUDO=; fi
export DEBIAN_FRONTEND=noninteractive
PKGS="build-essential cmake ninja-build pkg-config qt6-base-dev qt6-base-dev-tools libqt6printsupport6 \
 libsqlite3-dev sqlite3 libjpeg62-turbo-dev libxlsxwriter-dev zlib1g-dev libgtest-dev libgmock-dev \
 fonts-wqy-microhei xvfb xauth poppler-utils libgl1-mesa-dev qt6-qpa-plugins \
 qt6-translations-l10n"
missing=""
for p in $PKGS; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing="$missing $p"
done
if [ -n "$missing" ]; then
  $SUDO apt-get update -qq >/dev/null
  $SUDO apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi
