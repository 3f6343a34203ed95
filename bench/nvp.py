#!/usr/bin/env python3
"""Reads and writes .nvp packages far enough to time how fast zlib restores them.

    nvp.py inflate PACKAGE...             check every entry, then time zlib's inflate
    nvp.py pack FOLDER PACKAGE [LEVEL]    pack a folder with zlib at LEVEL (6), one call a file

A package is a 1044-byte header ("NP", format version 2, zeros), then for each
entry a 76-byte record {int32 entryId, uint32 storedSize, uint32 originalSize,
64 zero bytes} and storedSize bytes of one zlib stream. Entry 0 is the index,
the XML list of the packed files; the files follow as ids 1, 2, 3...
"""
import os
import statistics
import struct
import sys
import time
import zlib

HEADER_SIZE = 1044
MAGIC = b'NP'
FORMAT_VERSION = 2
RECORD = struct.Struct('<iII64x')


class PackageError(Exception):
    """The package breaks its layout; the text says where."""


def entries(data):
    """(entryId, originalSize, block) of each entry, blocks as views into data."""
    data = memoryview(data)
    if len(data) < HEADER_SIZE:
        raise PackageError(f'{len(data)} bytes, shorter than the {HEADER_SIZE}-byte header')
    if data[:2] != MAGIC:
        raise PackageError(f'starts with {bytes(data[:2])!r}, not {MAGIC!r}')
    found, pos = [], HEADER_SIZE
    while pos < len(data):
        if len(data) - pos < RECORD.size:
            raise PackageError(f'record at offset {pos} cut short: {len(data) - pos} bytes left')
        entry_id, stored, original = RECORD.unpack_from(data, pos)
        if entry_id != len(found):
            raise PackageError(f'record at offset {pos} has id {entry_id}, expected {len(found)}')
        pos += RECORD.size
        if stored > len(data) - pos:
            raise PackageError(f'entry {entry_id} announces {stored} bytes, {len(data) - pos} left')
        found.append((entry_id, original, data[pos:pos + stored]))
        pos += stored
    if not found:
        raise PackageError('no entry after the header')
    return found


def check(package_entries):
    """Each block must be one whole zlib stream that restores originalSize bytes."""
    for entry_id, original, block in package_entries:
        inflater = zlib.decompressobj()
        try:
            size = len(inflater.decompress(block)) + len(inflater.flush())
        except zlib.error as e:
            raise PackageError(f'entry {entry_id}: {e}') from None
        if not inflater.eof:
            raise PackageError(f'entry {entry_id}: zlib stream cut short')
        if inflater.unused_data:
            raise PackageError(f'entry {entry_id}: {len(inflater.unused_data)} bytes after the stream')
        if size != original:
            raise PackageError(f'entry {entry_id}: restores {size} bytes, its record says {original}')


def inflate_seconds(package_entries, repeats=3):
    """Median time zlib takes to restore every entry, given both sizes as a reader is."""
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        for _, original, block in package_entries:
            zlib.decompress(block, bufsize=max(original, 1))
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def index_text(names):
    def quote(name):
        for char, entity in (('&', '&amp;'), ('<', '&lt;'), ('>', '&gt;'), ('"', '&quot;'),
                             ("'", '&apos;')):
            name = name.replace(char, entity)
        return name
    files = ''.join(f'<file filename="{quote(n)}" id="{i}" />' for i, n in enumerate(names, 1))
    text = '<?xml version="1.0" encoding="utf-8" standalone="yes" ?><files>' + files + '</files>'
    return text.encode('utf-8', 'surrogateescape')


def pack(folder, package, level=6):
    """The package the builder's layout gives when every file goes through zlib."""
    names = sorted(n for n in os.listdir(folder) if os.path.isfile(os.path.join(folder, n)))
    with open(package, 'wb') as out:
        out.write(MAGIC + struct.pack('<H', FORMAT_VERSION) + bytes(HEADER_SIZE - 4))
        write_entry(out, 0, index_text(names), level)
        for entry_id, name in enumerate(names, 1):
            with open(os.path.join(folder, name), 'rb') as f:
                write_entry(out, entry_id, f.read(), level)


def write_entry(out, entry_id, content, level):
    block = zlib.compress(content, level)
    out.write(RECORD.pack(entry_id, len(block), len(content)))
    out.write(block)


def read_checked(package):
    with open(package, 'rb') as f:
        found = entries(f.read())
    check(found)
    return found


def main(argv):
    if len(argv) >= 3 and argv[1] == 'inflate':
        failed = False
        for package in argv[2:]:
            try:
                found = read_checked(package)
            except (OSError, PackageError) as e:
                print(f'nvp: {package}: {e}', file=sys.stderr)
                failed = True
                continue
            stored = sum(len(b) for _, _, b in found)
            restored = sum(o for _, o, _ in found)
            print(f'{package}: {len(found)} entries, {stored} bytes stored, {restored} restored, '
                  f'inflated in {inflate_seconds(found):.3f} s')
        return 1 if failed else 0
    if len(argv) in (4, 5) and argv[1] == 'pack':
        pack(argv[2], argv[3], int(argv[4]) if len(argv) == 5 else 6)
        return 0
    print('usage: nvp.py inflate PACKAGE...  |  nvp.py pack FOLDER PACKAGE [LEVEL]', file=sys.stderr)
    return 2


if __name__ == '__main__':
    sys.exit(main(sys.argv))
