#!/usr/bin/env python3
"""Tests of scripts/check-layers on small trees written here: a cycle of
units that no file closes is found and named, and a tree whose units point
one way passes."""
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "check-layers")


def include(*paths):
    return "".join(f'#include "{path}"\n' for path in paths)


# Each tree: its files, whether the check passes, and a line it must print.
CASES = [
    ("a source includes a header that includes its own header",
     {"package/entry.h": "",
      "package/entry.cpp": include("package/entry.h", "package/piece.h"),
      "package/piece.h": include("package/entry.h"),
      "package/piece.cpp": include("package/piece.h")},
     False, "unit cycle: package/entry -> package/piece -> package/entry"),
    ("a platform's source belongs to its header's unit",
     {"platform/clock.h": "",
      "platform/clock_posix.cpp": include("platform/clock.h", "platform/tick.h"),
      "platform/tick.h": include("platform/clock.h")},
     False, "  platform/clock_posix.cpp includes platform/tick.h"),
    ("three units, the third named with the cycle through the first",
     {"xml/a.h": include("xml/b.h"), "xml/b.h": "", "xml/b.cpp": include("xml/a.h", "xml/c.h"),
      "xml/c.h": include("xml/b.h")},
     False, "  tangled with them: xml/c"),
    ("units that point one way, a test and a platform's source among them",
     {"platform/clock.h": "",
      "platform/clock_win32.cpp": include("platform/clock.h", "platform/tick.h"),
      "platform/tick.h": "",
      "platform/clock_test.cpp": include("platform/clock.h", "testing/fake_clock.h"),
      "testing/fake_clock.h": include("platform/clock.h")},
     True, "layers kept, no cycle"),
    ("a lower layer uses a higher one",
     {"platform/clock.h": include("package/entry.h"), "package/entry.h": ""},
     False, "platform/clock.h includes package/entry.h: platform/ may not use package/"),
]


class CheckLayersTest(unittest.TestCase):
    def test_cases(self):
        for name, files, passes, line in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as root:
                for path, text in files.items():
                    os.makedirs(os.path.join(root, os.path.dirname(path)), exist_ok=True)
                    with open(os.path.join(root, path), "w") as f:
                        f.write(text)
                run = subprocess.run([sys.executable, SCRIPT, root], capture_output=True,
                                     text=True)
                self.assertEqual(run.returncode, 0 if passes else 1, run.stdout + run.stderr)
                self.assertIn(line, run.stdout)


if __name__ == "__main__":
    unittest.main()
