"""The macOS workflow runs only on a Mac: here it is parsed, and the steps a
Mac build depends on are checked. Usage: macos_workflow_test.py WORKFLOW_FILE"""

import re
import sys

import yaml


def steps_of(workflow):
    for name, job in workflow["jobs"].items():
        assert str(job["runs-on"]).startswith("macos"), f"job {name} runs on {job['runs-on']}"
        for step in job["steps"]:
            assert ("run" in step) != ("uses" in step), f"step {step} has neither or both of run and uses"
            yield step


def main(path):
    with open(path, encoding="utf-8") as f:
        workflow = yaml.safe_load(f)
    # YAML 1.1 reads the key "on" as true.
    assert True in workflow or "on" in workflow, "no trigger"
    scripts = [step["run"] for step in steps_of(workflow) if "run" in step]
    assert all(isinstance(s, str) for s in scripts)
    failures = []
    configures = [s for s in scripts if "cmake -S" in s]
    if not configures or not all("-DBRIDGE_WERROR=ON" in s for s in configures):
        failures.append("the build does not treat warnings as errors (-DBRIDGE_WERROR=ON)")
    # Homebrew's pkg-config (now pkgconf) cannot be linked over the image's own.
    for script in scripts:
        for line in script.splitlines():
            if re.search(r"\bbrew install\b.*\bpkg-config\b", line):
                failures.append("installs pkg-config with Homebrew: " + line.strip())
    if not any("calendar-bridge.entitlements" in s and "codesign" in s for s in scripts):
        failures.append("the executable is not signed with its entitlements")
    for failure in failures:
        print("macos workflow:", failure)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
