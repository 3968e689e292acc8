"""A Radicale CalDAV server of the test's own, on 127.0.0.1 only.

The server runs in a process group of its own with a fresh storage folder and
no authentication (any user name is accepted as that user). It is stopped with
its whole group; should the test process itself be killed, the kernel ends the
server too (parent-death signal).
"""

import base64
import ctypes
import http.client
import os
import signal
import socket
import subprocess
import time
import xml.etree.ElementTree as ET

HOST = "127.0.0.1"
USER = "alice"

_PR_SET_PDEATHSIG = 1


def _die_with_parent():
    libc = ctypes.CDLL(None, use_errno=True)
    libc.prctl(_PR_SET_PDEATHSIG, signal.SIGKILL, 0, 0, 0)


def _free_port():
    with socket.socket(socket.AF_INET, socket.SOCK_STREAM) as s:
        s.bind((HOST, 0))
        return s.getsockname()[1]


class Response:
    def __init__(self, status, headers, body):
        self.status = status
        self.headers = headers
        self.body = body

    def text(self):
        return self.body.decode("utf-8")


class RadicaleServer:
    def __init__(self, storage_folder, log_path):
        self.storage_folder = storage_folder
        self.log_path = log_path
        self.process = None
        self.port = None

    def start(self, attempts=3, ready_within=20.0):
        """Starts the server and waits until it answers; a port another
        program took between choosing and binding it is chosen again."""
        for _ in range(attempts):
            self.port = _free_port()
            with open(self.log_path, "ab") as log:
                self.process = subprocess.Popen(
                    ["radicale", "--config",  # no configuration file: only these options
                     "--server-hosts", f"{HOST}:{self.port}",
                     "--storage-filesystem-folder", self.storage_folder,
                     "--auth-type", "none",
                     "--rights-type", "owner_only",
                     "--logging-level", "warning"],
                    stdin=subprocess.DEVNULL, stdout=log, stderr=log,
                    start_new_session=True, preexec_fn=_die_with_parent)
            if self._wait_ready(ready_within):
                return
            self.stop()
        raise AssertionError(f"Radicale did not start; its log: {self.log_path}")

    def _wait_ready(self, seconds):
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if self.process.poll() is not None:
                return False
            try:
                if self.request("OPTIONS", "/").status < 500:
                    return True
            except OSError:
                pass
            time.sleep(0.1)
        return False

    def stop(self):
        if self.process is None or self.process.returncode is not None:
            return
        for sig, wait in ((signal.SIGTERM, 5), (signal.SIGKILL, 5)):
            try:
                os.killpg(self.process.pid, sig)
            except ProcessLookupError:
                pass
            try:
                self.process.wait(wait)
                return
            except subprocess.TimeoutExpired:
                continue

    @property
    def base_url(self):
        return f"http://{HOST}:{self.port}"

    def request(self, method, path, body=None, headers=None):
        all_headers = {
            "Authorization": "Basic " + base64.b64encode(f"{USER}:".encode()).decode(),
        }
        if body is not None:
            all_headers["Content-Type"] = "application/xml; charset=utf-8"
        all_headers.update(headers or {})
        connection = http.client.HTTPConnection(HOST, self.port, timeout=10)
        try:
            connection.request(method, path, body=body, headers=all_headers)
            reply = connection.getresponse()
            return Response(reply.status, dict(reply.getheaders()), reply.read())
        finally:
            connection.close()

    # CalDAV operations the test needs -------------------------------------

    def make_collection(self, path, title, color, component):
        """An extended MKCOL: a calendar collection with its title, colour and
        the one kind of component it holds."""
        body = f"""<?xml version="1.0" encoding="utf-8"?>
<D:mkcol xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav" xmlns:A="http://apple.com/ns/ical/">
  <D:set><D:prop>
    <D:resourcetype><D:collection/><C:calendar/></D:resourcetype>
    <D:displayname>{title}</D:displayname>
    <A:calendar-color>{color}</A:calendar-color>
    <C:supported-calendar-component-set><C:comp name="{component}"/></C:supported-calendar-component-set>
  </D:prop></D:set>
</D:mkcol>"""
        reply = self.request("MKCOL", path, body.encode())
        if reply.status != 201:
            raise AssertionError(f"MKCOL {path}: {reply.status} {reply.body!r}")

    def put(self, path, ics_text, etag=None):
        headers = {"Content-Type": "text/calendar; charset=utf-8"}
        headers["If-Match" if etag else "If-None-Match"] = etag or "*"
        reply = self.request("PUT", path, ics_text.encode(), headers)
        if reply.status not in (201, 204):
            raise AssertionError(f"PUT {path}: {reply.status} {reply.body!r}")

    def items(self, collection_path, component):
        """Every item of a collection holding that component, by a
        calendar-query REPORT: {href: (etag, text)}."""
        body = f"""<?xml version="1.0" encoding="utf-8"?>
<C:calendar-query xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:caldav">
  <D:prop><D:getetag/><C:calendar-data/></D:prop>
  <C:filter><C:comp-filter name="VCALENDAR"><C:comp-filter name="{component}"/></C:comp-filter></C:filter>
</C:calendar-query>"""
        reply = self.request("REPORT", collection_path, body.encode(), {"Depth": "1"})
        if reply.status != 207:
            raise AssertionError(f"REPORT {collection_path}: {reply.status} {reply.body!r}")
        found = {}
        for response in ET.fromstring(reply.body).iter("{DAV:}response"):
            href = response.findtext("{DAV:}href")
            etag = response.findtext(".//{DAV:}getetag")
            data = response.findtext(".//{urn:ietf:params:xml:ns:caldav}calendar-data")
            if data is not None:
                found[href] = (etag, data)
        return found
