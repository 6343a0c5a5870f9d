#!/usr/bin/env python3
"""Runs the README's command-line walkthrough as a reader would and checks
that it ends in good messages: one draft per recipient off the exception
list, from the club, to the recipient, merged.

usage: readme_walkthrough.py README.md CLI_DIRECTORY
"""

import email
import email.policy
import os
import pathlib
import re
import subprocess
import sys
import tempfile

MARK = "<!-- walkthrough:"


def walkthrough(readme: str) -> str:
    """The shell block that follows the walkthrough mark."""
    at = readme.find(MARK)
    if at < 0:
        sys.exit("the README has no walkthrough mark")
    block = re.search(r"```sh\n(.*?)```", readme[at:], re.S)
    if not block:
        sys.exit("the walkthrough mark is followed by no ```sh block")
    return block.group(1)


def fail(message: str, run: subprocess.CompletedProcess | None = None) -> None:
    if run is not None:
        sys.stderr.write(run.stdout + run.stderr)
    sys.exit("walkthrough: " + message)


def main() -> None:
    readme = pathlib.Path(sys.argv[1]).read_text(encoding="utf-8")
    cli_dir = os.path.abspath(sys.argv[2])
    commands = walkthrough(readme)
    with tempfile.TemporaryDirectory() as folder:
        home = pathlib.Path(folder, "home")
        work = pathlib.Path(folder, "work")
        home.mkdir()
        work.mkdir()
        env = dict(os.environ)
        env["PATH"] = cli_dir + os.pathsep + env.get("PATH", "")
        # The reader's own settings and keyring stay out of it.
        env["HOME"] = str(home)
        env["XDG_CONFIG_HOME"] = str(home / ".config")
        env.pop("DBUS_SESSION_BUS_ADDRESS", None)
        # Every command must succeed, as the reader expects of each one.
        run = subprocess.run(["bash", "-e", "-u", "-o", "pipefail", "-c", commands], cwd=work, env=env,
                             capture_output=True, text=True, timeout=120)
        if run.returncode != 0:
            fail(f"a command failed (exit {run.returncode})", run)

        drafts = sorted(work.joinpath("club-drafts").glob("*.eml"))
        messages = [email.message_from_bytes(path.read_bytes(), policy=email.policy.default) for path in drafts]
        expected = {
            "ada@example.org": ("Hello Ada", "Dear Ada,", "see you in London"),
            "jose@example.es": ("Hello José", "Dear José,", "see you in Sevilla"),
        }
        got = {str(m["To"]): m for m in messages}
        if sorted(got) != sorted(expected):
            fail(f"drafts for {sorted(got)}, expected {sorted(expected)}", run)
        for address, (subject, greeting, line) in expected.items():
            message = got[address]
            if str(message["From"]) != "Riverside Chess Club <club@example.org>":
                fail(f"{address}: From is {message['From']!r}", run)
            if str(message["Subject"]) != subject:
                fail(f"{address}: Subject is {message['Subject']!r}", run)
            body = message.get_body(("plain",)).get_content()
            if greeting not in body or line not in body or "_" in body:
                fail(f"{address}: body is {body!r}", run)

        # The export has every column, with the names row.
        exported = work.joinpath("members.tsv").read_text(encoding="utf-8").splitlines()
        if not exported or exported[0].split("\t") != ["email", "FirstName", "City"]:
            fail(f"the export starts with {exported[:1]!r}", run)
        if len(exported) != 4:
            fail(f"the export has {len(exported) - 1} records, expected 3", run)
    print(f"walkthrough: {len(commands.splitlines())} lines ran; {len(messages)} good drafts")


if __name__ == "__main__":
    main()
