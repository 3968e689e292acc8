#!/usr/bin/env python3
"""Generates a large local calendar store for benchmarks.

The store has many collections, tens of thousands of events (single, all-day,
floating, zoned with and without a VTIMEZONE, repeating with RRULE, RDATE,
EXDATE and overridden occurrences) and reminders (due dates of every form,
alarms, rules, completed ones, task markers). Output is deterministic for a
seed, so runs are comparable.

    bench/generate_store.py --root /tmp/big-store --events 100000 --reminders 25000
"""

import argparse
import json
import os
import random
import shutil
import uuid
from datetime import datetime, timedelta, timezone

ZONES = ["Europe/Berlin", "America/New_York", "Asia/Shanghai", "Asia/Kathmandu", "Australia/Sydney",
         "America/Los_Angeles", "Europe/London", "Asia/Tokyo"]

# A VTIMEZONE as calendar programs write it, for files that carry their zone.
BERLIN_VTIMEZONE = """BEGIN:VTIMEZONE
TZID:Europe/Berlin
BEGIN:DAYLIGHT
TZOFFSETFROM:+0100
TZOFFSETTO:+0200
TZNAME:CEST
DTSTART:19700329T020000
RRULE:FREQ=YEARLY;BYMONTH=3;BYDAY=-1SU
END:DAYLIGHT
BEGIN:STANDARD
TZOFFSETFROM:+0200
TZOFFSETTO:+0100
TZNAME:CET
DTSTART:19701025T030000
RRULE:FREQ=YEARLY;BYMONTH=10;BYDAY=-1SU
END:STANDARD
END:VTIMEZONE
"""

FIXED_VTIMEZONE = """BEGIN:VTIMEZONE
TZID:GMT+0800
BEGIN:STANDARD
DTSTART:19700101T000000
TZOFFSETFROM:+0800
TZOFFSETTO:+0800
TZNAME:GMT+0800
END:STANDARD
END:VTIMEZONE
"""

WORDS = ["Review", "Call", "Lunch", "Plan", "Team", "Design", "Budget", "Dentist", "Gym", "Report", "Sync",
         "Trip", "Birthday", "Release", "Interview", "Workshop", "Standup", "Retro", "Dinner", "Deadline"]
PLACES = ["Room 4.12", "https://zoom.us/j/1234567890", "Café Central", "Home", "https://meet.google.com/abc-defg-hij",
          None, None, None]


def stamp(moment):
    return moment.strftime("%Y%m%dT%H%M%SZ")


def local(moment):
    return moment.strftime("%Y%m%dT%H%M%S")


def day(moment):
    return moment.strftime("%Y%m%d")


def wrap(body, zones=""):
    return ("BEGIN:VCALENDAR\r\nVERSION:2.0\r\nPRODID:-//calendar-bridge//store generator//EN\r\n" + zones +
            body + "END:VCALENDAR\r\n").replace("\r\n", "\n").replace("\n", "\r\n")


def title(rng):
    return "%s %s %d" % (rng.choice(WORDS), rng.choice(WORDS).lower(), rng.randint(1, 999))


def event_text(rng, uid, start, repeating_share=0.18):
    lines = ["BEGIN:VEVENT", "UID:" + uid, "DTSTAMP:" + stamp(start), "SUMMARY:" + title(rng)]
    place = rng.choice(PLACES)
    if place:
        lines.append("LOCATION:" + place)
    if rng.random() < 0.3:
        lines.append("DESCRIPTION:Agenda\\nPoint one\\, point two\\nJoin https://teams.microsoft.com/l/meetup-join/x")
    zones = ""
    tzid = None  # the zone of a zoned start
    kind = rng.random()
    length = timedelta(minutes=rng.choice([15, 30, 45, 60, 90, 120]))
    if kind < 0.12:  # all-day, one to three days
        days = rng.choice([1, 1, 1, 2, 3])
        lines += ["DTSTART;VALUE=DATE:" + day(start), "DTEND;VALUE=DATE:" + day(start + timedelta(days=days))]
    elif kind < 0.20:  # floating
        lines += ["DTSTART:" + local(start), "DURATION:PT%dM" % (length.seconds // 60)]
    elif kind < 0.45:  # a tz database zone named without a VTIMEZONE
        tzid = rng.choice(ZONES)
        lines += ["DTSTART;TZID=%s:%s" % (tzid, local(start)), "DTEND;TZID=%s:%s" % (tzid, local(start + length))]
    elif kind < 0.55:  # a zone the file defines
        zones = BERLIN_VTIMEZONE
        tzid = "Europe/Berlin"
        lines += ["DTSTART;TZID=Europe/Berlin:" + local(start), "DTEND;TZID=Europe/Berlin:" + local(start + length)]
    else:  # UTC
        lines += ["DTSTART:" + stamp(start), "DTEND:" + stamp(start + length)]

    overrides = []
    if rng.random() < repeating_share and kind >= 0.12:
        freq = rng.choice(["DAILY", "WEEKLY", "WEEKLY", "MONTHLY", "YEARLY"])
        rule = "FREQ=" + freq
        if freq == "WEEKLY" and rng.random() < 0.5:
            rule += ";BYDAY=" + ",".join(sorted(rng.sample(["MO", "TU", "WE", "TH", "FR"], rng.randint(1, 3))))
        if rng.random() < 0.3:
            rule += ";INTERVAL=%d" % rng.randint(2, 4)
        end = rng.random()
        if end < 0.3:
            rule += ";COUNT=%d" % rng.randint(2, 60)
        elif end < 0.6:
            rule += ";UNTIL=" + stamp(start + timedelta(days=rng.randint(30, 900)))
        lines.append("RRULE:" + rule)
        skipped = start + timedelta(days=7)
        if rng.random() < 0.3:
            lines.append("EXDATE;TZID=%s:%s" % (tzid, local(skipped)) if tzid else "EXDATE:" + stamp(skipped))
        if rng.random() < 0.1:
            lines.append("RDATE:" + stamp(start + timedelta(days=3, hours=2)))
        if rng.random() < 0.15 and tzid is None:
            moved = start + timedelta(days=14)
            overrides.append("\n".join(["BEGIN:VEVENT", "UID:" + uid, "DTSTAMP:" + stamp(start),
                                        "RECURRENCE-ID:" + stamp(moved), "SUMMARY:Moved occurrence",
                                        "DTSTART:" + stamp(moved + timedelta(hours=3)),
                                        "DTEND:" + stamp(moved + timedelta(hours=4)), "END:VEVENT"]) + "\n")
    if rng.random() < 0.2:
        lines += ["BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Reminder", "TRIGGER:-PT15M", "END:VALARM"]
    lines.append("END:VEVENT")
    return wrap("\n".join(lines) + "\n" + "".join(overrides), zones)


def reminder_text(rng, uid, due, now):
    lines = ["BEGIN:VTODO", "UID:" + uid, "DTSTAMP:" + stamp(now), "CREATED:" + stamp(now), "SUMMARY:" + title(rng)]
    zones = ""
    if rng.random() < 0.6:
        lines.append("URL:zolt-task:" + str(uuid.UUID(int=rng.getrandbits(128))))
    if rng.random() < 0.3:
        lines.append("DESCRIPTION:Notes for this task\\nsecond line")
    if rng.random() < 0.3:
        lines.append("PRIORITY:%d" % rng.choice([1, 5, 9]))
    if rng.random() < 0.25:
        lines += ["STATUS:COMPLETED", "COMPLETED:" + stamp(now)]
    else:
        lines.append("STATUS:NEEDS-ACTION")
    kind = rng.random()
    has_due = kind < 0.8
    if kind < 0.25:
        lines.append("DUE;VALUE=DATE:" + day(due))
    elif kind < 0.4:
        lines.append("DUE:" + local(due))
    elif kind < 0.55:
        lines.append("DUE:" + stamp(due))
    elif kind < 0.7:
        lines.append("DUE;TZID=%s:%s" % (rng.choice(ZONES), local(due)))
    elif kind < 0.8:
        zones = FIXED_VTIMEZONE
        lines.append("DUE;TZID=GMT+0800:" + local(due))
    if has_due and rng.random() < 0.35:
        lines += ["BEGIN:VALARM", "ACTION:DISPLAY", "DESCRIPTION:Reminder",
                  "TRIGGER;VALUE=DATE-TIME:" + stamp(due - timedelta(hours=1)), "END:VALARM"]
    if has_due and rng.random() < 0.15:
        start_line = [line for line in lines if line.startswith("DUE")][0].replace("DUE", "DTSTART", 1)
        lines.append(start_line)
        rule = rng.choice(["FREQ=DAILY", "FREQ=WEEKLY;BYDAY=MO,WE,FR", "FREQ=MONTHLY;BYMONTHDAY=1,-1",
                           "FREQ=MONTHLY;BYDAY=-1FR;COUNT=12", "FREQ=YEARLY;BYMONTH=3;WKST=SU",
                           "FREQ=WEEKLY;INTERVAL=2;UNTIL=" + stamp(due + timedelta(days=365))])
        lines.append("RRULE:" + rule)
    lines.append("END:VTODO")
    return wrap("\n".join(lines) + "\n", zones)


# Rules libical's iterator would search for a date that never comes, and rules that
# give dates rarely: a store holding them must answer as fast as one without them.
HOSTILE_RULES = [
    "FREQ=MINUTELY;BYMONTH=2;BYMONTHDAY=30", "FREQ=SECONDLY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=MINUTELY;BYMONTHDAY=31;BYMONTH=4", "FREQ=HOURLY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=DAILY;BYMONTH=2;BYMONTHDAY=30", "FREQ=MONTHLY;BYMONTH=2;BYMONTHDAY=30",
    "FREQ=YEARLY;BYMONTH=2;BYMONTHDAY=30", "FREQ=MONTHLY;BYDAY=MO;BYSETPOS=6",
    "FREQ=YEARLY;INTERVAL=4;BYMONTH=2;BYMONTHDAY=29", "FREQ=SECONDLY;BYYEARDAY=32;BYMONTH=1",
    "FREQ=HOURLY;BYDAY=1MO", "FREQ=DAILY;INTERVAL=7;BYDAY=MO",
    "FREQ=MINUTELY;BYMONTH=2", "FREQ=DAILY;BYMONTH=2;BYMONTHDAY=29", "FREQ=SECONDLY;BYHOUR=9;BYMINUTE=0",
]


def hostile_event_text(index, rule):
    return wrap("BEGIN:VEVENT\nUID:hostile-%d\nDTSTAMP:20250101T000000Z\nDTSTART:20250301T090000Z\n"
                "DURATION:PT1H\nRRULE:%s\nSUMMARY:Hostile %d\nEND:VEVENT\n" % (index, rule, index))


def overrides_text(count):
    """One daily series from 2025-01-01 with `count` of its occurrences moved half an hour."""
    first = datetime(2025, 1, 1, 9, tzinfo=timezone.utc)
    lines = ["BEGIN:VEVENT", "UID:overridden", "DTSTAMP:20250101T000000Z", "DTSTART:" + stamp(first),
             "DURATION:PT1H", "RRULE:FREQ=DAILY", "SUMMARY:Series", "END:VEVENT"]
    for n in range(count):
        moment = first + timedelta(days=n)
        lines += ["BEGIN:VEVENT", "UID:overridden", "DTSTAMP:20250101T000000Z", "RECURRENCE-ID:" + stamp(moment),
                  "DTSTART:" + stamp(moment + timedelta(minutes=30)), "DURATION:PT1H", "SUMMARY:Moved %d" % n,
                  "END:VEVENT"]
    return wrap("\n".join(lines) + "\n")


def write_collection(root, folder, displayname, components, color, source=None):
    path = os.path.join(root, folder)
    os.makedirs(path)
    for name, text in (("displayname", displayname), ("components", components), ("color", color),
                       ("source", source)):
        if text is not None:
            with open(os.path.join(path, name), "w", encoding="utf-8") as out:
                out.write(text + "\n")
    return path


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--root", required=True, help="store root to create (replaced when --force)")
    parser.add_argument("--events", type=int, default=100000)
    parser.add_argument("--reminders", type=int, default=25000)
    parser.add_argument("--calendars", type=int, default=20, help="event collections")
    parser.add_argument("--lists", type=int, default=8, help="reminder collections")
    parser.add_argument("--years", type=int, default=10, help="years the events spread over, ending 2027")
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--repeating-share", type=float, default=0.18,
                        help="chance that an event (not all-day) repeats")
    parser.add_argument("--hostile-rules", action="store_true",
                        help="add one event for each rule of HOSTILE_RULES to the first calendar")
    parser.add_argument("--overrides", type=int, default=0,
                        help="add one series with this many overridden occurrences to the first calendar")
    parser.add_argument("--force", action="store_true", help="replace an existing root")
    args = parser.parse_args()

    if os.path.exists(args.root):
        if not args.force:
            parser.error("%s exists (use --force to replace it)" % args.root)
        shutil.rmtree(args.root)
    os.makedirs(args.root)
    rng = random.Random(args.seed)
    with open(os.path.join(args.root, "access.json"), "w") as out:
        json.dump({"events": 3, "reminders": 3, "prompt": "grant"}, out)

    calendars = [write_collection(args.root, "calendar-%02d" % i, "Calendar %d" % i, "VEVENT",
                                  "#%06X" % rng.getrandbits(24), "Local" if i % 3 else None)
                 for i in range(args.calendars)]
    lists = [write_collection(args.root, "list-%02d" % i, "List %d" % i, "VTODO", "#FF9500")
             for i in range(args.lists)]

    first = datetime(2027 - args.years + 1, 1, 1, tzinfo=timezone.utc)
    span_minutes = args.years * 365 * 24 * 60
    now = datetime(2025, 3, 1, tzinfo=timezone.utc)
    for n in range(args.events):
        uid = str(uuid.UUID(int=rng.getrandbits(128)))
        start = first + timedelta(minutes=rng.randrange(span_minutes // 15) * 15)
        with open(os.path.join(rng.choice(calendars), uid + ".ics"), "w", encoding="utf-8", newline="") as out:
            out.write(event_text(rng, uid, start, args.repeating_share))
    for n in range(args.reminders):
        uid = str(uuid.UUID(int=rng.getrandbits(128)))
        due = now + timedelta(minutes=rng.randrange(-365 * 24 * 4, 365 * 24 * 4) * 15)
        with open(os.path.join(rng.choice(lists), uid + ".ics"), "w", encoding="utf-8", newline="") as out:
            out.write(reminder_text(rng, uid, due, now))
    if args.hostile_rules:
        for n, rule in enumerate(HOSTILE_RULES):
            with open(os.path.join(calendars[0], "hostile-%d.ics" % n), "w", encoding="utf-8", newline="") as out:
                out.write(hostile_event_text(n, rule))
    if args.overrides:
        with open(os.path.join(calendars[0], "overridden.ics"), "w", encoding="utf-8", newline="") as out:
            out.write(overrides_text(args.overrides))
    print("wrote %d events in %d collections and %d reminders in %d lists to %s" %
          (args.events, args.calendars, args.reminders, args.lists, args.root))


if __name__ == "__main__":
    main()
