# Sourced by every script here first thing: "--help" or "-h" prints the
# comment block at the top of the script (what it does, what it needs, what
# it writes) and exits at once, before any work.
if [ "${1:-}" = --help ] || [ "${1:-}" = -h ]; then
  sed -n '2,/^[^#]/{/^#/{s/^# \{0,1\}//;p}}' "$0"
  exit 0
fi
