#!/usr/bin/env python3
"""Turns one size's hyperfine exports, peak memory and store figures into Markdown.

    bench/summarize_results.py RESULTS_DIR SIZE_NAME
"""

import json
import os
import sys

COMMANDS = ["status", "calendars", "connect", "events-1", "events-30", "events-365", "events-one-7", "reminders-connect",
            "reminders-read", "create", "update", "delete"]
PEERS = {"calendars": "khal printcalendars", "events-1": "khal list 1d", "events-30": "khal list 30d",
         "events-365": "khal list 365d", "events-one-7": "khal list -a (one calendar) 7d", "reminders-read": "todoman list", "create": "todoman new"}


def median_ms(folder, name):
    path = os.path.join(folder, name + ".json")
    if not os.path.exists(path):
        return None
    try:
        with open(path) as source:
            return json.load(source)["results"][0]["median"] * 1000
    except (ValueError, KeyError, IndexError):  # a run that failed or is still going
        return None


def read_memory(folder):
    memory = {}
    path = os.path.join(folder, "memory.tsv")
    if os.path.exists(path):
        for line in open(path):
            parts = line.rstrip("\n").split("\t")
            if len(parts) == 3 and parts[2]:
                memory[(parts[0], parts[1])] = int(parts[2])
    return memory


def read_store(folder):
    store = {}
    path = os.path.join(folder, "store.txt")
    if os.path.exists(path):
        for line in open(path):
            key, _, value = line.strip().partition("=")
            store[key] = value
    return store


def ms(value):
    if value is None:
        return "–"
    return "%.0f ms" % value if value >= 100 else "%.1f ms" % value


def ratio(top, bottom):
    return "–" if top is None or bottom is None or bottom == 0 else "%.2f×" % (top / bottom)


def reply_size(folder, name):
    """The reply's bytes, with its number of items when it is an array."""
    path = os.path.join(folder, name + ".reply")
    if not os.path.exists(path):
        return "–"
    text = open(path, encoding="utf-8").read()
    try:
        value = json.loads(text)
    except ValueError:
        return "failure"
    items = "%d items, " % len(value) if isinstance(value, list) else ""
    return "%s%d B" % (items, len(text.encode("utf-8")))


def floor_beside(folder, name, floor):
    """The do-nothing floor timed right after the command when it was, else the run's."""
    beside = median_ms(folder, name + ".floor-exe")
    return beside if beside is not None else floor


def table(folder, memory, floor):
    rows = ["| command | warm index | no index | peak RSS warm / no index | peer | peer median | peer ÷ bridge "
            "| cat floor | bridge ÷ cat | bridge ÷ do-nothing | reply |",
            "|---|---|---|---|---|---|---|---|---|---|---|"]
    for name in COMMANDS:
        warm, cold = median_ms(folder, name + ".warm"), median_ms(folder, name + ".cold")
        peer = median_ms(folder, name + ".peer")
        cat = median_ms(folder, name + ".floor-cat")
        rss = "%s / %s MB" % tuple("%.1f" % (memory[(name, v)] / 1024) if (name, v) in memory else "–"
                                   for v in ("warm", "cold"))
        rows.append("| %s | %s | %s | %s | %s | %s | %s | %s | %s | %s | %s |" % (
            name, ms(warm), ms(cold), rss, PEERS.get(name, ""), ms(peer), ratio(peer, warm), ms(cat),
            ratio(warm, cat), ratio(warm, floor_beside(folder, name, floor)), reply_size(folder, name)))
    return rows


def targets(folder, memory, floor, store):
    def warm(name):
        return median_ms(folder, name + ".warm")

    def verdict(ok):
        return "–" if ok is None else ("met" if ok else "not met")

    def at_least(top, bottom, limit):
        return None if top is None or bottom is None else top / bottom >= limit

    def at_most(top, bottom, limit):
        return None if top is None or bottom is None else top / bottom <= limit

    read_rss = memory.get(("reminders-read", "warm"))
    reminder_bytes = int(store.get("reminder_bytes", "0") or 0)
    slowest_save = max((v for v in (warm("create"), warm("update")) if v is not None), default=None)
    def faster_than_peer(label, name, limit):
        peer = median_ms(folder, name + ".peer")
        return "| %s ≥ %d× faster than %s | %s | %s |" % (
            name, limit, label, ratio(peer, warm(name)), verdict(at_least(peer, warm(name), limit)))

    rows = ["| target | measured | verdict |", "|---|---|---|",
            faster_than_peer("khal", "events-one-7", 20),
            faster_than_peer("khal", "events-30", 60),
            faster_than_peer("todoman", "reminders-read", 12),
            "| status within 1.3× of the do-nothing floor timed beside it | %s | %s |" % (
                ratio(warm("status"), floor_beside(folder, "status", floor)),
                verdict(at_most(warm("status"), floor_beside(folder, "status", floor), 1.3))),
            "| calendars within 1.3× of the do-nothing floor timed beside it | %s | %s |" % (
                ratio(warm("calendars"), floor_beside(folder, "calendars", floor)),
                verdict(at_most(warm("calendars"), floor_beside(folder, "calendars", floor), 1.3))),
            "| slower save (create, update) within 1.5× of reminders-read | %s | %s |" % (
                ratio(slowest_save, warm("reminders-read")),
                verdict(at_most(slowest_save, warm("reminders-read"), 1.5))),
            "| reminders-read peak RSS ≤ 4× reminder file bytes (%.1f MB) | %s | %s |" % (
                reminder_bytes / 2**20, ratio(read_rss * 1024 if read_rss else None, reminder_bytes),
                verdict(None if not read_rss or not reminder_bytes else read_rss * 1024 <= 4 * reminder_bytes))]
    return rows


def main():
    folder, size = sys.argv[1], sys.argv[2]
    memory, store = read_memory(folder), read_store(folder)
    floor = median_ms(folder, "floor-exe")
    lines = ["### %s store" % size, "",
             "%s event files (%s bytes), %s reminder files (%s bytes); index file after the runs: %s; "
             "load average after: %s. Do-nothing floor: %s." % (
                 store.get("event_files"), store.get("event_bytes"), store.get("reminder_files"),
                 store.get("reminder_bytes"), store.get("index_file"), store.get("load_after"), ms(floor)), ""]
    lines += table(folder, memory, floor)
    lines += ["", "Events found by khal (lines) over 1, 30, 365 days: %s." % ", ".join(
        open(os.path.join(folder, "events-%d.peer-count" % d)).read().strip()
        if os.path.exists(os.path.join(folder, "events-%d.peer-count" % d)) else "–" for d in (1, 30, 365)), ""]
    lines += targets(folder, memory, floor, store)
    print("\n".join(lines))


if __name__ == "__main__":
    main()
