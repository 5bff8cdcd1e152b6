#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program. Arguments are
# passed to it.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [[ -x build/quillcast ]]; then
  exec build/quillcast "$@"
fi
exec build/quillcast-cli "$@"
