# Sourced by tools/run and tools/test: the environment every Wine run uses.
FENNOLIT_CACHE="${FENNOLIT_CACHE:-/var/cache/fennolit}"
export FENNOLIT_CACHE
# The project keeps a prefix of its own; a WINEPREFIX set for other programs is never touched.
export WINEPREFIX="${FENNOLIT_WINEPREFIX:-$FENNOLIT_CACHE/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=ru_RU.UTF-8
export LC_ALL=ru_RU.UTF-8
export TZ=UTC
FENNOLIT_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD_DIR="${BUILD_DIR:-$FENNOLIT_ROOT/build}"

fennolit_configure_and_build() {
  if [ ! -f "$BUILD_DIR/build.ninja" ]; then
    cmake -S "$FENNOLIT_ROOT" -B "$BUILD_DIR" -G Ninja \
      -DCMAKE_TOOLCHAIN_FILE="$FENNOLIT_ROOT/cmake/mingw-i686.cmake" \
      -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-Release}" \
      -DFENNOLIT_JPEG_PREFIX="$FENNOLIT_CACHE/libjpeg-i686" >/dev/null
  fi
  cmake --build "$BUILD_DIR" "$@"
}
