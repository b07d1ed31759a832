#!/usr/bin/env bash
# Core folders stay free of the user-interface toolkit: only ui/ folders, the entry and the
# front-end tests may include Qt headers.
set -euo pipefail
cd "$(dirname "$0")/.."
hits=$(grep -rnE '#include\s*[<"]Q[A-Za-z]+' --include='*.h' --include='*.cpp' . \
  | grep -vE '^\./(build[^/]*|\.cache)/' \
  | grep -vE '(^|/)ui/|^\./program/|^\./tests/ui/' || true)
if [ -n "$hits" ]; then
  echo "Qt headers included in core code:"
  echo "$hits"
  exit 1
fi
echo "core folders are free of Qt"
