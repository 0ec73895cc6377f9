#!/usr/bin/env bash
# Sets up a fresh Debian 12 machine, builds everything and runs either the
# demo against the simulated driver or the whole test suite.
#   tools/bootstrap.sh demo    build, then run the demo
#   tools/bootstrap.sh test    build, then run every test
set -euo pipefail
mode=${1:-demo}
here=$(cd "$(dirname "$0")/.." && pwd)
build=${ORVEX_BUILD_DIR:-$here/build}

packages=(build-essential cmake ninja-build pkg-config qt6-base-dev libboost-thread-dev libboost-chrono-dev
          libgtest-dev libgmock-dev libbenchmark-dev clang libclang-rt-14-dev doxygen)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  sudo=""
  [ "$(id -u)" -eq 0 ] || sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq "${missing[@]}"
fi

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$build" -j"$(nproc)"

case "$mode" in
  demo)
    LD_LIBRARY_PATH="$build/sim${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}" "$build/tools/orvexdemo"
    ;;
  test)
    ctest --test-dir "$build" -j"$(nproc)" --output-on-failure
    ;;
  *)
    echo "usage: $0 demo|test" >&2
    exit 2
    ;;
esac
