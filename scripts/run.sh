#!/bin/sh
# On a fresh Debian 12 machine: installs what is needed, builds, creates the
# database beside the program and starts it.
set -e
cd "$(dirname "$0")/.."
sh scripts/install-deps.sh
sh scripts/build.sh
exec ./build/quillmart
