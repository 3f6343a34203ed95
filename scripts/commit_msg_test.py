#!/usr/bin/env python3
"""Tests of scripts/hooks/commit-msg: run as git runs it on message files
written here, and by git itself on commits in a repository of its own."""
import os
import shutil
import subprocess
import tempfile
import unittest

HOOKS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "hooks")
HOOK = os.path.join(HOOKS, "commit-msg")

S72 = "The layer check finds cycles of units, not only of files, in every tree."
assert len(S72) == 72
S73 = S72 + "s"
SCISSORS = "# ------------------------ >8 ------------------------"

# Each message as git hands it to the hook, and whether the hook lets it be.
CASES = [
    ("72 characters, a longer body line", f"{S72}\n\n{'body ' * 20}\n", True),
    ("73 characters", f"{S73}\n\nbody\n", False),
    ("72 characters, not all ASCII", "é" * 72 + "\n", True),
    ("72 characters and blanks git strips", S72 + "  \t\n", True),
    ("a long comment line before a short subject", f"# {'c' * 80}\nShort\n", True),
    ("blank and comment lines before 73 characters", f"\n# a note\n\n{S73}\n", False),
    ("git commit -v, nothing written above the scissors",
     f"\n# Please enter the commit message.\n{SCISSORS}\n# Do not modify the line above.\n"
     f"diff --git a/{'d' * 40}.cpp b/{'d' * 40}.cpp\n+{'x' * 90}\n", True),
    ("git commit -v, 73 characters above the scissors",
     f"{S73}\n\n# Please enter the commit message.\n{SCISSORS}\ndiff --git a/x b/x\n", False),
]


class CommitMsgTest(unittest.TestCase):
    def test_message_files(self):
        for name, message, accepted in CASES:
            with self.subTest(name), tempfile.TemporaryDirectory() as folder:
                path = os.path.join(folder, "COMMIT_EDITMSG")
                with open(path, "w", encoding="utf-8") as f:
                    f.write(message)
                run = subprocess.run([HOOK, path], capture_output=True, text=True)
                self.assertEqual(run.returncode, 0 if accepted else 1, run.stderr)
                if not accepted:
                    self.assertIn("the subject is 73 characters, over the 72", run.stderr)

    @unittest.skipUnless(shutil.which("git"), "git is not installed")
    def test_git_runs_it_from_hooks_path(self):
        with tempfile.TemporaryDirectory() as repo:
            env = dict(os.environ, GIT_CONFIG_GLOBAL=os.devnull, GIT_CONFIG_NOSYSTEM="1",
                       GIT_AUTHOR_NAME="a", GIT_AUTHOR_EMAIL="a@example.com",
                       GIT_COMMITTER_NAME="a", GIT_COMMITTER_EMAIL="a@example.com")

            def git(*args):
                return subprocess.run(["git", "-C", repo, *args], capture_output=True, text=True,
                                      env=env)

            git("init", "-q")
            git("config", "core.hooksPath", HOOKS)
            refused = git("commit", "-q", "--allow-empty", "-m", S73)
            self.assertNotEqual(refused.returncode, 0)
            self.assertIn("over the 72", refused.stderr)
            self.assertNotEqual(git("rev-parse", "-q", "--verify", "HEAD").returncode, 0)
            self.assertEqual(git("commit", "-q", "--allow-empty", "-m", S72).returncode, 0)
            self.assertEqual(git("log", "--format=%s").stdout, S72 + "\n")


if __name__ == "__main__":
    unittest.main()
