#!/usr/bin/env bash
# Shows what the bridge does, on a store of its own (build/demo-store, made
# afresh on every run; the user's default store is never touched): a work
# calendar with a weekly meeting carrying a meeting link and an all-day event,
# the permission prompts (answered "grant" by the store's permission record),
# the week's events, and a repeating reminder created, updated, completed and
# read back.
set -uo pipefail
cd "$(dirname "$0")/.."
bridge=build/calendar-bridge
store=build/demo-store
rm -rf "$store"
mkdir -p "$store/work" "$store/reminders"
printf 'Work\n' >"$store/work/displayname"
printf '#1BADF8\n' >"$store/work/color"
printf 'VEVENT\n' >"$store/work/components"
printf 'Reminders\n' >"$store/reminders/displayname"
printf '#FF9500\n' >"$store/reminders/color"
printf 'VTODO\n' >"$store/reminders/components"

today=$(date -u +%Y%m%d)
in2=$(date -u -d '+2 days' +%Y%m%d)
in3=$(date -u -d '+3 days' +%Y%m%d)
ics() { printf '%s\r\n' "$@"; }
ics BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//calendar-bridge//demo//EN' \
  BEGIN:VEVENT UID:demo-standup "DTSTAMP:${today}T080000Z" \
  "DTSTART;TZID=Europe/Berlin:${today}T100000" "DTEND;TZID=Europe/Berlin:${today}T101500" \
  'RRULE:FREQ=WEEKLY;COUNT=10' SUMMARY:Standup 'LOCATION:https://meet.google.com/abc-defg-hij' \
  END:VEVENT END:VCALENDAR >"$store/work/standup.ics"
ics BEGIN:VCALENDAR VERSION:2.0 'PRODID:-//calendar-bridge//demo//EN' \
  BEGIN:VEVENT UID:demo-offsite "DTSTAMP:${today}T080000Z" \
  "DTSTART;VALUE=DATE:${in2}" "DTEND;VALUE=DATE:${in3}" 'SUMMARY:Team offsite' \
  END:VEVENT END:VCALENDAR >"$store/work/offsite.ics"
export CALENDAR_STORE_DIR=$store

start=$(date -u +%Y-%m-%dT00:00:00Z)
end=$(date -u -d '+14 days' +%Y-%m-%dT00:00:00Z)
due=$(date -u -d '+1 day' +%Y-%m-%dT09:30:00Z)
exchange() {
  local command=$1 params=$2
  printf "\$ echo '%s' | calendar-bridge %s\n" "$params" "$command"
  printf '%s' "$params" | "$bridge" "$command"
  printf '(exit %s)\n\n' "$?"
}
# The application sends the whole task every time, with the values it last
# synchronised in "previousFields": only what differs from them is written.
task() { # title completed [previous title, previous completed]
  local fields="\"title\":\"$1\",\"due\":\"$due\",\"priority\":5,\"completed\":$2,\"recurrenceRules\":$rule"
  local previous=""
  if (($# > 2)); then
    previous=",\"previousFields\":{\"title\":\"$3\",\"due\":\"$due\",\"priority\":5,\"completed\":$4,\"recurrenceRules\":$rule}"
  fi
  printf '{"listIds":["reminders"],"listId":"reminders","clientId":"demo-1",%s%s}' "$fields" "$previous"
}
rule='[{"frequency":"weekly","interval":1,"end":{"count":4}}]'

exchange status '{}'
exchange connect '{}'
exchange events "{\"calendarIds\":[\"work\"],\"start\":\"$start\",\"end\":\"$end\"}"
exchange reminders-connect '{}'
exchange reminders-save "$(task 'Water the plants' false)"
exchange reminders-save "$(task 'Water the plants and the herbs' false 'Water the plants' false)"
exchange reminders-save "$(task 'Water the plants and the herbs' true 'Water the plants and the herbs' false)"
exchange reminders-read '{"listIds":["reminders"]}'
