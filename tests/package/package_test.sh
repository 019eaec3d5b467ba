#!/usr/bin/env bash
# Checks the Debian package: its fields, that it holds exactly the files meant
# (stripped, hardened program, no menu entry that could never start a game),
# that Debian's checker finds no error or warning, and that the setup command
# it carries gives any game folder a copy and a menu entry that GLib's own
# loader starts, or refuses with nothing written, also in a folder shared with
# another user.
#
# usage: package_test.sh PACKAGE.deb PROJECT_VERSION
set -uo pipefail

deb=$1
version=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
chmod 755 "$work"
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

# A comparison that, when it fails, shows what it compared.
same() {
  local what=$1 got=$2 wanted=$3
  if [ "$got" = "$wanted" ]; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    printf 'FAILED: %s\n  got:      %s\n  expected: %s\n' "$what" "${got//$'\n'/$'\n            '}" \
      "${wanted//$'\n'/$'\n            '}" >&2
  fi
}

field() { dpkg-deb -f "$deb" "$1"; }
contains() { [[ $1 == *"$2"* ]]; }

same "package name" "$(field Package)" zephran-loader
same "version from the project" "$(field Version)" "$version"
same "architecture" "$(field Architecture)" "$(dpkg --print-architecture)"
check "depends on Qt Widgets" contains "$(field Depends)" libqt6widgets6
check "depends on xdg-utils" contains "$(field Depends)" xdg-utils
check "depends on SDL 2, loaded for gamepads" contains "$(field Depends)" libsdl2-2.0-0
same "recommends wine" "$(field Recommends)" wine
check "lintian: no error, no warning" lintian --fail-on error,warning "$deb"

expected_files="./usr/games/zephran-loader
./usr/games/zephran-loader-setup
./usr/share/doc/zephran-loader/changelog.gz
./usr/share/doc/zephran-loader/copyright
./usr/share/doc/zephran-loader/copyright.fonts-comic-neue
./usr/share/doc/zephran-loader/copyright.fonts-liberation2
./usr/share/icons/hicolor/128x128/apps/zephran-loader.png
./usr/share/icons/hicolor/16x16/apps/zephran-loader.png
./usr/share/icons/hicolor/256x256/apps/zephran-loader.png
./usr/share/icons/hicolor/32x32/apps/zephran-loader.png
./usr/share/icons/hicolor/48x48/apps/zephran-loader.png
./usr/share/icons/hicolor/64x64/apps/zephran-loader.png
./usr/share/man/man6/zephran-loader-setup.6.gz
./usr/share/man/man6/zephran-loader.6.gz"
files=$(dpkg-deb -c "$deb" | awk '$1 !~ /^d/ {print $6}' | sort)
same "exactly the meant files" "$files" "$expected_files"
check "folders open to all, writable by root alone" \
  [ -z "$(dpkg-deb -c "$deb" | awk '$1 ~ /^d/ && $1 != "drwxr-xr-x"')" ]

root=$work/root
dpkg-deb -x "$deb" "$root"
program=$root/usr/games/zephran-loader
check "changelog names this version" \
  contains "$(zcat "$root/usr/share/doc/zephran-loader/changelog.gz" | head -n 1)" "($version)"
check "program stripped" contains "$(file -b "$program")" ", stripped"
check "program bound at start" contains "$(readelf -d "$program")" BIND_NOW
check "program finds its libraries" bash -c "! ldd '$program' | grep -q 'not found'"

export HOME=$work/home XDG_DATA_HOME=$work/home/data
applications=$XDG_DATA_HOME/applications
mkdir -p "$HOME"
entries() { find "$applications" -name 'zephran-loader-*.desktop' 2>/dev/null | wc -l; }
game_folder() {
  mkdir -p "$1/ZP"
  : > "$1/ZP/ZEPHRAN.INI"
}

# The packaged setup with the real launcher, for a player whose game lives in
# a folder named with quotes, a dollar sign and a percent sign.
setup=$root/usr/games/zephran-loader-setup
game=$work/games/"Zephran \"1\" \$HOME 100%"
game_folder "$game"
check "setup succeeds" "$setup" "$game" > /dev/null
check "copy beside the game" cmp -s "$program" "$game/zephran-loader"
check "copy executable" [ -x "$game/zephran-loader" ]
check "one menu entry" [ "$(entries)" -eq 1 ]
check "setup again replaces, no second entry" "$setup" "$game" > /dev/null
check "still one menu entry" [ "$(entries)" -eq 1 ]
check "--remove takes copy and entry away" "$setup" --remove "$game" > /dev/null
check "only the game left" [ "$(ls -A "$game")" = ZP ] && [ "$(entries)" -eq 0 ]

# The same setup beside a stand-in launcher that notes where it was started
# from, so that each entry can be started through GLib as a desktop would.
installed=$work/installed
mkdir -p "$installed"
cp "$setup" "$installed/"
printf '#!/bin/sh\nprintf "%%s" "$0" > "%s/started"\n' "$work" > "$installed/zephran-loader"
chmod 755 "$installed/zephran-loader"
setup=$installed/zephran-loader-setup

starts_its_copy() {
  local folder=$1 entry
  rm -f "$work/started" "$applications"/*
  # Named from its parent folder, as typed: a leading dash (after the "--"
  # that ends the options) or a trailing line break must survive.
  (cd "${folder%/*}" && "$setup" -- "${folder##*/}" > /dev/null) || return 1
  entry=$(find "$applications" -name '*.desktop')
  desktop-file-validate "$entry" || return 1
  /usr/bin/python3 "$here/launch_entry.py" "$entry" || return 1
  [ "$(cat "$work/started")" = "$folder/zephran-loader" ]
}
for name in '100% done' $'tab\there' $'carriage\rreturn' $'line\nbreak' $'ends in a line break\n' \
  'Ζέφραν ゼフラン $x `y` \z' '-starts with a dash'; do
  game_folder "$work/games/$name"
  check "GLib starts the copy in ${name@Q}" starts_its_copy "$work/games/$name"
done
linked=$work/games/linked-settings
mkdir -p "$linked"
ln -s "$work/games/100% done/ZP/ZEPHRAN.INI" "$linked/Zephran.ini"
check "zephran.ini a link, as the launcher takes it" starts_its_copy "$linked"

ln -sf "$installed/zephran-loader" "$linked/zephran-loader"
check "a copy that links to the installed launcher becomes a real copy" \
  bash -c "'$setup' '$linked' > /dev/null && [ ! -L '$linked/zephran-loader' ]"
mkdir -p "$work/decoy/relative"
game_folder "$work/games/relative"
check "CDPATH does not lead a relative folder astray" \
  bash -c "cd '$work/games' && CDPATH='$work/decoy' '$setup' relative > /dev/null"
check "copy in the folder named" [ -f "$work/games/relative/zephran-loader" ]
check "none in the CDPATH folder" [ -z "$(ls -A "$work/decoy/relative")" ]

echo 'renewed' >> "$installed/zephran-loader"
check "--refresh renews every copy" "$setup" --refresh > /dev/null
check "renewed copy" cmp -s "$installed/zephran-loader" "$work/games/relative/zephran-loader"

# How it answers its options and what it finds: the exit status, words of
# what it says, the arguments.
answers() {
  local status=$1 words=$2 output
  shift 2
  output=$("$setup" "$@" 2>&1)
  [ $? -eq "$status" ] && contains "$output" "$words"
}
mv "$work/games/relative" "$work/moved"
check "--help" answers 0 "usage: zephran-loader-setup [--] GAME_FOLDER" --help
check "--version" answers 0 "zephran-loader-setup (Zephran Loader+) $version" --version
check "an unknown option" answers 2 "Unknown option: frobnicate" --frobnicate
check "--remove without a folder" answers 2 "--remove needs the game folder" --remove
check "no folder" answers 2 "no game folder given"
check "two folders" answers 2 "one game folder at a time" "$work/moved" "$linked"
check "--refresh with a folder" answers 2 "takes no folder" --refresh "$linked"
check "--refresh of a moved game fails, the rest renewed" answers 1 "Renewed 1 of 2 copies" --refresh
XDG_DATA_HOME=$work/nothing-set-up check "--refresh with nothing set up" \
  answers 0 "nothing to renew" --refresh
check "--remove of a folder that is gone" answers 0 "Removed: $applications/" --remove \
  "$work/games/relative"
check "--remove leaves the installed launcher" answers 1 "not put there by zephran-loader-setup" \
  --remove "$installed"
check "the installed launcher still there" [ -x "$installed/zephran-loader" ]

# Refused up front, with a reason and nothing written.
refused() {
  local folder=$1 reason=$2 message
  rm -rf "$applications"
  message=$("$setup" "$folder" 2>&1 > /dev/null) && return 1
  contains "$message" "$reason" && [ ! -e "$applications" ] &&
    [ -z "$(find "$folder" -name '*zephran-loader*' 2>/dev/null)" ]
}
for name in $'not UTF-8 \xff' $'bell\a'; do
  game_folder "$work/odd/$name"
  check "refuses ${name@Q}" refused "$work/odd/$name" "rename the folder first"
done
touch "$work/not-a-folder"
game_folder "$work/games/no entry"
XDG_DATA_HOME=$work/not-a-folder check "no half-written copy when the entry cannot be made" \
  refused "$work/games/no entry" "cannot make the folder"
mkdir -p "$work/not-a-game"
check "refuses a folder without the game" refused "$work/not-a-game" "no zephran.ini"

# A game folder shared with a neighbour, who plants links to a file of the
# player's where setup writes. Needs root to make the neighbour.
neighbour=zephran-neighbour
if [ "$(id -u)" -eq 0 ] && { id "$neighbour" > /dev/null 2>&1 || { useradd -M -N "$neighbour" && made_neighbour=1; }; }; then
  shared=$work/shared
  game_folder "$shared"
  chmod 777 "$shared"
  echo "the player's own file" > "$work/victim"
  chmod 644 "$work/victim"
  for planted in zephran-loader zephran-loader.new; do
    runuser -u "$neighbour" -- ln -s "$work/victim" "$shared/$planted"
  done
  check "setup in a shared folder" "$setup" "$shared" > /dev/null
  check "the player's file untouched" \
    [ "$(cat "$work/victim")" = "the player's own file" ] && [ "$(stat -c %a "$work/victim")" = 644 ]
  check "a real copy instead of the link" cmp -s "$installed/zephran-loader" "$shared/zephran-loader"
  check "the other link left alone" [ -L "$shared/zephran-loader.new" ]
  chmod 755 "$shared"
  mkdir -m 777 "$work/neighbour"
  message=$(runuser -u "$neighbour" -- env HOME="$work/neighbour" XDG_DATA_HOME= \
    "$setup" "$shared" 2>&1 > /dev/null)
  check "the neighbour cannot write there and is told so" contains "$message" \
    "zephran-loader-setup: cannot write the launcher into $shared: Permission denied"
  check "nothing written for the neighbour" [ -z "$(ls -A "$work/neighbour")" ]
  [ -z "${made_neighbour:-}" ] || userdel "$neighbour"
else
  echo "skipped: the shared-folder checks need root to add a second user" >&2
fi

echo "$passed passed, $failed failed"
[ $failed -eq 0 ]
