#!/usr/bin/env bash
# Makes a Wine prefix that reports Windows XP to its programs, and checks that
# it does: a 32-bit prefix reporting XP (5.1) for the 32-bit program, a 64-bit
# one reporting XP x64 (5.2) for the 64-bit program, since Wine refuses a
# 64-bit prefix plain XP. A prefix already made for the same system is kept.
#
# usage: xp_prefix.sh WINE PREFIX BITS
set -euo pipefail

wine=$1 prefix=$2 bits=$3
case $bits in
  32) arch=win32 version=winxp reported=5.1 ;;
  64) arch=win64 version=winxp64 reported=5.2 ;;
  *)
    echo "xp_prefix.sh: BITS is 32 or 64, not \"$bits\"" >&2
    exit 2
    ;;
esac
export WINEPREFIX=$prefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" LC_ALL=C.UTF-8

if ! grep -qx "#arch=$arch" "$prefix/system.reg" 2>/dev/null; then
  rm -rf "$prefix"
  mkdir -p "$prefix"
  WINEARCH=$arch timeout 300 "$wine" wineboot --init >"$prefix.log" 2>&1 || {
    cat "$prefix.log" >&2
    exit 1
  }
fi
timeout 120 "$wine" winecfg /v "$version" >/dev/null 2>&1
says=$(timeout 60 "$wine" cmd /c ver 2>/dev/null | tr -d '\r')
if [[ $says != *" $reported."* ]]; then
  echo "xp_prefix.sh: the prefix reports \"$says\", not Windows $reported" >&2
  exit 1
fi
echo "$prefix: $says"
