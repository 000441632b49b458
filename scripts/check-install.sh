#!/usr/bin/env bash
# What a packaged library promises, checked: `cmake --install` into a
# staging prefix, then examples/hello built out of tree against that prefix
# alone, once through find_package and once through pkg-config, and run; the
# Debian packages made and their contents and dependencies checked (and, as
# root, installed with apt-get and removed); the static library built and
# linked once. Usage: scripts/check-install.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
jobs="$(nproc 2>/dev/null || echo 2)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

expect_hello() {  # runs the program and checks a line of its output
  "$@" | grep -q 'Get(7-2\*3) *1$' || { echo "check-install: $* printed no result" >&2; exit 1; }
}

cmake --install "$build" --prefix "$work/stage" >/dev/null
libdir="$(cd "$work/stage" && ls -d lib*/ | head -n 1)"
libdir="$work/stage/${libdir%/}"
for file in include/kezdcqr/KezDcQr.h bin/kezq share/man/man1/kezq.1 share/bash-completion/completions/kezq; do
  [ -e "$work/stage/$file" ] || { echo "check-install: $file was not installed" >&2; exit 1; }
done
[ -e "$libdir/libkezdcqr.so.0" ] && [ -e "$libdir/cmake/KezDcQr/KezDcQrConfigVersion.cmake" ] &&
  [ -e "$libdir/pkgconfig/kezdcqr.pc" ] || { echo "check-install: library or packages missing" >&2; exit 1; }
[ "$(find "$work/stage/include" -name '*.h' | wc -l)" -lt 40 ] || { echo "check-install: private headers installed" >&2; exit 1; }

cmake -S "$here/examples/hello" -B "$work/hello-cmake" -DCMAKE_PREFIX_PATH="$work/stage" >/dev/null
cmake --build "$work/hello-cmake" >/dev/null
expect_hello env LD_LIBRARY_PATH="$libdir" "$work/hello-cmake/hello"
echo "check-install: find_package(KezDcQr 0.2) builds examples/hello against the staged prefix"

export PKG_CONFIG_PATH="$libdir/pkgconfig"
# shellcheck disable=SC2046
g++ -std=c++17 "$here/examples/hello/hello.cpp" -o "$work/hello-pc" $(pkg-config --cflags --libs kezdcqr)
expect_hello env LD_LIBRARY_PATH="$libdir" "$work/hello-pc"
echo "check-install: pkg-config kezdcqr builds examples/hello against the staged prefix"
unset PKG_CONFIG_PATH

(cd "$build" && cpack -G DEB >/dev/null)
declare -A wanted=([libkezdcqr0]="libkezdcqr.so.0" [libkezdcqr-dev]="KezDcQrConfig.cmake" [kezq]="usr/bin/kezq")
for package in "${!wanted[@]}"; do
  deb="$(ls "$build"/packages/"${package}"_*.deb)"
  info="$(dpkg-deb --info "$deb")"
  contents="$(dpkg-deb --contents "$deb")"
  grep -q "Version: $(sed -n 's/^project(KezDcQr VERSION \([0-9.]*\).*/\1/p' "$here/CMakeLists.txt")" <<<"$info"
  grep -q "${wanted[$package]}" <<<"$contents" || { echo "check-install: $package lacks ${wanted[$package]}" >&2; exit 1; }
  case "$package" in
    libkezdcqr0) grep -q 'Depends:.*libsqlite3-0.*libpq5\|Depends:.*libpq5.*libsqlite3-0' <<<"$info" ;;
    kezq) grep -q 'Depends:.*libkezdcqr0 (= ' <<<"$info" ;;
    libkezdcqr-dev) grep -q 'Depends:.*libkezdcqr0 (= ' <<<"$info" ;;
  esac || { echo "check-install: $package has wrong Depends:" >&2; echo "$info" >&2; exit 1; }
done
echo "check-install: the Debian packages hold their files and depend on what their binaries need"
if [ "$(id -u)" -eq 0 ] && [ -n "${CI:-}" ]; then
  export DEBIAN_FRONTEND=noninteractive
  apt-get install -y -qq "$build"/packages/*.deb >/dev/null
  kezq --version | grep -q '^kezq '
  apt-get purge -y -qq kezq libkezdcqr-dev libkezdcqr0 >/dev/null
  if dpkg -l kezq libkezdcqr-dev libkezdcqr0 2>/dev/null | grep -q "^[a-z][a-z] "; then
    echo "check-install: the packages left something behind" >&2
    exit 1
  fi
  echo "check-install: apt-get installs the packages, kezq runs, and they remove cleanly"
fi

cmake -S "$here" -B "$work/static" -DBUILD_SHARED_LIBS=OFF -DKEZDCQR_BUILD_TESTS=OFF -DKEZDCQR_BUILD_TOOLS=OFF \
  -DKEZDCQR_BUILD_EXAMPLES=OFF -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$work/static" -j "$jobs" >/dev/null
cmake --install "$work/static" --prefix "$work/stage-static" >/dev/null
cmake -S "$here/examples/hello" -B "$work/hello-static" -DCMAKE_PREFIX_PATH="$work/stage-static" >/dev/null
cmake --build "$work/hello-static" >/dev/null
expect_hello "$work/hello-static/hello"
echo "check-install: the static library installs and links examples/hello with its dependencies"
