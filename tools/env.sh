# Sourced by tools/run and tools/test: the environment every Wine run uses.
source "$(dirname "${BASH_SOURCE[0]}")/paths.sh"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ru_RU.UTF-8
export LC_ALL=ru_RU.UTF-8
export TZ=UTC
FENNOLIT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$FENNOLIT_ROOT/build}"

# The value of a setting in the build folder's CMake cache (empty if none).
fennolit_cached() {
  sed -n "s/^$1:[A-Z]*=//p" "$BUILD_DIR/CMakeCache.txt" 2>/dev/null | head -n1
}

# fennolit_configure_and_build strict|lenient [build arguments]: configures
# when the build folder is new or when BUILD_TYPE, the cache folder or the
# treatment of warnings changed since the last run, then builds. A strict
# build (the tests', the benchmarks') stops on any compiler warning, so a new
# one is mended where it appears; a lenient one (the program's for its
# users) keeps warnings as warnings, so a newer compiler's new ones do not
# keep a user from the program. Switching between the two recompiles.
fennolit_configure_and_build() {
  local werror
  case "${1:-}" in
    strict) werror=ON ;;
    lenient) werror=OFF ;;
    *) echo "fennolit_configure_and_build: say strict or lenient, not '${1:-}'" >&2; return 2 ;;
  esac
  shift
  local type="${BUILD_TYPE:-Release}" jpeg="$FENNOLIT_CACHE/libjpeg-i686"
  if [ ! -f "$BUILD_DIR/build.ninja" ] || [ "$(fennolit_cached CMAKE_BUILD_TYPE)" != "$type" ] ||
    [ "$(fennolit_cached FENNOLIT_JPEG_PREFIX)" != "$jpeg" ] ||
    [ "$(fennolit_cached CMAKE_COMPILE_WARNING_AS_ERROR)" != "$werror" ]; then
    cmake -S "$FENNOLIT_ROOT" -B "$BUILD_DIR" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$FENNOLIT_ROOT/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE="$type" \
      -DCMAKE_COMPILE_WARNING_AS_ERROR="$werror" \
      -DFENNOLIT_JPEG_PREFIX="$jpeg" >/dev/null
  fi
  cmake --build "$BUILD_DIR" "$@"
}
