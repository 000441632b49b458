#!/usr/bin/env bash
# Installs the Debian packages that building and testing KezDcQr need.
# As root it runs apt-get; otherwise it prints the exact apt-get line and
# fails, so that nothing half-configured is left behind.
set -euo pipefail

packages=(cmake make g++ pkg-config dpkg-dev file libgtest-dev libgmock-dev libsqlite3-dev sqlite3 libpq-dev postgresql libreadline-dev locales clang-tidy clang-format)
case "${1:-}" in
  --bench) packages+=(libbenchmark-dev) ;;
  --fuzz) packages+=(clang libclang-rt-dev) ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

if [ "$(id -u)" -eq 0 ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "Missing Debian packages. Install them with:" >&2
  echo "  sudo apt-get install -y ${missing[*]}" >&2
  exit 1
fi
