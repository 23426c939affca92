#!/usr/bin/env bash
# Installs what is missing, builds, and starts Morvane in the current folder.
set -euo pipefail
here=$(pwd)
cd "$(dirname "$0")/.."
source tools/packages.sh

ensure_packages "${BUILD_PACKAGES[@]}"
build_project . build
program=$(pwd)/build/app/morvane
cd "$here"
exec "$program"
