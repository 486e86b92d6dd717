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

# Configures when the build folder is new or when BUILD_TYPE or the cache
# folder changed since the last run, then builds (arguments go to the build).
fennolit_configure_and_build() {
  local type="${BUILD_TYPE:-Release}" jpeg="$FENNOLIT_CACHE/libjpeg-i686"
  if [ ! -f "$BUILD_DIR/build.ninja" ] || [ "$(fennolit_cached CMAKE_BUILD_TYPE)" != "$type" ] ||
    [ "$(fennolit_cached FENNOLIT_JPEG_PREFIX)" != "$jpeg" ]; then
    cmake -S "$FENNOLIT_ROOT" -B "$BUILD_DIR" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$FENNOLIT_ROOT/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE="$type" \
      -DFENNOLIT_JPEG_PREFIX="$jpeg" >/dev/null
  fi
  cmake --build "$BUILD_DIR" "$@"
}
