#!/usr/bin/env python3
"""Builds the held-out theme folders.

NOTHING IN NVTHEME IS TUNED ON THESE FOLDERS. They are kept apart from the
folders of corpus.py, on which the code is measured while it is made faster,
to show whether a speed-up holds for folders the code was not shaped to: they
are measured and their figures taken as they come. A change made to speed up
one of them makes it one more tuned folder; held-out folders are then made
anew with another SEED.

    held_out_corpus.py NAME DIR [SEED]   NAME: held-out-medium (~100 MB),
                                         held-out-large (~1 GB, three files
                                         over 100 MB) or held-out-many-small
                                         (~20,000 files, ~100 MB)
    held_out_corpus.py --packages        the Debian packages drawn from

This generator shares no recipe with corpus.py: other packages (other icon
themes, wallpapers and fonts), other contents (textures drawn as gradients
and tiles, raw or as PNG; text from manual pages and documentation; JPEG and
PNG images cut from wallpapers at sizes and qualities drawn at random),
sizes spread log-uniformly, more of the bytes deflate shrinks, and another
seed. It shares the flat names and the manifest's writing and checking.
The same seed and packages give the same bytes: every random draw comes from
the seed, numpy's noise from its PCG64 generator's raw output.
"""
import gzip
import hashlib
import io
import math
import os
import random
import re
import shutil
import subprocess
import sys
from xml.sax.saxutils import escape

import numpy
from PIL import Image

import corpus

MB = 1000 * 1000
SEED = 'held-out/1'

ICON_THEMES = ('tango-icon-theme', 'mate-icon-theme', 'gnome-icon-theme', 'elementary-xfce-icon-theme')
WALLPAPERS = ('ukui-wallpapers', 'sway-backgrounds', 'lomiri-wallpapers')
FONTS = ('fonts-freefont-ttf', 'fonts-roboto-unhinted')
TEXTS = ('manpages', 'manpages-dev', 'git-man', 'cmake-data', 'perl-doc')
TOOLS = ('python3-numpy', 'python3-pil')
# Files copied from packages: kind: (packages, path pattern).
SOURCES = {
    'icon': (ICON_THEMES, r'\.png$'),
    'vector': (ICON_THEMES, r'\.svg$'),
    'font': (FONTS, r'\.[ot]tf$'),
}

# name: the bytes to fill up to; themes in the manifest; batches as (kind,
# files, low, high), each file's size drawn log-uniformly from low to high:
# bytes for text and raw textures (tile: smooth, grain: noisy), pixels of
# the longer side for images (jpeg and photo cut from wallpapers, gradient
# and sprite drawn), the bounds of the source files' bytes for icon,
# vector and font (copied in the seed's order), panels for layouts. Then `fill` textures of (low, high) bytes make up the
# rest. The manifest's backgrounds are the jpeg, photo and gradient images,
# its catalog images the icons and sprites.
RECIPES = {
    'held-out-medium': dict(target=100 * MB, themes=10, batches=[
        ('jpeg', 100, 1200, 4000), ('photo', 8, 800, 2400), ('gradient', 40, 128, 1600),
        ('icon', 1200, 0, 200 * 1000), ('vector', 400, 0, 200 * 1000), ('font', 14, 0, 2 * MB),
        ('layout', 120, 4, 60), ('text', 160, 1000, 1 * MB)],
        fill=('tile', 1 * MB, 8 * MB)),
    'held-out-large': dict(target=1000 * MB, themes=20, batches=[
        ('tile', 1, 180 * MB, 180 * MB), ('text', 1, 120 * MB, 120 * MB),
        ('grain', 1, 110 * MB, 110 * MB),
        ('jpeg', 300, 1200, 4800), ('photo', 24, 400, 2400), ('gradient', 120, 128, 3000),
        ('icon', 5000, 0, 500 * 1000), ('vector', 1500, 0, 500 * 1000), ('font', 32, 0, 4 * MB),
        ('layout', 400, 4, 80), ('text', 500, 1000, 1 * MB), ('grain', 20, 1 * MB, 8 * MB)],
        fill=('tile', 4 * MB, 40 * MB)),
    'held-out-many-small': dict(target=100 * MB, themes=24, batches=[
        ('sprite', 7000, 8, 128), ('icon', 6000, 0, 64 * 1000), ('vector', 3000, 0, 64 * 1000),
        ('text', 2500, 200, 64 * 1000), ('jpeg', 600, 64, 480), ('layout', 800, 2, 16)],
        fill=('tile', 64 * 1000, 512 * 1000)),
}

WORDS = ('Albums Authors Radio Archive Lectures Recipes Atlas Islands Rivers Mountains Cities '
         'Harbours Gardens Letters Diaries Plays Essays Stars Planets Birds Trees Seasons').split()
ANCHORS = ('top', 'bottom', 'left', 'right', 'centre', 'fill')
VIEWS = ('grid', 'list', 'cover', 'detail', 'carousel')


class Draws:
    """Random draws from a seed text: Python's own for choices, PCG64's raw
    64-bit words for noise, both the same on every machine."""

    def __init__(self, seed):
        self.r = random.Random(seed)
        self.pcg = numpy.random.PCG64(int.from_bytes(hashlib.sha256(seed.encode()).digest()[:8],
                                                     'little'))

    def log_uniform(self, low, high):
        return int(round(math.exp(self.r.uniform(math.log(max(low, 1)), math.log(max(high, 1))))))

    def noise(self, count):
        """count bytes, uniform over 0..255."""
        return self.pcg.random_raw((count + 7) // 8).view(numpy.uint8)[:count]


def ordered(paths, seed):
    return sorted(paths, key=lambda p: hashlib.sha256(f'{seed}/{p}'.encode()).digest())


class Text:
    """Text from manual pages and documentation, one source after another in
    the seed's order, starting again after the last."""

    def __init__(self, seed):
        listing = subprocess.run(['dpkg', '-L', *TEXTS], check=True, capture_output=True,
                                 text=True).stdout.split('\n')
        self.paths = ordered([p for p in sorted(set(listing))
                              if re.search(r'(/man/.*\.gz|\.pod|\.rst|/copyright)$', p)
                              and os.path.isfile(p) and not os.path.islink(p)], seed)
        self.next, self.rest = 0, b''

    def take(self, size):
        pieces = []
        while size > 0:
            if not self.rest:
                path = self.paths[self.next % len(self.paths)]
                self.next += 1
                with (gzip.open(path) if path.endswith('.gz') else open(path, 'rb')) as f:
                    self.rest = f.read()
            pieces.append(self.rest[:size])
            size -= len(pieces[-1])
            self.rest = self.rest[len(pieces[-1]):]
        return b''.join(pieces)


def drawn_image(d, width, height, channels):
    """A texture as a designer draws one: a gradient, rings, a checker, stripes
    or waves between two colours, with noise of a random strength."""
    y = numpy.linspace(0, 1, height, dtype=numpy.float32)[:, None]
    x = numpy.linspace(0, 1, width, dtype=numpy.float32)[None, :]
    shape = d.r.choice(('linear', 'rings', 'checker', 'stripes', 'waves'))
    if shape == 'linear':
        angle = d.r.uniform(0, 2 * math.pi)
        t = x * math.cos(angle) + y * math.sin(angle)
    elif shape == 'rings':
        t = numpy.sqrt((x - d.r.random()) ** 2 + (y - d.r.random()) ** 2) * d.r.uniform(1, 6)
    elif shape == 'checker':
        cells = d.r.randint(2, 24)
        t = ((numpy.floor(x * cells) + numpy.floor(y * cells)) % 2) * 0.7 + 0.3 * x
    elif shape == 'stripes':
        t = (numpy.sin((x * d.r.uniform(2, 60) + y * d.r.uniform(0, 20)) * math.pi) + 1) / 2
    else:
        t = (numpy.sin(x * d.r.uniform(3, 15)) * numpy.cos(y * d.r.uniform(3, 15)) + 1) / 2
    t = numpy.broadcast_to(numpy.mod(t, 1.0001), (height, width))
    low = numpy.array([d.r.randint(0, 255) for _ in range(channels)], dtype=numpy.float32)
    high = numpy.array([d.r.randint(0, 255) for _ in range(channels)], dtype=numpy.float32)
    pixels = low + t[..., None] * (high - low)
    bits = d.r.choice((0, 0, 1, 2, 3, 4, 5))
    if bits:
        grain = (d.noise(pixels.size) >> (8 - bits)).reshape(pixels.shape).astype(numpy.float32)
        pixels += grain - (1 << bits) / 2
    return Image.fromarray(numpy.clip(pixels, 0, 255).astype(numpy.uint8),
                           'RGBA' if channels == 4 else 'RGB')


class Wallpapers:
    """The held-out wallpapers, each decoded when first cut, at most 4096
    pixels wide."""

    def __init__(self, seed):
        found = corpus.package_files(WALLPAPERS, r'\.(png|jpe?g)$', 100 * 1000)
        self.paths, self.images = ordered([p for p, _ in found], seed), {}

    def image(self, path):
        if path not in self.images:
            with Image.open(path) as image:
                self.images[path] = image.convert('RGB')
                self.images[path].thumbnail((4096, 4096))
        return self.images[path]

    def cut(self, d, side):
        """A window of a wallpaper, scaled so its longer side is `side`."""
        image = self.image(d.r.choice(self.paths))
        aspect = d.r.choice((1.0, 4 / 3, 3 / 2, 16 / 9, 2.0))
        width = d.r.randint(min(image.width, 64), image.width)
        height = min(image.height, max(8, int(width / aspect)))
        x, y = d.r.randint(0, image.width - width), d.r.randint(0, image.height - height)
        window = image.crop((x, y, x + width, y + height))
        scale = side / max(width, height)
        return window.resize((max(1, round(width * scale)), max(1, round(height * scale))),
                             Image.BILINEAR)


def encoded(image, form, **options):
    out = io.BytesIO()
    image.save(out, form, **options)
    return out.getvalue()


def raw_texture(d, size, bits):
    """size bytes of RGBA rows, 1024 pixels wide: a small tile repeated
    across the row, its colour drifting row by row, with noise of `bits`."""
    tile = numpy.asarray(drawn_image(d, d.r.choice((16, 32, 64, 128)), 8, 4))
    row = numpy.tile(tile, (1, 1024 // tile.shape[1] + 1, 1))[:, :1024]  # 8 rows of 1024
    drift = numpy.array([d.r.uniform(-0.3, 0.3) for _ in range(4)], dtype=numpy.float32)
    chunks, done = [], 0
    while done < size:
        rows = min(256, (size - done + 4095) // 4096)
        start = done // 4096
        block = numpy.tile(row, (rows // 8 + 2, 1, 1))[start % 8:start % 8 + rows]
        shift = (numpy.arange(start, start + rows, dtype=numpy.float32)[:, None, None] * drift) % 256
        pixels = ((block + shift) % 256).astype(numpy.uint8)
        if bits:
            pixels ^= (d.noise(pixels.size) >> (8 - bits)).reshape(pixels.shape)
        data = pixels.tobytes()[:size - done]
        chunks.append(data)
        done += len(data)
    return b''.join(chunks)


def layout_text(d, panels, images):
    """A layout of panels holding pictures and labels."""
    view = d.r.choice(VIEWS)
    lines = ['<?xml version="1.0" encoding="utf-8"?>',
             f'<layout name="{view}-{d.r.randint(0, 9999):04}" mode="{view}" '
             f'columns="{d.r.randint(1, 12)}" rows="{d.r.randint(1, 9)}">']
    for p in range(panels):
        lines.append(f'  <panel id="p{p}" anchor="{d.r.choice(ANCHORS)}" '
                     f'margin="{d.r.randint(0, 16)} {d.r.randint(0, 16)}">')
        for _ in range(d.r.randint(1, 8)):
            lines.append(f'    <image src="{escape(d.r.choice(images))}" '
                         f'width="{d.r.randint(8, 640)}" height="{d.r.randint(8, 480)}"/>')
        words = ' '.join(d.r.choice(WORDS) for _ in range(d.r.randint(1, 6)))
        lines.append(f'    <label size="{d.r.randint(8, 40)}" '
                     f'weight="{d.r.choice(("normal", "bold"))}">{words}</label>')
        lines.append('  </panel>')
    lines.append('</layout>')
    return ('\n'.join(lines) + '\n').encode()


class Builder:
    def __init__(self, name, folder, seed):
        self.folder, self.seed, self.names = folder, f'{seed}/{name}', corpus.Names()
        self.made = {}  # kind: [file names]
        self.text = self.wallpapers = None

    def draws(self, kind):
        return Draws(f'{self.seed}/{kind}')

    def write(self, kind, name, data):
        name = self.names.unique(name)
        with open(os.path.join(self.folder, name), 'wb') as f:
            f.write(data)
        self.made.setdefault(kind, []).append(name)

    def copies(self, kind, files, low, high):
        """Files of the packages in the seed's order, again under other
        names when the packages hold fewer."""
        packages, pattern = SOURCES[kind]
        paths = ordered([p for p, _ in corpus.package_files(packages, pattern, low, high)],
                        self.seed + '/' + kind)
        for i in range(files):
            path = paths[i % len(paths)]
            name = self.names.flat(kind, path)
            shutil.copyfile(path, os.path.join(self.folder, name))
            self.made.setdefault(kind, []).append(name)

    def batch(self, kind, files, low, high, index):
        if kind in SOURCES:
            return self.copies(kind, files, low, high)
        d = self.draws(f'{kind}-{index}')
        for i in range(files):
            stem = f'{kind}-{index}-{i:05}'
            if kind == 'text':
                self.text = self.text or Text(self.seed)
                self.write(kind, stem + '.txt', self.text.take(d.log_uniform(low, high)))
            elif kind in ('tile', 'grain'):
                bits = 1 if kind == 'tile' else d.r.choice((5, 6))
                self.write(kind, stem + '.tex', raw_texture(d, d.log_uniform(low, high), bits))
            elif kind in ('jpeg', 'photo'):
                self.wallpapers = self.wallpapers or Wallpapers(self.seed)
                image = self.wallpapers.cut(d, d.log_uniform(low, high))
                if kind == 'jpeg':
                    self.write(kind, stem + '.jpg', encoded(
                        image, 'JPEG', quality=d.r.randint(70, 97),
                        progressive=d.r.random() < 0.3, subsampling=d.r.choice((0, 2))))
                else:
                    self.write(kind, stem + '.png', encoded(image, 'PNG'))
            elif kind in ('gradient', 'sprite'):
                side = d.log_uniform(low, high)
                other = max(4, round(side / d.r.choice((1.0, 1.0, 4 / 3, 2.0, 4.0))))
                width, height = (side, other) if d.r.random() < 0.5 else (other, side)
                image = drawn_image(d, width, height, d.r.choice((3, 4)))
                self.write(kind, stem + '.png', encoded(image, 'PNG', compress_level=d.r.randint(3, 9)))
            elif kind == 'layout':
                images = self.made.get('icon', []) + self.made.get('sprite', []) + \
                    self.made.get('jpeg', [])
                self.write(kind, f'layout-{index}-{i:04}.xml',
                           layout_text(d, d.log_uniform(low, high), images))
            else:
                raise ValueError(f'no kind {kind}')

    def fill(self, target, kind, low, high):
        d = self.draws('fill')
        used = corpus.composition(self.folder)[1]
        if used > target:
            print(f'held_out_corpus: {used} bytes, past the {target} aimed at', file=sys.stderr)
        i, bits = 0, 1 if kind == 'tile' else 5
        while used < target:
            size = d.log_uniform(low, high)
            size = target - used if target - used - size < low else size
            self.write(kind, f'fill-{i:04}.tex', raw_texture(d, size, bits))
            used, i = used + size, i + 1


def build(name, folder, seed=SEED):
    recipe = RECIPES[name]
    os.makedirs(folder)
    builder = Builder(name, folder, seed)
    for index, (kind, files, low, high) in enumerate(recipe['batches']):
        builder.batch(kind, files, low, high, index)
    made = builder.made
    layouts = made.get('layout', [])
    backgrounds = made.get('jpeg', []) + made.get('photo', []) + made.get('gradient', [])
    icons = made.get('icon', []) + made.get('sprite', [])
    manifest = corpus.manifest_text(recipe['themes'], layouts, backgrounds, icons,
                                    seed=f'{builder.seed}/theme')
    with open(os.path.join(folder, 'main.xml'), 'w', encoding='utf-8', newline='\n') as f:
        f.write(manifest)
    builder.fill(recipe['target'], *recipe['fill'])
    corpus.check_manifest(folder)
    for entry in os.listdir(folder) + ['']:  # '': the folder itself, which tar records
        os.utime(os.path.join(folder, entry), (corpus.FIXED_MTIME, corpus.FIXED_MTIME))


def main(argv):
    if argv[1:] == ['--packages']:
        print(' '.join(sorted(set(ICON_THEMES + WALLPAPERS + FONTS + TEXTS + TOOLS))))
        return
    if len(argv) not in (3, 4) or argv[1] not in RECIPES:
        sys.exit(f'usage: held_out_corpus.py {"|".join(RECIPES)} DIR [SEED]'
                 '   or   held_out_corpus.py --packages')
    name, folder = argv[1], argv[2].rstrip('/')
    partial = folder + '.partial'  # a folder cut short by an interrupt is never taken as done
    shutil.rmtree(partial, ignore_errors=True)
    build(name, partial, argv[3] if len(argv) == 4 else SEED)
    shutil.rmtree(folder, ignore_errors=True)
    os.rename(partial, folder)
    corpus.summary(folder)


if __name__ == '__main__':
    main(sys.argv)
