"""vdirsyncer between a CalDAV account and a folder of vdir collections, run
as a user runs it from a terminal, with a configuration of the test's own."""

import os
import subprocess

CONFIG = """\
[general]
status_path = "{status}/"

[pair account]
a = "account_remote"
b = "account_local"
collections = ["from a"]
metadata = ["color", "displayname"]

[storage account_remote]
type = "caldav"
url = "{url}"
username = "{user}"
password = "unused"

[storage account_local]
type = "filesystem"
path = "{store}/"
fileext = ".ics"
"""


class VdirsyncerPair:
    def __init__(self, work_dir, url, user, store_root):
        self.config_path = os.path.join(work_dir, "vdirsyncer.conf")
        status = os.path.join(work_dir, "vdirsyncer-status")
        with open(self.config_path, "w") as f:
            f.write(CONFIG.format(status=status, url=url, user=user, store=store_root))
        # Its own home, and no proxy: only the test's server is ever reached.
        self.env = {k: v for k, v in os.environ.items() if "proxy" not in k.lower()}
        self.env.update(HOME=work_dir, NO_PROXY="127.0.0.1", LC_ALL="C.UTF-8")

    def run(self, *command):
        """Runs one vdirsyncer command; a prompt (a collection to create) is
        answered yes."""
        result = subprocess.run(
            ["vdirsyncer", "--config", self.config_path, *command],
            input="y\n" * 20, capture_output=True, text=True, env=self.env, timeout=60)
        if result.returncode != 0:
            raise AssertionError(
                f"vdirsyncer {' '.join(command)} failed ({result.returncode}):\n"
                f"{result.stdout}{result.stderr}")
        return result.stdout + result.stderr

    def discover(self):
        return self.run("discover")

    def sync(self):
        return self.run("sync")

    def metasync(self):
        return self.run("metasync")
