#!/usr/bin/env python3
"""Times nvtheme build against the archivers an author would use instead, and
nvtheme check against the decoders an author would check images with.

    measure.py --runs N --csv FILE --nvtheme PATH --work DIR SIZE=FOLDER...

Each round runs every command once, in a fixed order, so that a slow spell of
the shared machine lands on all of them alike rather than on one. Wall time is
taken around the command; peak resident memory comes from /usr/bin/time (the
largest single process of a pipeline). Then, when nvtheme keeps a build cache,
one line is added to main.xml and nvtheme build and zip -u bring their outputs
up to date, and nvtheme builds once more with nothing changed; main.xml is put
back as it was. Last, the packages of builds with and without the cache, and
on one thread, are compared byte for byte, and zlib's inflate of the nvtheme
package is timed against a zlib-level-6 package of the same folder.

A folder of more than MANY_FILES files is one to time the check on: only
nvtheme build --no-cache and zip -r are timed beside check and the decoders.

nvtheme check decodes every image the manifest names; the decoders run over
the same files, those check reads as PNG, JPEG, GIF or BMP, in the same
rounds as the builds. A decoder's run counts only when it exits 0 and names
each file as decoded in its output. Rows "images checked: FORMAT" give the
number of those files (`files`) and their bytes (`output_bytes`).
"""
import argparse
import csv
import json
import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import time

import nvp

SEVEN_ZIP_LIMIT = 500 * 1000 * 1000  # bytes of folder
MANY_FILES = 100 * 1000
DOS_GRAIN = 2  # seconds: zip keeps a file's time as MS-DOS does

COLUMNS = ['size', 'corpus_bytes', 'tool', 'run', 'seconds', 'output_bytes', 'peak_rss_kb',
           'status', 'cpu_seconds', 'files']


def accepts(nvtheme, pattern):
    usage = subprocess.run([nvtheme, '--help'], capture_output=True, text=True).stdout
    return re.search(pattern, usage) is not None


def accepts_jobs(nvtheme):
    return accepts(nvtheme, r'(?<![\w-])(-j|--jobs)\b')


def keeps_cache(nvtheme):
    return accepts(nvtheme, r'--no-cache\b')


def commands(nvtheme, folder, work, jobs, cache):
    """(tool, command, output). Commands run inside the folder, so archives hold bare names."""
    stem = os.path.join(work, os.path.basename(folder))
    if many_files(folder):
        return [('nvtheme build --no-cache', [nvtheme, 'build', '--no-cache', folder], folder + '.nvp'),
                ('zip -r -q', ['zip', '-r', '-q', stem + '.zip', '.'], stem + '.zip')]
    found = [('nvtheme build', [nvtheme, 'build', folder], folder + '.nvp')]
    if cache:
        found.append(('nvtheme build --no-cache', [nvtheme, 'build', '--no-cache', folder],
                      folder + '.nvp'))
    if jobs:
        found.append(('nvtheme build -j 1', [nvtheme, 'build', '-j', '1', folder], folder + '.nvp'))
    tar_gz = stem + '.tar.gz'
    found += [
        ('zip -r -q', ['zip', '-r', '-q', stem + '.zip', '.'], stem + '.zip'),
        ('tar | pigz -p 2', ['bash', '-c', f'tar -cf - . | pigz -p 2 > {shlex.quote(tar_gz)}'], tar_gz),
    ]
    # 7z takes minutes a round on a large folder, and is no rival there.
    if folder_bytes(folder) < SEVEN_ZIP_LIMIT:
        found.append(('7z a', ['7z', 'a', '-bd', '-bso0', '-bsp0', stem + '.7z', '.'], stem + '.7z'))
    return found


def rebuilds(nvtheme, folder, work):
    """(tool, command, output) of bringing outputs up to date after one change,
    and of a build with nothing changed."""
    stem = os.path.join(work, os.path.basename(folder))
    return [
        ('nvtheme build, one file changed', [nvtheme, 'build', folder], folder + '.nvp'),
        ('zip -u -r -q, one file changed', ['zip', '-u', '-r', '-q', stem + '.zip', '.'],
         stem + '.zip'),
    ], ('nvtheme build, nothing changed', [nvtheme, 'build', folder], folder + '.nvp')


def timed(command, folder, log):
    """(seconds, exit status, peak RSS KB, CPU seconds: user and system, of
    every process); what the command writes goes to the log."""
    with tempfile.NamedTemporaryFile('r') as rss, open(log, 'wb') as out:
        start = time.perf_counter()
        done = subprocess.run(['/usr/bin/time', '-f', '%M %U %S', '-o', rss.name] + command,
                              cwd=folder, stdout=out, stderr=subprocess.STDOUT)
        seconds = time.perf_counter() - start
        peak_kb, user, system = rss.read().split()[-3:]
    return seconds, done.returncode, peak_kb, float(user) + float(system)


def run_once(command, folder, output, log, fresh=True):
    """(seconds, output bytes, peak RSS KB, status, CPU seconds: user and system,
    of every process). Archivers add to an existing archive, so the output is
    removed first, unless the command is to bring it up to date."""
    if fresh and os.path.exists(output):
        os.remove(output)
    seconds, returncode, peak_kb, cpu = timed(command, folder, log)
    size = os.path.getsize(output) if os.path.exists(output) else 0
    if returncode == 0 and size:
        return seconds, size, int(peak_kb), 'ok', cpu
    return (seconds, size, int(peak_kb), f'exit {returncode}, no output; log ends '
            f'"{last_line(log)}"', cpu)


def last_line(log):
    with open(log, 'rb') as f:
        lines = [line.strip() for line in f.read().decode('utf-8', 'replace').splitlines()]
    return next((line for line in reversed(lines) if line), 'nothing written')


def referenced_images(nvtheme, folder, log):
    """{format: [file names]} of the distinct images the manifest names that
    nvtheme check reads as an image, from its JSON report; None when check
    lists no images or fails."""
    with open(log, 'wb') as out:
        done = subprocess.run([nvtheme, 'check', '--format=json', folder], stdout=subprocess.PIPE,
                              stderr=out)
    try:
        report = json.loads(done.stdout)
        images = [image for f in report['folders'] for image in f['images']]
    except (ValueError, KeyError, TypeError):
        return None
    found = {}
    for image in images:
        if image['format'] and image['name'] not in found.get(image['format'], []):
            found.setdefault(image['format'], []).append(image['name'])
    return found or None


def decoded_by_identify(text):
    """The files identify described: one line per frame, "NAME[FRAME] FORMAT ..."."""
    return {re.sub(r'\[\d+\]$', '', line.split()[0]) for line in text.splitlines()
            if len(line.split()) > 2}


def decoded_by_pngcheck_jpeginfo(text):
    """pngcheck's "OK: NAME (...)" lines and jpeginfo -c's "NAME ... OK" lines."""
    names = set()
    for line in text.splitlines():
        words = line.split()
        if len(words) > 1 and words[0] == 'OK:':
            names.add(words[1])
        elif len(words) > 1 and words[-1] == 'OK':
            names.add(words[0])
    return names


def check_commands(nvtheme, folder, images):
    """(tool, command, files it must name as decoded, how its output names
    them), the commands run inside the folder. identify decodes every format
    check reads; pngcheck and jpeginfo only PNG and JPEG."""
    names = [name for found in images.values() for name in found]
    found = [('nvtheme check', [nvtheme, 'check', folder], None, None),
             ('identify -regard-warnings', ['identify', '-regard-warnings'] + names, names,
              decoded_by_identify)]
    if set(images) <= {'PNG', 'JPEG'}:
        steps = []
        if images.get('PNG'):
            steps.append(shlex.join(['pngcheck'] + images['PNG']))
        if images.get('JPEG'):
            steps.append(shlex.join(['jpeginfo', '-c'] + images['JPEG']))
        found.append(('pngcheck + jpeginfo -c', ['bash', '-c', ' && '.join(steps)], names,
                      decoded_by_pngcheck_jpeginfo))
    return found


def run_check(command, folder, log, names, decoded):
    """(seconds, peak RSS KB, status, CPU seconds). A decoder's run is good
    only when it names every file as decoded, for one that exits 0 having
    read none is no yardstick."""
    seconds, returncode, peak_kb, cpu = timed(command, folder, log)
    status = 'ok'
    if returncode != 0:
        status = f'exit {returncode}; log ends "{last_line(log)}"'
    elif names is not None:
        with open(log, 'rb') as f:
            missing = set(names) - decoded(f.read().decode('utf-8', 'replace'))
        if missing:
            status = f'{len(missing)} of {len(names)} files not decoded, such as {sorted(missing)[0]}'
    return seconds, int(peak_kb), status, cpu


def many_files(folder):
    return sum(1 for _ in os.scandir(folder)) > MANY_FILES


def wait_past_grain(path):
    """Waits until a write would give the file a time in a later two-second
    step than it has: zip -u sees an edit made in the same step as the time
    it recorded as no change ("nothing to do", exit 12)."""
    while time.time() // DOS_GRAIN <= os.path.getmtime(path) // DOS_GRAIN:
        time.sleep(0.05)


def folder_bytes(folder):
    return sum(e.stat().st_size for e in os.scandir(folder) if e.is_file())


def warm_cache(folder):
    """Reads the folder once, so that every round finds it in the page cache."""
    for entry in os.scandir(folder):
        with open(entry.path, 'rb') as f:
            while f.read(1 << 20):
                pass


def time_rebuilds(size, total, nvtheme, folder, work, run, record):
    """One line added to main.xml, then each output brought up to date; then
    nvtheme once more with nothing changed. zip -u tells changes by times of
    two seconds' grain, so the change is made two seconds after the file's
    last time, and nvtheme trusts no file changed within two seconds of its
    last build, so it is made that long before either runs; either missing
    the change (zip -u's exit 12) fails the run. After the first round, the
    package brought up to date must equal one built without the cache. What
    earlier commands left to write (a gigabyte of tar.gz, say) is written
    before each starts, so that none is slowed by another's writeback, and
    the two take turns at going first."""
    manifest = os.path.join(folder, 'main.xml')
    with open(manifest, 'rb') as f:
        original = f.read()
    changed, unchanged = rebuilds(nvtheme, folder, work)
    try:
        wait_past_grain(manifest)
        with open(manifest, 'ab') as f:
            f.write(b'<!-- rebuilt %d -->\n' % run)
        time.sleep(DOS_GRAIN + 0.1)
        for tool, command, output in (changed if run % 2 else changed[::-1]) + [unchanged]:
            os.sync()
            log = os.path.join(work, f'{size}-rebuild.log')
            seconds, out_bytes, peak_kb, status, cpu = run_once(command, folder, output, log,
                                                               fresh=False)
            record(size, total, tool, run, f'{seconds:.4f}', out_bytes, peak_kb, status,
                   f'{cpu:.3f}')
            print(f'bench: {size} run {run}: {tool:32} {seconds:8.3f} s  {status}', file=sys.stderr)
        if run == 1:
            fresh = os.path.join(work, size + '.no-cache.nvp')
            record(size, total, 'check: package brought up to date equals one built without the cache',
                   1, '', '', '', same_bytes(folder + '.nvp', fresh,
                                             [nvtheme, 'build', '--no-cache', '-o', fresh, folder]))
            os.remove(fresh)
    finally:
        with open(manifest, 'wb') as f:
            f.write(original)


def same_bytes(reference, output, command, fresh=True):
    """'yes' when the command writes `output` with the bytes of `reference`;
    the output is removed first unless the command is to bring it up to date."""
    if fresh and os.path.exists(output):
        os.remove(output)
    done = subprocess.run(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    if done.returncode != 0 or not os.path.exists(output):
        return f'no: {shlex.join(command[1:])} exited {done.returncode}'
    with open(reference, 'rb') as a, open(output, 'rb') as b:
        return 'yes' if a.read() == b.read() else 'no: the bytes differ'


def time_inflate(size, total, nvtheme, folder, work, jobs, cache, record):
    """The package built by default against those built without the cache
    and on one thread; then zlib restoring nvtheme's package, and a
    zlib-level-6 package of the folder. A package built again with nothing
    changed takes its blocks from the cache, so -j 1 is compared without it."""
    package, log = folder + '.nvp', os.path.join(work, size + '-inflate.log')
    if os.path.exists(package):  # a build that stops early must not leave an old one to time
        os.remove(package)
    with open(log, 'wb') as out:
        done = subprocess.run([nvtheme, 'build', folder], stdout=out, stderr=subprocess.STDOUT)
    built = done.returncode == 0 and os.path.exists(package)
    other, no_cache = os.path.join(work, size + '.other.nvp'), ['--no-cache'] if cache else []
    if cache and built:
        made = [same_bytes(package, other, [nvtheme, 'build', '--no-cache', '-o', other, folder])]
        shutil.copyfile(package, other)
        made.append(same_bytes(other, package, [nvtheme, 'build', folder], fresh=False))
        record(size, total, 'check: package with the cache equals package without', 1, '', '',
               '', next((m for m in made if m != 'yes'), 'yes'))
    if jobs and built:
        record(size, total, 'check: -j 1 package equals default package', 1, '', '', '',
               same_bytes(package, other, [nvtheme, 'build', *no_cache, '-j', '1', '-o', other,
                                           folder]))
    if os.path.exists(other):
        os.remove(other)
    reference = os.path.join(work, size + '.zlib6.nvp')
    nvp.pack(folder, reference, 6)
    for tool, path in (('zlib inflate: nvtheme package', package),
                       ('zlib inflate: zlib level 6 package', reference)):
        if not (built or path == reference):
            record(size, total, tool, 1, '', '', '', f'no package; log ends "{last_line(log)}"')
            continue
        try:
            found = nvp.read_checked(path)
            record(size, total, tool, 1, f'{nvp.inflate_seconds(found, 5):.4f}',
                   os.path.getsize(path), '', 'ok')
        except nvp.PackageError as e:
            record(size, total, tool, 1, '', os.path.getsize(path), '', f'unreadable: {e}')


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('--runs', type=int, default=5)
    parser.add_argument('--csv', required=True)
    parser.add_argument('--nvtheme', required=True)
    parser.add_argument('--work', required=True)
    parser.add_argument('corpora', nargs='+', metavar='SIZE=FOLDER')
    args = parser.parse_args()
    jobs, cache = accepts_jobs(args.nvtheme), keeps_cache(args.nvtheme)
    os.makedirs(args.work, exist_ok=True)
    # nvtheme's build cache, apart from the user's own.
    os.environ['XDG_CACHE_HOME'] = os.path.join(os.path.abspath(args.work), 'cache')
    with open(args.csv, 'w', newline='') as f:
        writer = csv.writer(f)
        writer.writerow(COLUMNS)

        def record(*row):
            writer.writerow(row)
            f.flush()

        for corpus in args.corpora:
            size, folder = corpus.split('=', 1)
            folder, total = os.path.abspath(folder), folder_bytes(folder)
            warm_cache(folder)
            tools = commands(args.nvtheme, folder, args.work, jobs, cache)
            images = referenced_images(args.nvtheme, folder, os.path.join(args.work, f'{size}-images.log'))
            checks = check_commands(args.nvtheme, folder, images) if images else []
            for image_format, names in (images or {}).items():
                record(size, total, f'images checked: {image_format}', 1, '',
                       sum(os.path.getsize(os.path.join(folder, n)) for n in names), '', 'ok', '',
                       len(names))
            for run in range(1, args.runs + 1):
                for tool, command, output in tools:
                    log = os.path.join(args.work, f'{size}-{tool.split()[0]}.log')
                    seconds, out_bytes, peak_kb, status, cpu = run_once(command, folder, output, log)
                    record(size, total, tool, run, f'{seconds:.4f}', out_bytes, peak_kb, status,
                           f'{cpu:.3f}')
                    print(f'bench: {size} run {run}/{args.runs}: {tool:20} {seconds:8.3f} s  {status}',
                          file=sys.stderr)
                for tool, command, names, decoded in checks:
                    log = os.path.join(args.work, f'{size}-{tool.split()[0]}.log')
                    seconds, peak_kb, status, cpu = run_check(command, folder, log, names, decoded)
                    record(size, total, tool, run, f'{seconds:.4f}', '', peak_kb, status, f'{cpu:.3f}',
                           sum(len(n) for n in images.values()))
                    print(f'bench: {size} run {run}/{args.runs}: {tool:20} {seconds:8.3f} s  {status}',
                          file=sys.stderr)
                if cache and not many_files(folder):
                    time_rebuilds(size, total, args.nvtheme, folder, args.work, run, record)
            time_inflate(size, total, args.nvtheme, folder, args.work, jobs, cache, record)


if __name__ == '__main__':
    main()
