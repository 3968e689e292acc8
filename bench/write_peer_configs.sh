#!/usr/bin/env bash
# Writes khal's and todoman's configuration for one generated store into a folder:
# every event collection a khal calendar (and the first alone in khal-one.conf), every reminder collection a todoman list,
# dates in ISO form, UTC as local zone, and each peer's cache in the same folder.
#   bench/write_peer_configs.sh STORE_ROOT CONFIG_DIR
set -euo pipefail
root=$1
dir=$2
mkdir -p "$dir"

# khal over the calendar folders given, with its cache in the named file.
khal_config() {
  local db=$1
  shift
  echo "[calendars]"
  for folder in "$@"; do
    name=$(basename "$folder")
    printf '[[%s]]\npath = %s\ntype = calendar\n' "$name" "${folder%/}"
  done
  cat <<CONF
[locale]
timeformat = %H:%M
dateformat = %Y-%m-%d
longdateformat = %Y-%m-%d
datetimeformat = %Y-%m-%d %H:%M
longdatetimeformat = %Y-%m-%d %H:%M
local_timezone = UTC
default_timezone = UTC
[sqlite]
path = $dir/$db
CONF
}

khal_config khal.db "$root"/calendar-*/ >"$dir/khal.conf"
# The first calendar alone, so that khal's cache holds no other calendar's events.
first=("$root"/calendar-*/)
khal_config khal-one.db "${first[0]}" >"$dir/khal-one.conf"

cat >"$dir/todoman.py" <<CONF
path = "$root/list-*"
date_format = "%Y-%m-%d"
time_format = "%H:%M"
default_list = "list-00"
cache_path = "$dir/todoman.sqlite3"
CONF
