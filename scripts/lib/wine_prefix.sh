# Sourced by the scripts that run the Windows programs under Wine.
#
# use_wine_prefix PREFIX: Wine runs in PREFIX from now on, without its debug
# chatter and without offering to install Mono or Gecko, which nothing here
# needs. A prefix of its own keeps a run from needing or touching ~/.wine.
use_wine_prefix() {
  export WINEPREFIX=$1 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
}

# make_wine_prefix LOG: makes $WINEPREFIX ready. Wine makes a prefix on first
# use, which takes a few seconds and writes its progress to the terminal:
# done here, once, that goes to LOG, shown only should it fail. It is made in
# the locale the tests run Wine in (cmake/wine_tests.cmake), as their own
# set-up would make it.
make_wine_prefix() {
  if ! command -v wine >/dev/null; then
    echo "wine not found (scripts/install-deps installs it)" >&2
    return 1
  fi
  mkdir -p "$WINEPREFIX"
  LC_ALL=C.UTF-8 timeout 300 wine wineboot --init >"$1" 2>&1 || {
    cat "$1" >&2
    return 1
  }
}
