#!/usr/bin/env python3
"""Installs the build tree into a staging prefix, as a package build does, and
checks what lands there: the file list, and that the desktop's own tools
accept the launcher, the file type, the software-centre entry, the icons and
the manual pages.

    check_install.py BUILD_DIR [--gui]
"""
import gzip
import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

BUILD_DIR = sys.argv[1] if len(sys.argv) > 1 else "build"
GUI = "--gui" in sys.argv[2:]
ICON_SIZES = [16, 22, 24, 32, 48, 64, 128, 256, 512]
APPSTREAM_ID = "example.quillcast.Quillcast"


def expected_files():
    files = {"bin/quillcast-cli", "share/man/man1/quillcast-cli.1.gz"}
    if GUI:
        files |= {
            "bin/quillcast",
            "share/man/man1/quillcast.1.gz",
            "share/applications/quillcast.desktop",
            "share/mime/packages/quillcast.xml",
            f"share/metainfo/{APPSTREAM_ID}.metainfo.xml",
            "share/icons/hicolor/scalable/apps/quillcast.svg",
        }
        files |= {f"share/icons/hicolor/{s}x{s}/apps/quillcast.png" for s in ICON_SIZES}
    return files


# The user guide and whatever else the application reads at run time.
ALLOWED_FOLDERS = ("share/doc/quillcast/", "share/quillcast/")


def run(command, **kwargs):
    return subprocess.run(command, capture_output=True, text=True, **kwargs)


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory(prefix="quillcast-install-")
        cls.prefix = os.path.join(cls.tmp.name, "usr")
        result = run(["cmake", "--install", BUILD_DIR, "--prefix", cls.prefix])
        if result.returncode != 0:
            raise AssertionError("cmake --install failed:\n" + result.stdout + result.stderr)
        cls.files = set()
        for folder, _, names in os.walk(cls.prefix):
            for name in names:
                cls.files.add(os.path.relpath(os.path.join(folder, name), cls.prefix))

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def path(self, relative):
        return os.path.join(self.prefix, relative)

    def test_file_list(self):
        missing = expected_files() - self.files
        unexpected = {f for f in self.files - expected_files() if not f.startswith(ALLOWED_FOLDERS)}
        self.assertEqual(missing, set(), "missing from the install tree")
        self.assertEqual(unexpected, set(), "installed but not expected")

    def test_programs_are_executable(self):
        programs = ["bin/quillcast-cli"] + (["bin/quillcast"] if GUI else [])
        for program in programs:
            with self.subTest(program=program):
                self.assertTrue(os.access(self.path(program), os.X_OK))
        version = run([self.path("bin/quillcast-cli"), "--version"], env=dict(os.environ, ASAN_OPTIONS="detect_leaks=0"))
        self.assertEqual(version.returncode, 0, version.stderr)
        self.assertRegex(version.stdout, r"^Quillcast \d+\.\d+")

    def test_manual_pages_render_without_warnings(self):
        pages = ["quillcast-cli.1.gz"] + (["quillcast.1.gz"] if GUI else [])
        for page in pages:
            with self.subTest(page=page):
                path = self.path("share/man/man1/" + page)
                with gzip.open(path, "rt", encoding="utf-8") as text:
                    self.assertTrue(text.read().startswith(".TH "))
                if shutil.which("man"):
                    result = run(["man", "--warnings", "-l", path], env=dict(os.environ, MANWIDTH="80"))
                    self.assertEqual(result.returncode, 0, result.stderr)
                    self.assertEqual(result.stderr.strip(), "", "groff warnings")
                    self.assertIn("NAME", result.stdout)

    @unittest.skipUnless(GUI, "desktop application not built")
    def test_desktop_entry_is_valid(self):
        entry = self.path("share/applications/quillcast.desktop")
        result = run(["desktop-file-validate", entry])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertEqual(result.stdout.strip(), "", "desktop-file-validate has remarks")
        with open(entry, encoding="utf-8") as text:
            lines = text.read().splitlines()
        self.assertIn("MimeType=application/x-quillcast;", lines)
        self.assertIn("Exec=quillcast %F", lines)
        self.assertIn("Actions=Open;", lines)
        self.assertIn("[Desktop Action Open]", lines)

    @unittest.skipUnless(GUI, "desktop application not built")
    def test_mailings_are_recognised_by_name(self):
        mime = self.path("share/mime")
        result = run(["update-mime-database", "-V", mime])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        self.assertNotIn("Error", result.stdout + result.stderr)
        with open(os.path.join(mime, "globs2"), encoding="utf-8") as text:
            globs = [line.strip().split(":")[1:3] for line in text if not line.startswith("#")]
        self.assertIn(["application/x-quillcast", "*.quill"], globs)
        self.assertTrue(os.path.exists(os.path.join(mime, "application", "x-quillcast.xml")))

    @unittest.skipUnless(GUI, "desktop application not built")
    def test_software_centre_entry_is_valid(self):
        if not shutil.which("appstreamcli"):
            self.skipTest("appstreamcli is not installed")
        metainfo = self.path(f"share/metainfo/{APPSTREAM_ID}.metainfo.xml")
        result = run(["appstreamcli", "validate", "--no-net", metainfo])
        self.assertEqual(result.returncode, 0, result.stdout + result.stderr)
        with open(metainfo, encoding="utf-8") as text:
            content = text.read()
        self.assertNotIn("@", content.replace("@quillcast", ""), "a placeholder was not filled in")
        self.assertIn("<launchable type=\"desktop-id\">quillcast.desktop</launchable>", content)

    @unittest.skipUnless(GUI, "desktop application not built")
    def test_icons_have_the_size_their_folder_says(self):
        for size in ICON_SIZES:
            with self.subTest(size=size):
                with open(self.path(f"share/icons/hicolor/{size}x{size}/apps/quillcast.png"), "rb") as png:
                    header = png.read(24)
                self.assertEqual(header[:8], b"\x89PNG\r\n\x1a\n")
                self.assertEqual(struct.unpack(">II", header[16:24]), (size, size))
        with open(self.path("share/icons/hicolor/scalable/apps/quillcast.svg"), encoding="utf-8") as svg:
            self.assertIn("<svg", svg.read())


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0], "-v"])
