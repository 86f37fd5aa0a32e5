#!/usr/bin/env bash
# Sets everything up, builds and starts the emulator. Arguments go to kestrix.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
bash "$root/scripts/setup.sh"
bash "$root/scripts/build.sh"
# Use the shared ROM images when no ROM directory has been set up yet.
if [ -z "${KESTRIX_HOME:-}" ] && [ ! -e "$root/build/ROM" ] && [ -d "$root/../shared/roms" ]; then
  ln -s "$(cd "$root/../shared/roms" && pwd)" "$root/build/ROM"
fi
exec "$root/build/kestrix" "$@"
