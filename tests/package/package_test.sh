#!/usr/bin/env bash
# Checks the Debian package: its fields, that it holds exactly the files meant
# (stripped program, no menu entry that could never start a game), that the
# program finds its libraries, and that the setup command it carries puts a
# working copy and menu entry into a game folder with an awkward name.
#
# usage: package_test.sh PACKAGE.deb PROJECT_VERSION
set -uo pipefail

deb=$1
version=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

check() {
  local what=$1
  shift
  if "$@"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $what" >&2
  fi
}

field() { dpkg-deb -f "$deb" "$1"; }
contains() { [[ $1 == *"$2"* ]]; }

check "package name" [ "$(field Package)" = zephran-loader ]
check "version from the project" [ "$(field Version)" = "$version" ]
check "architecture" [ "$(field Architecture)" = "$(dpkg --print-architecture)" ]
check "depends on Qt Widgets" contains "$(field Depends)" libqt6widgets6
check "depends on xdg-utils" contains "$(field Depends)" xdg-utils
check "recommends wine" [ "$(field Recommends)" = wine ]

expected_files="./usr/bin/zephran-loader
./usr/bin/zephran-loader-setup
./usr/share/doc/zephran-loader/copyright
./usr/share/doc/zephran-loader/copyright.fonts-comic-neue
./usr/share/doc/zephran-loader/copyright.fonts-liberation2
./usr/share/icons/hicolor/16x16/apps/zephran-loader.png
./usr/share/icons/hicolor/256x256/apps/zephran-loader.png
./usr/share/icons/hicolor/32x32/apps/zephran-loader.png"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
check "exactly the meant files" [ "$files" = "$expected_files" ]

root=$work/root
dpkg-deb -x "$deb" "$root"
program=$root/usr/bin/zephran-loader
check "program stripped" contains "$(file -b "$program")" ", stripped"
check "program finds its libraries" bash -c "! ldd '$program' | grep -q 'not found'"

# The setup command, from the unpacked package, for a player whose game lives
# in a folder named with a space, quotes, a dollar sign and a percent sign.
export HOME=$work/home XDG_DATA_HOME=$work/home/data
game=$work/games/"Zephran \"1\" \$HOME 100%"
mkdir -p "$HOME" "$game/ZP"
: > "$game/ZP/ZEPHRAN.INI"
setup=$root/usr/bin/zephran-loader-setup
check "setup succeeds" "$setup" "$game" > /dev/null
check "copy beside the game" cmp -s "$program" "$game/zephran-loader"
check "copy executable" [ -x "$game/zephran-loader" ]
entries=("$XDG_DATA_HOME"/applications/zephran-loader-*.desktop)
check "one menu entry" [ ${#entries[@]} -eq 1 ] && [ -f "${entries[0]}" ]
check "menu entry valid" desktop-file-validate "${entries[0]}"

# Exec read back by the desktop entry rules: string escapes, then the quoted
# argument's escapes, then %% -> %.
exec_value=$(sed -n 's/^Exec=//p' "${entries[0]}")
argument=$(printf '%s' "$exec_value" | sed -e 's/\\\\/\\/g' -e 's/^"\(.*\)"$/\1/' -e 's/\\\(.\)/\1/g' -e 's/%%/%/g')
check "menu entry starts the copy" [ "$argument" = "$game/zephran-loader" ]

check "setup again replaces, no second entry" "$setup" "$game" > /dev/null
entries=("$XDG_DATA_HOME"/applications/zephran-loader-*.desktop)
check "still one menu entry" [ ${#entries[@]} -eq 1 ]

elsewhere=$work/not-a-game
mkdir -p "$elsewhere"
check "setup refuses a folder without the game" bash -c "! '$setup' '$elsewhere' 2>/dev/null"
check "nothing written there" [ -z "$(ls -A "$elsewhere")" ]

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
