#!/usr/bin/env python3
"""A program's manual page and its --help must name the same commands and
the same options, so that neither tells of something the other does not know.

    check_man_page.py PROGRAM MAN_PAGE
"""
import re
import subprocess
import sys
import unittest

CLI = sys.argv[1] if len(sys.argv) > 1 else "quillcast-cli"
MAN_PAGE = sys.argv[2] if len(sys.argv) > 2 else "quillcast-cli.1"

OPTION = re.compile(r"(?<![\w-])--[a-z][a-z0-9-]*")
# A command line of the help: two spaces, the command, and a sub-command
# when the next word is one too (lower case, not a placeholder or option).
HELP_COMMAND = re.compile(r"^  ([a-z][a-z-]*)(?: ([a-z][a-z-]*)(?=\s|$))?")


def help_text():
    result = subprocess.run([CLI, "--help"], capture_output=True, text=True)
    if result.returncode != 0:
        raise AssertionError(f"--help exited {result.returncode}: {result.stderr}")
    return result.stdout


def plain(roff):
    text = roff.replace("\\-", "-").replace("\\e", "\\")
    return re.sub(r"\\f[BIRP]", "", text)


def help_commands(text):
    commands = set()
    for line in text.splitlines():
        match = HELP_COMMAND.match(line)
        if match:
            commands.add(" ".join(word for word in match.groups() if word))
    return commands


def man_commands(roff):
    section = roff.split(".SH COMMANDS", 1)[1].split("\n.SH ", 1)[0]
    commands = set()
    lines = section.splitlines()
    for previous, line in zip(lines, lines[1:]):
        match = re.match(r"\\fB([a-z][a-z -]*)\\fR", line)
        if previous == ".TP" and match:
            commands.add(match.group(1).strip())
    return commands


class ManPageMatchesHelp(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.help = help_text()
        with open(MAN_PAGE, encoding="utf-8") as page:
            cls.roff = page.read()

    def test_same_commands(self):
        if ".SH COMMANDS" not in self.roff:
            self.skipTest("a program without commands")
        in_help = help_commands(self.help)
        self.assertGreater(len(in_help), 10, "the commands of --help were not found")
        self.assertEqual(man_commands(self.roff), in_help)

    def test_same_options(self):
        in_help = set(OPTION.findall(self.help))
        self.assertIn("--version", in_help)
        self.assertEqual(set(OPTION.findall(plain(self.roff))), in_help)

    def test_release_filled_in(self):
        self.assertNotIn("@QUILLCAST", self.roff)
        version = subprocess.run([CLI, "--version"], capture_output=True, text=True).stdout.split()[-1]
        self.assertIn(f'"Quillcast {version}"', self.roff.splitlines()[0])


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
