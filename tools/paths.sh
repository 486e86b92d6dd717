# Sourced by tools/setup and tools/env.sh: where this user's builds of the
# dependencies and the project's Wine prefix live.
if [ -z "${FENNOLIT_CACHE:-}" ]; then
  if [ "$(id -u)" -eq 0 ]; then
    FENNOLIT_CACHE=/var/cache/fennolit
  else
    # Each user has a cache of their own: Wine refuses a prefix that belongs
    # to someone else, and nothing here needs to be shared.
    FENNOLIT_CACHE="${XDG_CACHE_HOME:-$HOME/.cache}/fennolit"
  fi
fi
export FENNOLIT_CACHE
# The project keeps a prefix of its own; a WINEPREFIX set for other programs
# is never touched.
export WINEPREFIX="${FENNOLIT_WINEPREFIX:-$FENNOLIT_CACHE/wineprefix}"
