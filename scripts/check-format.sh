#!/bin/sh
# Fails when a C++ source is not formatted as .clang-format says;
# "sh scripts/check-format.sh --fix" formats them.
set -e
cd "$(dirname "$0")/.."
files=$(git ls-files '*.cpp' '*.h')
if [ "$1" = "--fix" ]; then
  clang-format -i $files
  exit 0
fi
clang-format --dry-run --Werror $files
echo "format: $(echo "$files" | wc -l) files as .clang-format says"
