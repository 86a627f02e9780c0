#!/usr/bin/env bash
# scripts/setup where its packages are installed (as after any first run): no package manager is
# called and no install step is printed. apt-get, apt and sudo are replaced by stubs that note
# their call.
set -euo pipefail
project="$1"
stubs="$(mktemp -d)"
trap 'rm -rf "$stubs"' EXIT
for tool in apt-get apt sudo; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/called"\nexit 1\n' "$tool" "$stubs" >"$stubs/$tool"
  chmod +x "$stubs/$tool"
done
status=0
output="$(PATH="$stubs:$PATH" "$project/scripts/setup" --deps 2>&1)" || status=$?
if [ -e "$stubs/called" ]; then
  echo "setup called a package manager:"
  cat "$stubs/called"
  exit 1
fi
if [ -n "$output" ] || [ "$status" -ne 0 ]; then
  echo "setup printed (status $status): $output"
  exit 1
fi
echo "setup installed nothing"
