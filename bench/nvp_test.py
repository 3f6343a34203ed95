#!/usr/bin/env python3
"""Tests of the package walker the benchmark times zlib with: packages written
here by hand, sound and broken."""
import hashlib
import os
import struct
import tempfile
import unittest
import xml.etree.ElementTree as ElementTree
import zlib

import nvp


def noise(size):
    """Bytes that deflate cannot shrink, the same every run."""
    out, n = b'', 0
    while len(out) < size:
        out += hashlib.sha256(str(n).encode()).digest()
        n += 1
    return out[:size]


def package_bytes(blocks):
    """A package of (entryId, originalSize, block) entries, as the builder lays them out."""
    out = nvp.MAGIC + struct.pack('<H', 2) + bytes(nvp.HEADER_SIZE - 4)
    for entry_id, original, block in blocks:
        out += nvp.RECORD.pack(entry_id, len(block), original) + block
    return out


INDEX = b'<files><file filename="a" id="1" /></files>'
SOUND = [(0, len(INDEX), zlib.compress(INDEX)), (1, 5, zlib.compress(b'hello'))]


class PackTest(unittest.TestCase):
    FILES = {'main.xml': b'<nuvarinepackage/>', 'a&b.png': noise(70000), 'empty.xml': b'',
             'layout.xml': b'<layout>' + b'<item/>' * 5000 + b'</layout>'}

    def test_pack_then_walk_restores_every_file_in_index_order(self):
        with tempfile.TemporaryDirectory() as folder:
            for name, content in self.FILES.items():
                with open(os.path.join(folder, name), 'wb') as f:
                    f.write(content)
            os.mkdir(os.path.join(folder, 'sub'))  # a sub-folder is never packed
            package = folder + '.nvp'
            try:
                nvp.pack(folder, package)
                found = nvp.read_checked(package)
            finally:
                os.remove(package)
        self.assertEqual([e[0] for e in found], [0, 1, 2, 3, 4])
        index = ElementTree.fromstring(zlib.decompress(found[0][2]))
        names = [f.get('filename') for f in index]
        self.assertEqual(names, sorted(self.FILES))
        self.assertEqual([f.get('id') for f in index], ['1', '2', '3', '4'])
        for (_, original, block), name in zip(found[1:], names):
            self.assertEqual(zlib.decompress(block), self.FILES[name])
            self.assertEqual(original, len(self.FILES[name]))

    def test_index_text_is_printed_as_one_line_with_escaped_names(self):
        self.assertEqual(nvp.index_text(['main.xml', 'a&b.png']),
                         b'<?xml version="1.0" encoding="utf-8" standalone="yes" ?><files>'
                         b'<file filename="main.xml" id="1" /><file filename="a&amp;b.png" id="2" />'
                         b'</files>')


class WalkTest(unittest.TestCase):
    def test_stored_and_empty_blocks_are_read_and_timed(self):
        raw = noise(100000)
        blocks = SOUND + [(2, len(raw), zlib.compress(raw, 0)), (3, 0, zlib.compress(b''))]
        found = nvp.entries(package_bytes(blocks))
        nvp.check(found)
        self.assertEqual([(i, o, bytes(b)) for i, o, b in found], blocks)
        self.assertGreater(nvp.inflate_seconds(found, repeats=1), 0)

    def test_broken_packages_are_reported_with_where_they_break(self):
        sound = package_bytes(SOUND)
        cases = [
            ('short header', sound[:1000], 'shorter than the 1044-byte header'),
            ('wrong magic', b'PK' + sound[2:], "not b'NP'"),
            ('header alone', sound[:nvp.HEADER_SIZE], 'no entry after the header'),
            ('record cut short', sound[:nvp.HEADER_SIZE + 40], 'record at offset 1044 cut short'),
            ('block cut short', sound[:-3], 'entry 1 announces'),
            ('ids out of order', package_bytes([SOUND[1], SOUND[0]]), 'has id 1, expected 0'),
            ('id skipped', package_bytes([SOUND[0], (2,) + SOUND[1][1:]]), 'has id 2, expected 1'),
            ('not zlib', package_bytes([SOUND[0], (1, 5, b'hello')]), 'entry 1: Error'),
            ('stream cut short', package_bytes([SOUND[0], (1, 5, SOUND[1][2][:-5])]),
             'entry 1: zlib stream cut short'),
            ('bytes after stream', package_bytes([SOUND[0], (1, 5, SOUND[1][2] + b'xx')]),
             'entry 1: 2 bytes after the stream'),
            ('wrong original size', package_bytes([SOUND[0], (1, 6, SOUND[1][2])]),
             'entry 1: restores 5 bytes, its record says 6'),
        ]
        for what, data, message in cases:
            with self.subTest(what):
                with self.assertRaises(nvp.PackageError) as caught:
                    nvp.check(nvp.entries(data))
                self.assertIn(message, str(caught.exception))


if __name__ == '__main__':
    unittest.main()
