#!/usr/bin/env bash
# Installs what is missing, builds Tonemender and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/install-deps.sh
cmake --preset default
cmake --build --preset default --target tonemender

if [ -x build/bin/tonemender ]; then
  exec build/bin/tonemender
fi
echo "Tonemender's window is not built yet; the build and the configuration library are ready."
