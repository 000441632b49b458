#!/usr/bin/env bash
# Runs the demo program of the build folder given as argument.
set -euo pipefail
build="${1:-build}"
exec "$build/examples/kezdcqr_hello"
