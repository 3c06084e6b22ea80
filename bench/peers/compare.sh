#!/usr/bin/env bash
# Tolvar against its peers on the same data, side by side. Installs what the
# peers need when it is missing (Debian's python3-numpy, libopenblas0-pthread,
# r-cran-mass, r-cran-quantreg), builds the benchmarks into build-bench/ (or
# $TOLVAR_BENCH_BUILD_DIR) and runs compare.py, which takes the remaining
# arguments (--rounds R, --repeats K, --only pass,l1,l1zero,network,fit,
# --kernels portable|avx2|avx512). Not part of the tests or CI.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
top=$(cd "$here/../.." && pwd)
build=${TOLVAR_BENCH_BUILD_DIR:-$top/build-bench}

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# The BLAS and LAPACK that the system uses: OpenBLAS serves the peers'
# commands only (compare.py puts it on their library path), so the system's
# choice is put back after installing it.
alternative() {
  update-alternatives --query "$1-x86_64-linux-gnu" 2>/dev/null | awk '/^Value:/ {print $2}'
}
keep_alternative() {
  local name=$1 before=$2 kind=${1#lib}
  local reference=/usr/lib/x86_64-linux-gnu/${kind%.so.3}/$1
  local target=${before:-$reference}
  if [ -e "$target" ] && [ "$(alternative "$name")" != "$target" ]; then
    as_root update-alternatives --set "$name-x86_64-linux-gnu" "$target"
  fi
}

"$top/scripts/install-deps.sh"
packages=(python3-numpy libopenblas0-pthread r-cran-mass r-cran-quantreg)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  blas_before=$(alternative libblas.so.3)
  lapack_before=$(alternative liblapack.so.3)
  echo "Installing: ${missing[*]}"
  as_root apt-get update -q
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "${missing[@]}"
  keep_alternative libblas.so.3 "$blas_before"
  keep_alternative liblapack.so.3 "$lapack_before"
fi

cmake -S "$top" -B "$build" -DCMAKE_BUILD_TYPE=Release -DTOLVAR_BUILD_BENCH=ON -DTOLVAR_BUILD_GUI=OFF \
  -DTOLVAR_BUILD_TESTS=OFF
cmake --build "$build" -j "$(nproc)" --target tolvar_bench tolvar_make_input tolvar-cli
exec /usr/bin/python3 "$here/compare.py" "$build" "$@"
