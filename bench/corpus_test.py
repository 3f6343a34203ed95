#!/usr/bin/env python3
"""Tests of what the timings rest on: the folders' makers and zip -u's rule."""
import hashlib
import os
import subprocess
import sys
import tempfile
import unittest

import corpus
import held_out_corpus
import measure

HERE = os.path.dirname(os.path.abspath(__file__))
# A held-out folder of every kind, a few files each, made in a second or two.
SMALL = dict(target=4 * corpus.MB, themes=2, fill=('tile', 100 * 1000, 400 * 1000), batches=[
    ('jpeg', 2, 64, 300), ('photo', 1, 64, 200), ('gradient', 2, 16, 300), ('sprite', 3, 8, 32),
    ('icon', 12, 0, 64 * 1000), ('vector', 3, 0, 64 * 1000), ('font', 1, 0, 2 * corpus.MB),
    ('layout', 2, 2, 5), ('text', 3, 100, 50 * 1000), ('grain', 1, 1000, 100 * 1000)])


def digests(folder):
    found = {}
    for name in sorted(os.listdir(folder)):
        with open(os.path.join(folder, name), 'rb') as f:
            found[name] = hashlib.sha256(f.read()).hexdigest()
    return found


def make_held_out(folder, seed):
    """Each folder in a process of its own, as bench/make-corpus makes it, so
    that what differs between processes (hash() of a text) shows."""
    script = ('import sys, held_out_corpus as h; h.RECIPES["test"] = eval(sys.argv[1]); '
              'h.build("test", sys.argv[2], sys.argv[3])')
    subprocess.run([sys.executable, '-c', script, repr(SMALL), folder, seed], cwd=HERE, check=True)
    return digests(folder)


class HeldOutTest(unittest.TestCase):
    def test_a_seed_gives_the_same_bytes_and_another_seed_others(self):
        with tempfile.TemporaryDirectory() as scratch:
            first = make_held_out(os.path.join(scratch, 'a'), 'seed-1')
            again = make_held_out(os.path.join(scratch, 'b'), 'seed-1')
            other = make_held_out(os.path.join(scratch, 'c'), 'seed-2')
            total = sum(os.path.getsize(os.path.join(scratch, 'a', n)) for n in first)
        self.assertEqual(first, again)
        self.assertEqual(total, SMALL['target'])
        kinds = {name.split('-')[0] for name in first}
        self.assertLessEqual({'jpeg', 'photo', 'gradient', 'sprite', 'icon', 'layout', 'text',
                              'grain', 'fill', 'main.xml'}, kinds)
        generated = [n for n in first if n.split('-')[0] in ('jpeg', 'gradient', 'text', 'fill')]
        self.assertTrue(all(first[n] != other.get(n) for n in generated))


class SpriteTest(unittest.TestCase):
    def test_sprites_and_panels_are_pngs_under_64_kB_and_reach_near_it(self):
        for kind in ('sprite', 'panel'):
            packages, pattern, least, most = corpus.KINDS[kind]
            sizes = [size for _, size in corpus.package_files(packages, pattern, least, most)]
            with self.subTest(kind):
                self.assertLess(max(sizes), 64 * 1000)
                self.assertGreater(max(sizes), 48 * 1000)  # the bound, not the sources, stops them
                self.assertGreaterEqual(min(sizes), least)


class ZipUpdateTest(unittest.TestCase):
    def test_an_edit_made_after_waiting_is_seen_by_zip_u(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, 'main.xml')
            with open(path, 'w') as f:
                f.write('<a/>\n')
            archive = os.path.join(folder, 'out.zip')
            subprocess.run(['zip', '-q', archive, 'main.xml'], cwd=folder, check=True)
            measure.wait_past_grain(path)
            with open(path, 'a') as f:
                f.write('<!-- edited -->\n')
            done = subprocess.run(['zip', '-u', '-q', archive, 'main.xml'], cwd=folder)
        self.assertEqual(done.returncode, 0)  # 12, "nothing to do", when the edit went unseen


if __name__ == '__main__':
    unittest.main()
