#!/usr/bin/env python3
"""A CalDAV account synced by vdirsyncer into the store, through the bridge.

A Radicale server of the test's own (127.0.0.1, a free port, no
authentication) gets a calendar and a task list, made over HTTP as a CalDAV
client makes them, with a weekly Outlook meeting (Windows zone name, a moved
occurrence, a Zoom link) and a task from a phone. vdirsyncer syncs them into a
temporary store; the bridge then reads them, and its writes go back up through
vdirsyncer and are checked on the server.

    caldav_round_trip_test.py BRIDGE_EXECUTABLE [unittest options]
"""

import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import unittest

from caldav_server import USER, RadicaleServer
from vdirsyncer_pair import VdirsyncerPair

ITEMS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "items")
BRIDGE = None  # set from the command line
TIME_LIMIT_SECONDS = 100  # below the CTest timeout, so the server is still stopped

CALENDAR = f"/{USER}/work/"
TASKS = f"/{USER}/tasks/"
MEETING_UID = ("040000008200E00074C5B7101A82E0080000000050A3C2D1E07FDB01000000000000000"
               "010000000C4F1A2B3D4E5F60718293A4B5C6D7E8F")
TASK_UID = "6B29FC40-CA47-1067-B31D-00DD010662DA"
ZOOM = "https://us02web.zoom.us/j/81234567890?pwd=UGxhbm5pbmc"
TEAMS = "https://teams.microsoft.com/l/meetup-join/19%3ameeting_NzQ5ZTg1%40thread.v2/0"


def read_item(name):
    with open(os.path.join(ITEMS, name), newline="") as f:
        return f.read()


def compact(value):
    """A reply as the bridge writes it: compact, keys sorted, raw UTF-8."""
    return json.dumps(value, ensure_ascii=False, separators=(",", ":"), sort_keys=True) + "\n"


def unfolded_lines(ics_text):
    return re.sub(r"\r?\n[ \t]", "", ics_text).splitlines()


def todo_lines(ics_text):
    """Each unfolded line with the name of its property when it is one of the
    VTODO's own (not of an alarm's), else None."""
    depth = []
    for line in unfolded_lines(ics_text):
        name, _, value = line.partition(":")
        name = name.split(";")[0].upper()
        if name == "BEGIN":
            depth.append(value.upper())
        elif name == "END":
            depth.pop()
        yield line, name if depth[-1:] == ["VTODO"] and name not in ("BEGIN", "END") else None


def todo_properties(ics_text):
    """The VTODO's own properties: {name: [value, ...]}."""
    found = {}
    for line, name in todo_lines(ics_text):
        if name:
            found.setdefault(name, []).append(line.partition(":")[2])
    return found


def with_todo_property(ics_text, new_line):
    """The text with the VTODO's own property of that name replaced, every
    other line kept."""
    name = new_line.partition(":")[0]
    return "".join((new_line if kind == name else line) + "\r\n"
                   for line, kind in todo_lines(ics_text))


def rule_parts(rrule_value):
    return dict(part.split("=", 1) for part in rrule_value.split(";"))


def missing_tools():
    return [tool for tool in ("radicale", "vdirsyncer") if shutil.which(tool) is None]


class CaldavRoundTrip(unittest.TestCase):
    maxDiff = None

    @classmethod
    def setUpClass(cls):
        missing = missing_tools()
        if missing:
            raise AssertionError(
                f"{' and '.join(missing)} not installed: run scripts/setup.sh")
        cls.work = tempfile.mkdtemp(prefix="caldav-round-trip-")
        cls.addClassCleanup(shutil.rmtree, cls.work, ignore_errors=True)
        cls.store = os.path.join(cls.work, "store")
        os.mkdir(cls.store, 0o700)

        cls.server = RadicaleServer(os.path.join(cls.work, "server"),
                                    os.path.join(cls.work, "radicale.log"))
        cls.addClassCleanup(cls.server.stop)
        cls.server.start()

        cls.server.make_collection(CALENDAR, "Team calendar", "#0082c9", "VEVENT")
        cls.server.make_collection(TASKS, "Errands", "#e9a23b", "VTODO")
        cls.server.put(CALENDAR + "planning.ics", read_item("planning_meeting.ics"))
        cls.server.put(TASKS + "passport.ics", read_item("passport_task.ics"))

        cls.sync = VdirsyncerPair(cls.work, cls.server.base_url + f"/{USER}/", USER, cls.store)
        cls.sync.discover()
        cls.sync.sync()
        cls.sync.metasync()

        with open(os.path.join(cls.store, "access.json"), "w") as f:
            f.write('{"events": 3, "reminders": 3}')

    # Helpers ---------------------------------------------------------------

    def run_bridge(self, command, params):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("LC_", "XDG_"))}
        env.update(CALENDAR_STORE_DIR=self.store, TZ="Asia/Shanghai", LC_ALL="C.UTF-8",
                   HOME=self.work, XDG_RUNTIME_DIR=self.work,
                   XDG_CACHE_HOME=os.path.join(self.work, "cache"))
        result = subprocess.run([BRIDGE, command], input=json.dumps(params).encode(),
                                capture_output=True, env=env, timeout=30)
        self.assertEqual(result.returncode, 0,
                         f"{command} failed: {result.stderr.decode(errors='replace')}")
        return result.stdout.decode()

    def assertReply(self, command, params, expected):
        reply = self.run_bridge(command, params)
        self.assertEqual(json.loads(reply), expected)
        self.assertEqual(reply, compact(expected))

    def item_stem(self, collection):
        names = [n for n in os.listdir(os.path.join(self.store, collection)) if n.endswith(".ics")]
        self.assertEqual(len(names), 1, names)
        return names[0][:-len(".ics")]

    def server_todo(self, href):
        reply = self.server.request("GET", href)
        self.assertEqual(reply.status, 200, href)
        return reply.headers.get("ETag"), reply.text()

    # What the server holds, read through the bridge -------------------------

    def test_connect_lists_only_the_calendar_with_its_title_and_colour(self):
        self.assertReply("connect", {}, {
            "account": "本机日历",
            "calendars": [{"color": "#0082C9", "id": "work", "primary": False, "source": None,
                           "timeZone": None, "title": "Team calendar", "writable": False}]})

    def test_events_are_the_meetings_occurrences_with_their_links(self):
        event_id = "work/" + self.item_stem("work")

        def occurrence(start, end, **fields):
            record = {"allDay": False, "attendees": [], "calendarId": "work",
                      "calendarTitle": "Team calendar", "color": "#0082C9",
                      "description": "Join the planning call:\n" + ZOOM + "\n\nMeeting ID: 812 3456 7890\n",
                      "end": end, "eventId": event_id, "id": f"apple:{event_id}:{start}",
                      "link": ZOOM, "location": ZOOM, "originalStartTime": None,
                      "provider": "apple", "recurringEventId": None, "repeatReadOnly": True,
                      "start": start, "timeZone": "Europe/Berlin", "title": "Planning",
                      "zoltBlockId": None, "zoltTaskId": None}
            record.update(fields)
            return record

        # Mondays 10:00 in Berlin: 17:00 in Shanghai in winter time, 16:00 from
        # 28 March on; the second Monday moved to Tuesday 14:00, on Teams.
        self.assertReply("events", {"calendarIds": ["work"], "start": "2027-03-15T00:00:00+08:00",
                                    "end": "2027-04-12T00:00:00+08:00"}, [
            occurrence("2027-03-15T17:00:00+08:00", "2027-03-15T17:30:00+08:00"),
            occurrence("2027-03-23T21:00:00+08:00", "2027-03-23T21:30:00+08:00",
                       title="Planning (moved to Tuesday)", description=None,
                       location=TEAMS, link=TEAMS),
            occurrence("2027-03-29T16:00:00+08:00", "2027-03-29T16:30:00+08:00"),
            occurrence("2027-04-05T16:00:00+08:00", "2027-04-05T16:30:00+08:00"),
        ])

    def test_reminders_connect_lists_only_the_task_list(self):
        self.assertReply("reminders-connect", {}, {
            "lists": [{"id": "tasks", "source": None, "title": "Errands", "writable": True}]})

    def test_reminders_read_gives_the_existing_task(self):
        self.assertReply("reminders-read", {"listIds": ["tasks"]}, [{
            "clientId": None, "completed": False, "due": "2027-04-01", "externalId": TASK_UID,
            "id": "tasks/" + self.item_stem("tasks"), "listId": "tasks",
            "notes": "Photos from the shop on Main Street", "priority": 1,
            "recurrenceRules": [], "remindAt": None, "title": "Renew passport"}])

    # The bridge's writes, synced up -----------------------------------------

    def test_writes_reach_the_server(self):
        rules = [{"frequency": "weekly", "interval": 1, "daysOfWeek": [{"day": 3, "week": 0}],
                  "end": {"count": 6}}]
        fields = {"title": "Water the plants", "notes": "Balcony first",
                  "due": "2027-03-16T09:00:00+08:00", "priority": 5,
                  "remindAt": "2027-03-16T00:30:00Z", "completed": False, "recurrenceRules": rules}
        request = {"listIds": ["tasks"], "listId": "tasks", "clientId": "task-7f3a"}

        created = json.loads(self.run_bridge("reminders-save", {**request, **fields}))
        reminder_id, uid = created["id"], created["externalId"]
        self.assertRegex(uid, r"^[0-9a-f]{8}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{4}-[0-9a-f]{12}$")
        record = {"clientId": "task-7f3a", "completed": False, "due": "2027-03-16T09:00:00+08:00",
                  "externalId": uid, "id": "tasks/" + uid, "listId": "tasks",
                  "notes": "Balcony first", "priority": 5,
                  "recurrenceRules": [{"daysOfWeek": [{"day": 3, "week": 0}], "end": {"count": 6},
                                       "frequency": "weekly", "interval": 1}],
                  "remindAt": "2027-03-16T00:30:00+00:00", "title": "Water the plants"}
        self.assertEqual(created, record)

        self.sync.sync()
        on_server = {href: data for href, (_, data) in self.server.items(TASKS, "VTODO").items()
                     if "zolt-task:task-7f3a" in data}
        self.assertEqual(len(on_server), 1, on_server)
        [(href, text)] = on_server.items()
        todo = todo_properties(text)
        self.assertEqual(todo["UID"], [uid])
        self.assertEqual(todo["SUMMARY"], ["Water the plants"])
        self.assertEqual(todo["DESCRIPTION"], ["Balcony first"])
        self.assertEqual(todo["URL"], ["zolt-task:task-7f3a"])
        self.assertEqual([rule_parts(r) for r in todo["RRULE"]],
                         [{"FREQ": "WEEKLY", "COUNT": "6", "BYDAY": "TU"}])

        # The notes edited on a phone, every other line kept.
        etag, text = self.server_todo(href)
        edited = with_todo_property(text, "DESCRIPTION:Balcony done\\, herbs left")
        self.assertNotEqual(edited, text)
        self.server.put(href, edited, etag)
        self.sync.sync()

        # A field-wise update of the title keeps the phone's notes.
        renamed = {**fields, "title": "Water the plants and herbs"}
        self.assertReply("reminders-save", {**request, "id": reminder_id, **renamed,
                                            "previousFields": fields},
                         {**record, "title": "Water the plants and herbs",
                          "notes": "Balcony done, herbs left"})
        self.sync.sync()
        todo = todo_properties(self.server_todo(href)[1])
        self.assertEqual(todo["SUMMARY"], ["Water the plants and herbs"])
        self.assertEqual(todo["DESCRIPTION"], ["Balcony done\\, herbs left"])
        self.assertEqual(todo["URL"], ["zolt-task:task-7f3a"])
        self.assertEqual([rule_parts(r) for r in todo["RRULE"]],
                         [{"FREQ": "WEEKLY", "COUNT": "6", "BYDAY": "TU"}])

        # Completed.
        self.assertReply("reminders-save", {**request, "id": reminder_id, **renamed,
                                            "completed": True, "previousFields": renamed},
                         {**record, "title": "Water the plants and herbs",
                          "notes": "Balcony done, herbs left", "completed": True})
        self.sync.sync()
        todo = todo_properties(self.server_todo(href)[1])
        self.assertEqual(todo["STATUS"], ["COMPLETED"])
        self.assertRegex(todo.get("COMPLETED", [""])[0], r"^\d{8}T\d{6}Z$")

        # Deleted.
        self.assertEqual(self.run_bridge("reminders-delete", {"listIds": ["tasks"], "id": reminder_id}),
                         "null\n")
        self.sync.sync()
        self.assertEqual(self.server.request("GET", href).status, 404)
        self.assertEqual([todo_properties(data)["UID"]
                          for _, data in self.server.items(TASKS, "VTODO").values()],
                         [[TASK_UID]])


def _time_is_up(signum, frame):
    raise TimeoutError(f"the CalDAV round trip took more than {TIME_LIMIT_SECONDS} s")


if __name__ == "__main__":
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    BRIDGE = os.path.abspath(sys.argv.pop(1))
    signal.signal(signal.SIGALRM, _time_is_up)
    signal.alarm(TIME_LIMIT_SECONDS)
    unittest.main()
