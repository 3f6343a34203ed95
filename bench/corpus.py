#!/usr/bin/env python3
"""Builds a flat theme folder from what Debian's icon themes, wallpapers and fonts ship.

    corpus.py SIZE DIR      SIZE: small (~5 MB), medium (~100 MB) or large (~1 GB),
                            mostly icons; mixed-medium, mixed-large: 60 % of the
                            bytes PNG and JPEG, 40 % that deflate shrinks;
                            sprites-medium: ~20,000 layouts, SVGs and UI PNGs under
                            64 kB, ~100 MB; files-300k: 300,000 files of a few
                            hundred bytes to 2 KiB, for timing the check
    corpus.py --packages    the Debian packages the corpus is drawn from

A theme packs only the files directly in its folder, so every source file gets a
flat name. The same packages give the same bytes: sources are taken in an order
fixed by a hash of their paths, generated text holds no dates, and every file
gets one fixed modification time, so that archives of the folder repeat too.
Where a mix needs more files than its packages ship, files are copied again
under other names.
"""
import hashlib
import os
import re
import shutil
import struct
import subprocess
import sys
import xml.etree.ElementTree as ElementTree
import zlib

MB = 1000 * 1000
FIXED_MTIME = 1704067200  # 2024-01-01 00:00 UTC

# kind: (Debian packages, path pattern, least bytes, most bytes). Icons at the
# sizes a shelf shows; wallpapers are the large images of their packages;
# sprites and panels are the small PNGs of a UI, symbols its SVGs.
ICON_THEMES = ('adwaita-icon-theme', 'oxygen-icon-theme')
SVG_THEMES = ('papirus-icon-theme', 'breeze-icon-theme', 'adwaita-icon-theme')
WALLPAPERS = ('plasma-workspace-wallpapers', 'mate-backgrounds', 'gnome-backgrounds', 'desktop-base')
SPRITE_MOST = 64 * 1000 - 1  # a sprite is under 64 kB
KINDS = {
    'icon': (ICON_THEMES, r'/(48|64|96|128|256|512)x\d+/.*\.png$', 0, None),
    'vector': (('adwaita-icon-theme', 'breeze-icon-theme'), r'\.svg$', 0, None),
    'wallpaper': (WALLPAPERS, r'\.(png|jpe?g|webp)$', 100 * 1000, None),
    'font': (('fonts-dejavu-core', 'fonts-liberation', 'fonts-noto-core'), r'\.ttf$', 0, None),
    'photo': (WALLPAPERS, r'\.(png|jpe?g)$', 100 * 1000, None),
    'sprite': (ICON_THEMES, r'\.png$', 0, SPRITE_MOST),
    'panel': (ICON_THEMES, r'\.png$', 8 * 1000, SPRITE_MOST),
    'symbol': (SVG_THEMES, r'\.svg$', 0, None),
    'tiny-icon': (ICON_THEMES, r'\.png$', 0, 2048),
    'tiny-vector': (SVG_THEMES, r'\.svg$', 0, 2048),
}

# Per size: (most files, most bytes) per kind, how many times its files are
# copied (`KIND_copies`, 1 when not given), the number of layouts and themes,
# and the raw textures. Raw textures of `raw_piece` bytes fill the folder up
# to `target` (none when `raw_piece` is 0); `raw_large` adds textures over
# 100 MB. The manifest's screenshots and shelf backgrounds are the files of the
# `backgrounds` kinds, its catalog images those of the `icons` kinds.
RECIPES = {
    'small': dict(target=5 * MB, icon=(200, 1.6 * MB), vector=(20, 0.15 * MB),
                  wallpaper=(4, 2.4 * MB), font=(4, 0.9 * MB), layouts=8, themes=2,
                  raw_large=[], raw_piece=1 * MB),
    'medium': dict(target=100 * MB, icon=(1800, 14 * MB), vector=(60, 0.5 * MB),
                   wallpaper=(40, 60 * MB), font=(50, 13 * MB), layouts=40, themes=8,
                   raw_large=[], raw_piece=4 * MB),
    'large': dict(target=1000 * MB, icon=(4400, 40 * MB), vector=(200, 2 * MB),
                  wallpaper=(200, 200 * MB), font=(300, 50 * MB), layouts=120, themes=16,
                  raw_large=[160 * MB, 140 * MB, 120 * MB], raw_piece=24 * MB),
    # Debian ships about 150 MB of PNG and JPEG wallpapers: the large mix
    # packs each four times, under other names.
    'mixed-medium': dict(target=100 * MB, icon=(1600, 12 * MB), photo=(40, 48 * MB),
                         vector=(300, 3 * MB), font=(60, 15 * MB), layouts=200, themes=8,
                         raw_large=[], raw_piece=2 * MB),
    'mixed-large': dict(target=1000 * MB, icon=(4400, 32 * MB), photo=(86, 150 * MB),
                        photo_copies=4, vector=(2000, 8 * MB), font=(290, 48 * MB),
                        layouts=400, themes=16, raw_large=[160 * MB, 120 * MB],
                        raw_piece=8 * MB),
    # Many small files: every PNG a sprite under 64 kB, the larger of them
    # (panels) copied again; SVG symbols and layouts. No fonts, no textures.
    'sprites-medium': dict(target=100 * MB, sprite=(10800, 34 * MB), panel=(1000, 12 * MB),
                           panel_copies=2, symbol=(6400, 14 * MB), layouts=1600, themes=24,
                           raw_large=[], raw_piece=0, backgrounds=('panel',), icons=('sprite',)),
    # A folder of 300,000 files each a few hundred bytes to 2 KiB, of which
    # the manifest names a few hundred: what an author runs check on.
    'files-300k': dict(target=0, tiny_icon=(8000, 8 * MB), tiny_icon_copies=6,
                       tiny_vector=(50000, 60 * MB), tiny_vector_copies=5, layouts=1999,
                       themes=40, raw_large=[], raw_piece=0, backgrounds=('tiny-icon',),
                       icons=('tiny-icon',)),
}

WORDS = ('Novels Comics Music Films Series Poetry Science History Travel Cooking Art Kids '
         'Jazz Classics Podcasts Photos Maps Games Sport Nature Ocean Forest Desert Night').split()
MODES = ('grid', 'list', 'cover', 'detail', 'carousel')


def by_hash(path):
    return hashlib.sha256(path.encode()).digest()


def package_files(packages, pattern, least_bytes, most_bytes=None):
    """(path, size) of each regular file of the packages that fits, once each."""
    listing = subprocess.run(['dpkg', '-L', *packages], check=True, capture_output=True,
                             text=True).stdout.split('\n')
    files, seen = [], set()
    for path in sorted(set(listing)):
        if not re.search(pattern, path, re.IGNORECASE) or os.path.islink(path):
            continue
        real = os.path.realpath(path)  # icon themes reach one file by several paths
        if not os.path.isfile(real) or real in seen:
            continue
        size = os.path.getsize(real)
        if size >= least_bytes and (most_bytes is None or size <= most_bytes):
            seen.add(real)
            files.append((path, size))
    return files


def pick(candidates, most_files, most_bytes):
    """Files in hash order while they fit the budget: a spread over every source."""
    chosen, total = [], 0
    for path, size in sorted(candidates, key=lambda c: by_hash(c[0])):
        if len(chosen) == most_files:
            break
        if total + size <= most_bytes:
            chosen.append(path)
            total += size
    return sorted(chosen)


class Names:
    """Flat file names, unique even where case does not count (Windows)."""
    GENERIC = {'usr', 'share', 'icons', 'wallpapers', 'backgrounds', 'fonts', 'truetype',
               'contents', 'images', 'base', 'scalable'}

    def __init__(self):
        self.taken = set()

    def flat(self, kind, path):
        parts = [p for p in path.split('/') if p and p not in self.GENERIC]
        return self.unique(re.sub(r'[^A-Za-z0-9._-]+', '_', kind + '-' + '-'.join(parts)))

    def unique(self, name):
        stem, ext = os.path.splitext(name)
        n = 1
        while name.lower() in self.taken:
            n += 1
            name = f'{stem}-{n}{ext}'
        self.taken.add(name.lower())
        return name


class Numbers:
    """Pseudo-random numbers from a seed text, the same on every machine and Python."""

    def __init__(self, seed):
        self.seed, self.count = seed, 0

    def between(self, low, high):
        self.count += 1
        digest = hashlib.sha256(f'{self.seed}/{self.count}'.encode()).digest()
        return low + int.from_bytes(digest[:8], 'little') % (high - low + 1)

    def choice(self, items):
        return items[self.between(0, len(items) - 1)]


class Pixels:
    """Raw pixel rows: the image data of PNG files inflated, one image after
    another, starting again after the last. The rows keep PNG's filter bytes,
    which is what a raw texture exported from these images would hold."""

    def __init__(self, pngs):
        self.chunks = self.endless(pngs)
        self.rest = b''

    @staticmethod
    def image_data(path):
        with open(path, 'rb') as f:
            data = f.read()
        inflater, pos = zlib.decompressobj(), 8
        while pos + 8 <= len(data):
            length, kind = struct.unpack('>I4s', data[pos:pos + 8])
            if kind == b'IDAT':
                yield inflater.decompress(data[pos + 8:pos + 8 + length])
            pos += 12 + length
        yield inflater.flush()

    def endless(self, pngs):
        while True:
            for path in pngs:
                yield from self.image_data(path)

    def copy_to(self, out, size):
        while size > 0:
            chunk = self.rest or next(self.chunks)
            out.write(chunk[:size])
            self.rest = chunk[size:]
            size -= min(size, len(chunk))


def layout_text(index, images, fonts):
    r = Numbers(f'layout-{index}')
    mode = MODES[index % len(MODES)]
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             f'<layout name="{mode}-{index:03}" mode="{mode}" columns="{r.between(2, 8)}" '
             f'rows="{r.between(2, 6)}">']
    for region in range(r.between(4, 12)):
        lines.append(f'  <region id="r{region}" x="{r.between(0, 1600)}" y="{r.between(0, 900)}" '
                     f'width="{r.between(64, 1920)}" height="{r.between(64, 1080)}">')
        for _ in range(r.between(5, 30)):
            lines.append(f'    <image src="{r.choice(images)}" x="{r.between(0, 1920)}" '
                         f'y="{r.between(0, 1080)}" width="{r.between(16, 512)}" '
                         f'height="{r.between(16, 512)}" opacity="0.{r.between(5, 9)}"/>')
        font = f'font="{r.choice(fonts)}" ' if fonts else ''
        lines.append(f'    <text {font}size="{r.between(9, 48)}" '
                     f'color="#{r.between(0, 0xFFFFFF):06x}">{r.choice(WORDS)} {r.choice(WORDS)}</text>')
        lines.append('  </region>')
    lines.append('</layout>')
    return '\n'.join(lines) + '\n'


def manifest_text(themes, layouts, wallpapers, icons, seed='theme'):
    lines = ['<?xml version="1.0" encoding="utf-8"?>', '<nuvarinepackage>']
    for t in range(themes):
        r = Numbers(f'{seed}-{t}')
        lines += [f'  <theme name="{WORDS[t % len(WORDS)]} {t + 1}" '
                  f'screenshot="{wallpapers[t % len(wallpapers)]}">', '    <templates>']
        for d in range(r.between(2, 4)):
            lines.append(f'      <detail mode="{MODES[d]}" '
                         f'file="{layouts[(t * 3 + d) % len(layouts)]}"/>')
        lines.append('    </templates>')
        for _ in range(r.between(1, 2)):
            lines.append(f'    <virtualshelf background="{r.choice(wallpapers)}" '
                         f'uwidth="{r.between(80, 240)}" uheight="{r.between(100, 320)}" '
                         f'uhspace="{r.between(4, 24)}" uvspace="{r.between(4, 24)}">')
            for _ in range(r.between(4, 12)):
                lines.append(f'      <catalog name="{r.choice(WORDS)}" image="{r.choice(icons)}" '
                             f'olx="{r.between(0, 40)}" oly="{r.between(0, 400)}" '
                             f'olwidth="{r.between(60, 200)}" olheight="{r.between(16, 40)}"/>')
            lines.append('    </virtualshelf>')
        lines.append('  </theme>')
    lines.append('</nuvarinepackage>')
    return '\n'.join(lines) + '\n'


def check_manifest(folder):
    """Every file the manifest names must lie in the folder, or the build fails."""
    root = ElementTree.parse(os.path.join(folder, 'main.xml')).getroot()
    for element in root.iter():
        for attribute in ('screenshot', 'file', 'background', 'image'):
            name = element.get(attribute)
            if name is not None and not os.path.isfile(os.path.join(folder, name)):
                sys.exit(f'corpus: main.xml names {name}, which is not in {folder}')


def build(size, folder):
    recipe, names = RECIPES[size], Names()
    os.makedirs(folder)
    chosen = {}
    for kind, (packages, pattern, least, most) in KINDS.items():
        chosen[kind], key = [], kind.replace('-', '_')
        if key not in recipe:
            continue
        paths = pick(package_files(packages, pattern, least, most), *recipe[key])
        for copy in range(recipe.get(key + '_copies', 1)):
            for path in paths:
                name = names.flat(kind, path)
                shutil.copyfile(path, os.path.join(folder, name))
                chosen[kind].append(name)
    backgrounds = [n for k in recipe.get('backgrounds', ('wallpaper', 'photo')) for n in chosen[k]]
    icons = [n for k in recipe.get('icons', ('icon',)) for n in chosen[k]]
    layouts = [f'layout-{MODES[i % len(MODES)]}-{i:03}.xml' for i in range(recipe['layouts'])]
    for i, name in enumerate(layouts):
        write_text(folder, name, layout_text(i, icons, chosen['font']))
    write_text(folder, 'main.xml', manifest_text(recipe['themes'], layouts, backgrounds, icons))
    write_raw_textures(folder, recipe)
    check_manifest(folder)
    for name in os.listdir(folder) + ['']:  # '': the folder itself, which tar records
        os.utime(os.path.join(folder, name), (FIXED_MTIME, FIXED_MTIME))


def write_text(folder, name, text):
    with open(os.path.join(folder, name), 'w', encoding='utf-8', newline='\n') as f:
        f.write(text)


def write_raw_textures(folder, recipe):
    if not recipe['raw_piece']:
        return
    packages, _, least, _ = KINDS['wallpaper']
    pngs = [p for p, _ in sorted(package_files(packages, r'\.png$', least), key=lambda c: by_hash(c[0]))]
    used = sum(os.path.getsize(os.path.join(folder, n)) for n in os.listdir(folder))
    large = [int(s) for s in recipe['raw_large']]
    fill = int(recipe['target'] - used - sum(large))
    pieces = max(0, round(fill / recipe['raw_piece']))
    sizes = large + [fill // pieces] * pieces if pieces else large
    pixels = Pixels(pngs)
    for i, size in enumerate(sizes):
        name = f'texture-array-{i + 1:02}.raw' if i < len(large) else f'texture-{i + 1:03}.raw'
        with open(os.path.join(folder, name), 'wb') as out:
            pixels.copy_to(out, size)


def composition(folder):
    """(files, bytes, largest, [(extension, files, bytes)] largest share first)."""
    sizes = [(n, os.path.getsize(os.path.join(folder, n))) for n in sorted(os.listdir(folder))]
    kinds = {}
    for name, size in sizes:
        ext = os.path.splitext(name)[1].lower() or '(none)'
        count, total = kinds.get(ext, (0, 0))
        kinds[ext] = (count + 1, total + size)
    by_share = sorted(((e, c, b) for e, (c, b) in kinds.items()), key=lambda k: -k[2])
    return len(sizes), sum(s for _, s in sizes), max(s for _, s in sizes), by_share


def summary(folder):
    files, total, largest, kinds = composition(folder)
    print(f'{folder}: {files} files, {total / MB:.1f} MB; largest {largest / MB:.1f} MB')
    for ext, count, size in kinds:
        print(f'  {ext:6} {count:5} files {size / MB:8.1f} MB  {100 * size / total:5.1f}% of bytes')


def main(argv):
    if argv[1:] == ['--packages']:
        print(' '.join(sorted({p for packages, *_ in KINDS.values() for p in packages})))
        return
    if len(argv) != 3 or argv[1] not in RECIPES:
        sys.exit(f'usage: corpus.py {"|".join(RECIPES)} DIR   or   corpus.py --packages')
    size, folder = argv[1], argv[2].rstrip('/')
    partial = folder + '.partial'  # a folder cut short by an interrupt is never taken as done
    shutil.rmtree(partial, ignore_errors=True)
    build(size, partial)
    shutil.rmtree(folder, ignore_errors=True)
    os.rename(partial, folder)
    summary(folder)


if __name__ == '__main__':
    main(sys.argv)
