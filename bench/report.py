#!/usr/bin/env python3
"""Writes the benchmark document and its plot from the results measure.py wrote.

    report.py CSV MARKDOWN PLOT NVTHEME COMMAND SIZE=FOLDER...
"""
import csv
import datetime
import os
import platform
import statistics
import subprocess
import sys
import zlib

import corpus
from measure import MANY_FILES

MB, MIB = 1000 * 1000, 1024 * 1024
BUILD_TOOLS = ['nvtheme build', 'nvtheme build --no-cache', 'nvtheme build -j 1', 'zip -r -q',
               'tar | pigz -p 2', '7z a']
COLOURS = ['#9400d3', '#cc79a7', '#009e73', '#56b4e9', '#e69f00', '#f0e442']  # one per tool in every plot
CHECK_TOOLS = ['nvtheme check', 'identify -regard-warnings', 'pngcheck + jpeginfo -c']
# Measured once, by hand, when build began to read every named image's
# blocks: bench/run times one build, so this comparison of two builds of
# nvtheme is kept here, to be measured again when the walk changes.
IMAGE_WALK = [
    '## What reading the images costs a build', '',
    '`nvtheme build` reads each block of every image the manifest names (PNG chunks and their '
    'CRCs, JPEG segments, GIF blocks) before it packs. Against the build of e91aa34, before '
    'any image was read, nine alternating pairs of `nvtheme build --no-cache` on 2026-12-08, on '
    'a machine whose two cores were shared with other work, gave these medians of the pairs\' '
    'ratios, new over old (range over the pairs); user CPU time is the steadier figure:', '',
    '| build | large: wall | large: user CPU | mixed-large: wall | mixed-large: user CPU |',
    '|---|---|---|---|---|',
    '| ffe0586, a JPEG scan read a byte a call | 1.04 (0.56–1.49) | 1.01 (0.99–1.03) '
    '| 1.09 (0.60–1.44) | 1.04 (1.01–1.06) |',
    '| 986d7b0, a JPEG scan passed over with `memchr` | 1.05 (0.56–1.24) | 0.97 (0.93–1.07) '
    '| 1.00 (0.92–1.47) | 1.00 (0.94–1.06) |', '',
    'The walk cost mixed-large\'s build about 4% of its CPU time (9% of its wall time, in '
    'noisy pairs) while a JPEG\'s entropy-coded data was read one call a byte, some 40 '
    'instructions a byte: on a folder of two large JPEG wallpapers and a large PNG the walk was '
    '80% of a build\'s instructions. Passed over with `memchr`, the walk is 20% of that '
    'folder\'s instructions (1309 million fell to 331), mostly the PNG chunks\' CRCs. Sampled by '
    '`perf record`, the walk\'s own code held 1.8% of the CPU samples of a build of '
    'mixed-large and 1.4% of large before, 0.02% and 0.01% after (their named images are 74 '
    'and 50 MB of a gigabyte): what is left of its cost, the PNG CRCs and the reads, no longer '
    'shows beside the noise of a build.',
]
REBUILD_TOOLS = ['nvtheme build, one file changed', 'zip -u -r -q, one file changed',
                 'nvtheme build, nothing changed']


def first_line(command):
    try:
        done = subprocess.run(command, capture_output=True, text=True)
    except OSError:
        return 'not installed'
    lines = [l.strip() for l in (done.stdout + done.stderr).splitlines() if l.strip()]
    return lines[0] if lines else 'unknown'


def machine(nvtheme):
    with open('/proc/cpuinfo') as f:
        cpu = next(l.split(':', 1)[1].strip() for l in f if l.startswith('model name'))
    with open('/proc/meminfo') as f:
        memory_kb = int(next(l.split()[1] for l in f if l.startswith('MemTotal')))
    os_name = platform.freedesktop_os_release().get('PRETTY_NAME', 'Linux')
    commit = first_line(['git', '-C', os.path.dirname(os.path.abspath(__file__)), 'describe',
                         '--always', '--dirty'])
    versions = ', '.join(f'{p} {first_line(["dpkg-query", "-W", "-f", "${Version}", p])}'
                         for p in ('zip', 'pigz', 'p7zip-full', 'zlib1g', 'libdeflate0', 'imagemagick',
                                   'pngcheck', 'jpeginfo', 'libpng16-16', 'libjpeg62-turbo'))
    return [
        f'- CPU: {cpu}, {os.cpu_count()} cores (`nproc`)',
        f'- Memory: {memory_kb / 1024 / 1024:.1f} GiB',
        f'- System: {os_name}, Linux {platform.release()}',
        f'- nvtheme: {first_line([nvtheme, "--version"])}, source {commit}, preset `linux` (RelWithDebInfo)',
        f'- Debian packages: {versions}; Python\'s zlib {zlib.ZLIB_RUNTIME_VERSION}',
    ]


def load(path):
    """{size: {tool: [rows]}} in the order the sizes were measured."""
    results = {}
    with open(path, newline='') as f:
        for row in csv.DictReader(f):
            results.setdefault(row['size'], {}).setdefault(row['tool'], []).append(row)
    return results


def summarise(rows):
    """Median and range of the good runs, or None with the failure's text."""
    good = [r for r in rows if r['status'] == 'ok']
    if not good:
        return None
    seconds = [float(r['seconds']) for r in good]
    cpus = [float(r['cpu_seconds']) / float(r['seconds']) for r in good if r.get('cpu_seconds')]
    return dict(median=statistics.median(seconds), low=min(seconds), high=max(seconds),
                cpus=statistics.median(cpus) if cpus else None,
                output=statistics.median([int(r['output_bytes']) for r in good if r['output_bytes']]
                                         or [0]),
                rss=max((int(r['peak_rss_kb']) for r in good if r['peak_rss_kb']), default=0),
                runs=len(good), of=len(rows))


def build_table(tools):
    zip_run = summarise(tools.get('zip -r -q', []))
    lines = ['| command | median s | min–max s | CPUs used | output MB | peak RSS MB '
             '| × faster than zip | output / zip |', '|---|---|---|---|---|---|---|---|']
    for tool in [t for t in BUILD_TOOLS if t in tools]:
        s, name = summarise(tools[tool]), tool.replace('|', '\\|')  # a bare | ends a table cell
        if s is None:
            lines.append(f'| `{name}` | — | — | — | — | — | — | {tools[tool][-1]["status"]} |')
            continue
        vs_zip = (f'{zip_run["median"] / s["median"]:.2f}', f'{s["output"] / zip_run["output"]:.3f}') \
            if zip_run else ('—', '—')
        cpus = '—' if s['cpus'] is None else f'{s["cpus"]:.2f}'
        lines.append(f'| `{name}` | {s["median"]:.3f} | {s["low"]:.3f}–{s["high"]:.3f} | {cpus} | '
                     f'{s["output"] / MB:.2f} | {s["rss"] / 1024:.1f} | {vs_zip[0]} | {vs_zip[1]} |')
    return lines


def rebuild_table(tools):
    """Bringing the outputs up to date after one line added to main.xml."""
    zip_run = summarise(tools.get(REBUILD_TOOLS[1], []))
    lines = ['| command | median s | min–max s | CPUs used | × zip -u\'s time |', '|---|---|---|---|---|']
    for tool in [t for t in REBUILD_TOOLS if t in tools]:
        s = summarise(tools[tool])
        if s is None:
            lines.append(f'| {tool} | — | — | — | {tools[tool][-1]["status"]} |')
            continue
        cpus = '—' if s['cpus'] is None else f'{s["cpus"]:.2f}'
        ratio = f'{s["median"] / zip_run["median"]:.2f}' if zip_run else '—'
        lines.append(f'| {tool} | {s["median"]:.3f} | {s["low"]:.3f}–{s["high"]:.3f} | {cpus} | {ratio} |')
    return lines


def images_checked(tools):
    """(files, bytes, 'N PNG, M JPEG') of the images check decodes."""
    kinds = [(t[16:], int(r[0]['files']), int(r[0]['output_bytes']))
             for t, r in tools.items() if t.startswith('images checked: ')]
    return (sum(k[1] for k in kinds), sum(k[2] for k in kinds),
            ', '.join(f'{files} {name}' for name, files, _ in sorted(kinds, key=lambda k: -k[1])))


def check_table(tools):
    """nvtheme check beside decoders run over the same images, and beside a build."""
    files, total, kinds = images_checked(tools)
    check = summarise(tools.get('nvtheme check', []))
    lines = [f'`nvtheme check` decodes the {files} images the manifest names ({kinds}; '
             f'{total / MB:.1f} MB); the decoders are given the same files:', '',
             '| command | median s | min–max s | CPUs used | peak RSS MB | MB of images per s '
             '| nvtheme check ÷ this |', '|---|---|---|---|---|---|---|']
    for tool in [t for t in CHECK_TOOLS if t in tools]:
        s = summarise(tools[tool])
        if s is None:
            lines.append(f'| `{tool}` | — | — | — | — | — | {tools[tool][-1]["status"]} |')
            continue
        cpus = '—' if s['cpus'] is None else f'{s["cpus"]:.2f}'
        ratio = f'{check["median"] / s["median"]:.2f}' if check else '—'
        lines.append(f'| `{tool}` | {s["median"]:.3f} | {s["low"]:.3f}–{s["high"]:.3f} | {cpus} | '
                     f'{s["rss"] / 1024:.1f} | {total / MB / s["median"]:.1f} | {ratio} |')
    reference, build = full_build(tools)
    if check:
        rivals = [(t, summarise(tools[t])) for t in CHECK_TOOLS[1:] if t in tools]
        told = [f'{check["median"] / r["median"]:.2f}× the time of `{t}`' for t, r in rivals if r]
        told += [f'`{t}` failed' for t, r in rivals if r is None]
        lines += ['', f'- `nvtheme check`: {check["median"]:.3f} s, ' + ', '.join(told) +
                  (f'; {check["median"] / build["median"]:.2f}× the time of `{reference}` '
                   f'({build["median"]:.3f} s), which walks the same images\' blocks' if build else '')]
    return lines


def inflate_table(tools):
    lines = ['| package | MB | zlib inflate s (median of 5) |', '|---|---|---|']
    for tool in [t for t in tools if t.startswith('zlib inflate: ')]:
        row = tools[tool][0]
        if row['status'] != 'ok':
            lines.append(f'| {tool[14:]} | — | {row["status"]} |')
        else:
            lines.append(f'| {tool[14:]} | {int(row["output_bytes"]) / MB:.2f} | {float(row["seconds"]):.3f} |')
    checks = [f'- {t[7:]}: {r[0]["status"]}' for t, r in tools.items() if t.startswith('check: ')]
    return lines + ([''] + checks if checks else [])


BUDGET_MIB = 256 + 64  # nvtheme's memory budget and what a process needs beside it
NVTHEME_TOOLS = BUILD_TOOLS[:3] + CHECK_TOOLS[:1] + [REBUILD_TOOLS[0], REBUILD_TOOLS[2]]


def full_build(tools):
    """(tool, summary) of the build check is set against: the default build
    (its package removed first, so all of it is made), else one without the cache."""
    for tool in ('nvtheme build', 'nvtheme build --no-cache'):
        s = summarise(tools.get(tool, []))
        if s:
            return tool, s
    return None, None


def is_large(size):
    return size.endswith('large')


def goals(tools, size):
    """[(met, line)]: each target for this folder that was measured. On a
    folder timed for the check alone, the targets of a default build and of
    rebuilds are not set."""
    zip_run, large = summarise(tools.get('zip -r -q', [])), is_large(size)
    found = []

    def add(met, what, goal_text):
        found.append((met, f'- {"met" if met else "**not met**"}: {what} (goal {goal_text})'))

    for tool, speedup in (('nvtheme build -j 1', 5), ('nvtheme build', 12 if large else 10)):
        s = summarise(tools.get(tool, []))
        if zip_run and s:
            times = zip_run['median'] / s['median']
            add(times >= speedup, f'`{tool}` {times:.2f}× as fast as `zip -r`', f'≥ {speedup}×')
        elif tool in tools:
            add(False, f'`{tool}` wrote no package: {tools[tool][-1]["status"]}', f'≥ {speedup}× `zip -r`')
    build = summarise(tools.get('nvtheme build', []))
    if build and build['cpus'] is not None:
        add(build['cpus'] >= 1.9, f'`nvtheme build` kept {build["cpus"]:.2f} CPUs busy', '≥ 1.9')
    if build and zip_run:
        ratio = build['output'] / zip_run['output']
        add(ratio <= 1.01, f'the package is {ratio:.3f}× the size of `zip -r`\'s output', '≤ 1.01×')
    zip_u = summarise(tools.get(REBUILD_TOOLS[1], []))
    for tool, bound in ((REBUILD_TOOLS[0], 0.75), (REBUILD_TOOLS[2], 0.5)):
        s = summarise(tools.get(tool, []))
        if s and zip_u:
            ratio = s['median'] / zip_u['median']
            add(ratio <= bound, f'{tool}: {s["median"]:.3f} s, {ratio:.2f}× the time of `zip -u` '
                'on the same change', f'≤ {bound}×')
    check = summarise(tools.get('nvtheme check', []))
    reference, full = full_build(tools)
    if check and full:
        ratio = check['median'] / full['median']
        add(ratio <= 0.25, f'`nvtheme check` {check["median"]:.3f} s, {ratio:.2f}× the time of '
            f'`{reference}` ({full["median"]:.3f} s)', '≤ 0.25×')
    peaks = [(summarise(tools[t])['rss'], t) for t in NVTHEME_TOOLS if summarise(tools.get(t, []))]
    if peaks:
        peak, tool = max(peaks)
        add(peak / 1024 <= BUDGET_MIB, f'peak RSS of nvtheme {peak / 1024:.1f} MiB (`{tool}`, the '
            'largest of its commands)', f'≤ {BUDGET_MIB} MiB: the 256 MiB budget + 64 MiB')
    inflate, reference = tools.get('zlib inflate: nvtheme package'), tools.get('zlib inflate: zlib level 6 package')
    if inflate and reference and inflate[0]['status'] == reference[0]['status'] == 'ok':
        ratio = float(inflate[0]['seconds']) / float(reference[0]['seconds'])
        add(ratio <= 1, f'zlib inflates the nvtheme package in {ratio:.2f}× the time of the '
            'zlib-level-6 package', '≤ 1×')
    plain = summarise(tools.get('nvtheme build --no-cache', []))
    if build and plain:
        ratio = build['median'] / plain['median']
        add(ratio <= 1, f'a first build keeping the cache takes {ratio:.2f}× the time of '
            '`nvtheme build --no-cache`', '≤ 1×')
    return found


def summary_table(results, folders):
    """One row per folder: the figures the goals are about."""
    lines = ['| folder | files | MB | `nvtheme build` s | × `zip -r` | `-j 1` × `zip -r` | CPUs used '
             '| output / zip | `nvtheme check` s | check ÷ build | nvtheme peak RSS MiB | goals met |',
             '|---|---|---|---|---|---|---|---|---|---|---|---|']
    for size in [s for s in results if not held_out(s)] + [s for s in results if held_out(s)]:
        tools, (files, total, _, _) = results[size], corpus.composition(folders[size])
        zip_run, check = summarise(tools.get('zip -r -q', [])), summarise(tools.get('nvtheme check', []))
        reference, build = full_build(tools)
        one = summarise(tools.get('nvtheme build -j 1', []))
        peaks = [summarise(tools[t])['rss'] for t in NVTHEME_TOOLS if summarise(tools.get(t, []))]
        found = goals(tools, size) if size != 'small' else []
        name = size + (' (held out)' if held_out(size) else '')

        def cell(value, form):
            return '—' if value is None else form.format(value)
        lines.append(' | '.join([
            f'| {name}', f'{files}', f'{total / MB:.1f}',
            cell(build and build['median'], '{:.3f}') + ('' if reference in (None, 'nvtheme build')
                                                          else ' (`--no-cache`)'),
            cell(zip_run and build and zip_run['median'] / build['median'], '{:.2f}'),
            cell(zip_run and one and zip_run['median'] / one['median'], '{:.2f}'),
            cell(build and build['cpus'], '{:.2f}'),
            cell(zip_run and build and build['output'] / zip_run['output'], '{:.3f}'),
            cell(check and check['median'], '{:.3f}'),
            cell(check and build and check['median'] / build['median'], '{:.2f}'),
            cell(max(peaks) / 1024 if peaks else None, '{:.1f}'),
            f'{sum(m for m, _ in found)} of {len(found)}' if found else '—']) + ' |')
    return lines


def held_out(size):
    return size.startswith('held-out-')


def plot(results, image):
    """Throughput and peak memory per command and corpus, as grouped bars;
    the held-out folders last, marked so."""
    tools = [t for t in BUILD_TOOLS if any(summarise(r.get(t, [])) for r in results.values())]
    order = [s for s in results if not held_out(s)] + [s for s in results if held_out(s)]
    data = os.path.splitext(image)[0] + '.dat'
    with open(data, 'w') as f:
        for column in ('throughput', 'rss'):
            f.write('"corpus" ' + ' '.join(f'"{t}"' for t in tools) + '\n')
            for size in order:
                by_tool = results[size]
                total, values = int(next(iter(by_tool.values()))[0]['corpus_bytes']), []
                for tool in tools:
                    s = summarise(by_tool.get(tool, []))
                    values.append('-' if s is None else
                                  f'{total / MB / s["median"]:.2f}' if column == 'throughput' else
                                  f'{s["rss"] / 1024:.1f}')
                label = f'{size[9:]}, held out' if held_out(size) else size
                f.write(f'"{label}" ' + ' '.join(values) + '\n')
            f.write('\n\n')
    bars = ', '.join(f'"{data}" index INDEX using {i + 2}{":xtic(1)" if i == 0 else ""} '
                     f'title columnheader({i + 2}) linecolor rgb "{COLOURS[BUILD_TOOLS.index(t)]}"'
                     for i, t in enumerate(tools))
    script = f'''
set terminal pngcairo size {max(1100, 160 * len(order))},520 font "sans,10"
set output "{image}"
set multiplot layout 1,2 title "nvtheme build and archivers on the same theme folder ({os.cpu_count()} cores)"
set style data histograms
set style histogram clustered gap 1
set style fill solid 0.85 border -1
set datafile missing "-"
set grid ytics
set key below font ",9"
set xtics rotate by -25 left font ",9"
set logscale y
set ylabel "MB of folder per second (higher is better, log scale)"
plot {bars.replace('INDEX', '0')}
unset logscale y
set yrange [0:*]
set ylabel "peak RSS, MB (largest process)"
plot {bars.replace('INDEX', '1')}
unset multiplot
'''
    subprocess.run(['gnuplot'], input=script, text=True, check=True)
    os.remove(data)


def document(results, nvtheme, command, folders, csv_name, image_name):
    failed = [s for s, tools in results.items() if full_build(tools)[1] is None]
    out = ['# Benchmarks', '']
    if failed:
        out += [f'> **Preliminary run.** `nvtheme build` wrote no package for: {", ".join(failed)}; '
                'its rows show why. The archivers\' figures stand; rerun `bench/run` once nvtheme packs.', '']
    out += [f'Made by `{command}` on {datetime.date.today().isoformat()}. Raw results: '
            f'[{csv_name}]({csv_name}).', '', '## Machine', ''] + machine(nvtheme)
    out += ['', '## Commands', '',
            'Each runs inside the theme folder (nvtheme is given its path) and writes a fresh output: ',
            '', '```', 'nvtheme build FOLDER             # writes FOLDER.nvp beside the folder',
            'nvtheme build --no-cache FOLDER  # when nvtheme keeps a build cache',
            'nvtheme build -j 1 FOLDER        # when nvtheme accepts -j', 'zip -r -q OUT.zip .',
            'tar -cf - . | pigz -p 2 > OUT.tar.gz', '7z a -bd -bso0 -bsp0 OUT.7z .', '```', '',
            'Then, with the cache: a line added to `main.xml`, two seconds waited (zip tells '
            'changes by times of two seconds\' grain), and `nvtheme build FOLDER` and '
            '`zip -u -r -q OUT.zip .` bring the package and the zip up to date, taking turns at '
            'going first; `nvtheme build FOLDER` once more with nothing changed. Before each, '
            'what earlier commands left to write is written (`sync`), so that none pays for '
            'another\'s writeback. zip -u keeps a file\'s time as MS-DOS does, to two seconds: '
            'an edit made within the two seconds of the time it recorded goes unseen ("nothing '
            'to do", exit 12), so the edit waits until two seconds after `main.xml`\'s last time, '
            'and a run of either counts only when it exits 0. After the first round, the package '
            'brought up to date must equal one built from the changed folder without the cache. '
            'The build cache is kept under the work folder, and `main.xml` put back afterwards.', '',
            'Last, the packages are compared byte for byte: the default build\'s against one built '
            'with `--no-cache` and one built again with nothing changed (its blocks taken from '
            'the cache), and against one built on one thread (`--no-cache -j 1`, so that no '
            'block comes from the cache).', '',
            f'A folder of more than {MANY_FILES:,} files is one to time the check on: only '
            '`nvtheme build --no-cache` and `zip -r -q` are timed beside the check and the '
            'decoders, with no rebuilds.', '',
            'Rounds run every command once, in this order, several times over; the tables give the '
            'median and range of the wall times. The folder is read once beforehand, so every round '
            'finds it in the page cache. Peak RSS is `/usr/bin/time -f %M`: for a pipeline, its '
            'largest process. CPUs used is the user and system time of every process over the wall '
            'time (median of the runs): 2 means both cores busy throughout; on a shared machine, '
            '`nvtheme build` well below 2 says other work held a core, and its times grew with it. zlib\'s inflate is Python\'s `zlib.decompress` over every entry of a '
            'package, given both sizes, against a package of the same folder with every file '
            'deflated by zlib at level 6.', '',
            'In the same rounds, `nvtheme check FOLDER` and two ways a theme\'s author would check '
            'that its images decode, given the images the manifest names that check reads as PNG, '
            'JPEG, GIF or BMP (listed by `nvtheme check --format=json`):', '', '```',
            'nvtheme check FOLDER                  # decodes each named image, on both cores',
            'identify -regard-warnings IMAGE...    # ImageMagick: every format, one process',
            'pngcheck PNG... && jpeginfo -c JPEG...  # a checker for each format, when all are PNG or JPEG',
            '```', '',
            '`nvtheme check` keeps the verdicts of the images it decoded whole in its cache, and the '
            'check that lists the images fills it before the rounds: each timed check takes an '
            'unchanged image\'s verdict from there and decodes none, as an author\'s checks on '
            'save do. A first check decodes every image, as the decoders do each time.', '',
            'ImageMagick\'s `identify` is what an author reaches for first: one command for all '
            'four formats, which decodes every pixel unless given `-ping`. It needs '
            '`-regard-warnings` to fail on a damaged file (without it, a PNG or JPEG cut short '
            'passes with exit 0), and then also fails on warnings about metadata: it refuses a '
            'sound JPEG of mixed-large whose XMP packet its XML parser rejects, which libjpeg, '
            '`jpeginfo` and `nvtheme check` decode whole. So `pngcheck` and `jpeginfo -c`, the '
            'checkers Debian packages for one format each, stand beside it. `jpeginfo -c` decodes '
            'with libjpeg; `pngcheck` checks each chunk\'s CRC and inflates the image data '
            'without unfiltering a row, so it passes a PNG whose image data stops short inside a '
            'sound chunk, which `identify` and `nvtheme check` refuse: it does less than check. '
            'The ratios are taken against each. A decoder\'s run counts only when it exits 0 and '
            'its output names every file as '
            'read.', '', f'![throughput and memory]({image_name})', '', '## Against the goals', '',
            'For each folder but `small`: `nvtheme build -j 1` at least 5× as fast as `zip -r`; '
            '`nvtheme build` at least 10× as fast on a folder of about 100 MB and 12× on one of '
            'a gigabyte (`*-large`), with at least 1.9 CPUs busy, and a package at most 1.01× '
            'the size of the zip; after one change, a rebuild in at most 0.75× the time of '
            '`zip -u`, and with nothing changed in at most 0.5×; `nvtheme check` in at most '
            '0.25× the time of a full build; every nvtheme command\'s peak RSS at most '
            f'{BUDGET_MIB} MiB (its 256 MiB budget + 64 MiB). Held-out folders, which nvtheme '
            'is never tuned on, are marked so:', ''] + summary_table(results, folders) + [''] + IMAGE_WALK
    tuned = [s for s in results if not held_out(s)]
    held = [s for s in results if held_out(s)]
    for size in tuned + held:
        tools = results[size]
        if size == (held or [None])[0]:
            out += ['', '## Held-out folders', '',
                    'Made by `bench/held_out_corpus.py`, which shares no recipe with the folders '
                    'above: other packages, textures drawn as gradients and tiles, text from '
                    'manual pages, JPEG and PNG cut from wallpapers at random sizes and qualities, '
                    'another spread of sizes and another seed. nvtheme is never tuned on them: '
                    'their figures say whether what was measured above holds elsewhere.']
        files, total, largest, kinds = corpus.composition(folders[size])
        png = next((k for k in kinds if k[0] == '.png'), ('.png', 0, 0))
        heading = '###' if held_out(size) else '##'
        out += ['', f'{heading} {size}{" (held out)" if held_out(size) else ""}: {files} files, '
                f'{total / MB:.1f} MB', '',
                f'Largest file {largest / MB:.1f} MB; PNG {png[1]} files ({100 * png[1] / files:.0f}%), '
                f'{100 * png[2] / total:.0f}% of the bytes. By kind: ' +
                ', '.join(f'{ext} {count} ({size_ / MB:.1f} MB)' for ext, count, size_ in kinds) + '.',
                ''] + build_table(tools) + [''] + inflate_table(tools)
        if any(t in tools for t in REBUILD_TOOLS):
            out += ['', 'After one line is added to `main.xml`, each output brought up to date, '
                    'and nvtheme once more with nothing changed:', ''] + rebuild_table(tools)
        if 'zip -r -q' not in tools:
            out += ['', '`zip -r -q` was not timed on this folder.']
        if size != 'small':
            out += ['', f'Against the goals for the {size} folder:', ''] + [l for _, l in goals(tools, size)]
        if any(t in tools for t in CHECK_TOOLS):
            out += ['', f'{heading}# Checking the images', ''] + check_table(tools)
    return '\n'.join(out) + '\n'


def main(argv):
    if len(argv) < 7:
        sys.exit('usage: report.py CSV MARKDOWN PLOT NVTHEME COMMAND SIZE=FOLDER...')
    csv_path, markdown, image, nvtheme, command = argv[1:6]
    folders = dict(a.split('=', 1) for a in argv[6:])
    results = load(csv_path)
    plot(results, image)
    here = os.path.dirname(os.path.abspath(markdown))
    text = document(results, nvtheme, command, folders, os.path.relpath(csv_path, here),
                    os.path.relpath(image, here))
    with open(markdown, 'w') as f:
        f.write(text)


if __name__ == '__main__':
    main(sys.argv)
