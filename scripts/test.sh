#!/usr/bin/env bash
# Installs what Quillon needs, builds it and runs every test.
#   test.sh             the ordinary build, in build/
#   test.sh --sanitize  the same suite built with AddressSanitizer and UndefinedBehaviorSanitizer, in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
if [ "${1:-}" = "--sanitize" ]; then
  build_dir=build-asan
  bash scripts/build.sh "$build_dir" -DQUILLON_SANITIZE=ON
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
else
  build_dir=build
  bash scripts/build.sh "$build_dir"
fi
# The fuzz targets are compiled (not run) so that they keep building: clang, only what they need.
if [ "$build_dir" = build ]; then
  cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLON_FUZZ=ON \
    -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
  cmake --build build-fuzz --target quillon_fuzz_targets --parallel "$(nproc)"
fi
# The Debian package: made here, checked by lintian while the tests run (tst_package runs it unpacked).
lintian_pid=
if [ "$build_dir" = build ]; then
  (cd build && cpack -G DEB > cpack.log) || { cat build/cpack.log; exit 1; }
  package=$(ls -t build/quillon_*.deb | head -n 1)
  desktop-file-validate packaging/example.quillon.Quillon.desktop
  appstreamcli validate --no-net --pedantic build/packaging/example.quillon.Quillon.metainfo.xml
  lintian --fail-on error "$package" > build/lintian.log 2>&1 &
  lintian_pid=$!
fi
ctest --test-dir "$build_dir" --output-on-failure --parallel 2
if [ -n "$lintian_pid" ]; then
  lintian_status=0
  wait "$lintian_pid" || lintian_status=$?
  cat build/lintian.log
  if [ "$lintian_status" -ne 0 ]; then
    echo "test.sh: lintian reports errors on $package" >&2
    exit 1
  fi
fi
