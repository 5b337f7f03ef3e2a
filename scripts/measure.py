#!/usr/bin/env python3
"""Performance figures of the saver under wine, printed, never asserted (README, Measurements):

  measure.py [--build win64|win32] [fill] [latency] [cpu] [monitors] [memory] [long]

fill, latency and cpu when none is named; --build picks the Windows tree (win64 unless told). Each
runs on private X screens (scripts/wine.sh session) with a private wine prefix in build/measure/.
"""
import ctypes
import glob
import json
import os
import re
import shutil
import statistics
import subprocess
import sys
import threading
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE_SH = os.path.join(ROOT, 'scripts', 'wine.sh')
WORK = os.path.join(ROOT, 'build', 'measure')
TEXTURES = sorted(glob.glob(os.path.join(ROOT, 'resources', 'textures', '*')))
UNIFORM = [os.path.join(WORK, name) for name in ('uniform_a.png', 'uniform_b.png')]
# Width, height and the primary monitor's right edge of a screen that is not WIDTHxHEIGHT.
SCREENS = {'two-monitors': (1824, 768, 1024)}


def run(*command, **options):
    return subprocess.run(command, check=True, **options)


def build(tree, *targets):
    run('bash', os.path.join(ROOT, 'scripts', 'build.sh'), tree, *targets, stdout=sys.stderr)


def in_session(screen, function, *args):
    """Runs this script's FUNCTION(*ARGS) on a private screen with the prefix ready."""
    run('bash', WINE_SH, 'session', screen, PREFIX, ARCH,
        os.path.join(WORK, 'wine.log'), sys.executable, __file__, '--inner', function, *args)


def wine_sh(function, *args):
    """One function of scripts/wine.sh, in the session's prefix."""
    with open(os.path.join(WORK, 'wine.log'), 'a') as log:
        run('bash', '-c', 'source "$1"; "${@:2}"', 'bash', WINE_SH, function, *args, stdout=log, stderr=log)


def saver_settings(interval, refresh, textures):
    wine_sh('vesperine_saver_settings', os.path.join(WORK, 'settings.reg'), interval, refresh,
            *textures)


def show_desktop(width, height, landscape=False):
    """A desktop of one colour, or the landscape, on the root window, which the saver captures."""
    path = os.path.join(WORK, f'desktop-{width}x{height}.png')
    if landscape:
        run('bash', os.path.join(ROOT, 'scripts', 'landscape.sh'), str(width), str(height), path)
    else:
        run('convert', '-size', f'{width}x{height}', 'xc:#406080', 'PNG24:' + path)
    subprocess.run(['display', '-window', 'root', path])  # exits with 1 after setting it


class Saver:
    """The saver started full screen through scripts/wine.sh; pid is its own process (the
    Windows program), not a launcher's."""

    def __init__(self, wait_shown=True):
        script = ('source "$1"; vesperine_start_program "$2" "$3" /s; echo "$VESPERINE_PID"; '
                  'if [[ -n $4 ]]; then vesperine_wait_window "Screen Saver"; echo shown; fi; '
                  'wait "$VESPERINE_PID"')
        self.shell = subprocess.Popen(
            ['bash', '-c', script, 'bash', WINE_SH, os.path.join(WORK, 'wine.log'), SAVER,
             'wait' if wait_shown else ''], stdout=subprocess.PIPE, text=True)
        self.pid = own_process(int(self.shell.stdout.readline()))
        if wait_shown and self.shell.stdout.readline().strip() != 'shown':
            sys.exit('measure: the saver did not show its window')

    def stat(self):  # the fields of /proc/PID/stat after the command's name
        with open(f'/proc/{self.pid}/stat') as f:
            return f.read().rsplit(')', 1)[1].split()

    def running(self):
        try:
            return self.stat()[0] != 'Z'
        except OSError:
            return False

    def cpu_seconds(self):
        fields = self.stat()
        return (int(fields[11]) + int(fields[12])) / os.sysconf('SC_CLK_TCK')

    def private_kib(self):
        try:
            with open(f'/proc/{self.pid}/smaps_rollup') as f:
                return sum(int(line.split()[1]) for line in f if line.startswith('Private_'))
        except OSError:
            return 0

    def end(self):
        run('xdotool', 'key', 'space')
        return self.shell.wait()


def own_process(pid, seconds=10):
    """The saver's own process: PID when it runs the saver, else (a launcher such as start.exe
    started it) the process of the same prefix whose command line names it."""
    deadline = time.time() + seconds
    while time.time() < deadline:
        for candidate in [pid] + [int(p) for p in os.listdir('/proc') if p.isdigit()]:
            try:
                with open(f'/proc/{candidate}/cmdline', 'rb') as f:
                    named = b'vesperine.scr' in f.read().lower()
                named = named and 'wine' in os.readlink(f'/proc/{candidate}/exe')
                with open(f'/proc/{candidate}/environ', 'rb') as f:
                    ours = ('WINEPREFIX=' + PREFIX).encode() in f.read().split(b'\0')
            except OSError:
                continue
            if named and ours:
                return candidate
        time.sleep(0.05)
    sys.exit(f'measure: no process of the saver (started as {pid})')


def make_bench_textures():
    """The textures of the fill benchmark, as the native benchmark builds them in memory: two
    uniform 64x64 tiles and the pattern whose pixel (x, y) is 0x203040 + (4x << 8) + 4y."""
    for path, colour in zip(UNIFORM, ('#C0A020', '#406080')):
        run('convert', '-size', '64x64', 'xc:' + colour, 'PNG24:' + path)
    pixels = [0x203040 + ((4 * x) << 8) + 4 * y for y in range(64) for x in range(64)]
    ppm = b'P6\n64 64\n255\n' + bytes(v for p in pixels for v in (p >> 16 & 255, p >> 8 & 255,
                                                                   p & 255))
    run('convert', 'ppm:-', 'PNG24:' + os.path.join(WORK, 'pattern.png'), input=ppm)
    return UNIFORM + [os.path.join(WORK, 'pattern.png')]


def win_path(path):
    return 'Z:' + os.path.realpath(path).replace('/', '\\')


# ---- The measurements ------------------------------------------------------------------------------

def fill_figures(native_filter, screen, *bench_args):
    build('native', 'vesperine_bench')
    build(TREE, 'win32_fill_bench')
    textures = make_bench_textures()
    native = json.loads(run(
        os.path.join(ROOT, 'build', 'native', 'bench', 'vesperine_bench'),
        f'--benchmark_filter={native_filter}', '--benchmark_repetitions=7',
        '--benchmark_report_aggregates_only=true', '--benchmark_format=json',
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout)
    medians = {b['run_name']: b['real_time'] * {'ns': 1e-6, 'us': 1e-3, 'ms': 1, 's': 1e3}[b['time_unit']]
               for b in native['benchmarks'] if b.get('aggregate_name') == 'median'}
    out = os.path.join(WORK, f'fill-{screen}.txt')
    in_session(screen, 'fill_run', out, *[win_path(t) for t in textures], '7', *bench_args)
    for line in open(out):
        name, _, median, _, fastest = line.split()[:5]
        # ".../memory": the same case on plain memory in the Windows program, same native figure.
        base = medians[name.replace('/memory', '')]
        print(f'{name}: wine {float(median):.2f} ms (fastest {float(fastest):.2f}), '
              f'native {base:.2f} ms, ratio {float(median) / base:.2f}')


def fill_run(out, *args):
    bench = os.path.join(ROOT, 'build', TREE, 'tests', 'e2e', 'win32_fill_bench.exe')
    result = run(os.environ['VESPERINE_WINE'], bench, *args, stdout=subprocess.PIPE,
                 stderr=subprocess.DEVNULL, text=True)
    with open(out, 'w') as f:
        f.write(result.stdout.replace('\r', ''))


def fill():
    print(f'== fill ({TREE}): Win32 binding under wine against the native engine')
    fill_figures('BM_Fill(Uniform/3840/2160|Maze/1920/1080)$', '1280x1024')


def monitors():
    print(f'== monitors ({TREE}): the uniform fill on the two-monitor screen against native')
    fill_figures('BM_FillUniform/1824/768$', 'two-monitors', 'screen')
    print('(goal: ratio at most 1.5)')


def memory():
    print(f'== memory ({TREE}): the saver\'s peak private memory; its start to the first full frame')
    build(TREE, 'Vesperine')
    make_bench_textures()
    for screen in ('3840x2160', 'two-monitors'):
        in_session(screen, 'memory_run', screen)


WHITE_PIXEL = re.compile(b'(?:.{4})*?\xff\xff\xff', re.S)  # at a 32-bit pixel's start


class XImage(ctypes.Structure):
    _fields_ = [(name, ctypes.c_int) for name in ('width', 'height', 'xoffset', 'format')] + \
        [('data', ctypes.c_void_p)] + [(name, ctypes.c_int) for name in (
            'byte_order', 'bitmap_unit', 'bitmap_bit_order', 'bitmap_pad', 'depth',
            'bytes_per_line', 'bits_per_pixel')]


def first_white(right, started, seen):
    """Records in SEEN the milliseconds from STARTED until a white pixel (the caption) shows in
    the 400x40 corner left of column RIGHT, read from the X server (libX11) every 5 ms."""
    x11 = ctypes.CDLL('libX11.so.6')
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    x11.XGetImage.restype = ctypes.POINTER(XImage)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XFree.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    root = x11.XDefaultRootWindow(display)
    while not seen:
        image = x11.XGetImage(display, root, right - 400, 0, 400, 40, 0xFFFFFFFF, 2)
        if image:
            data = ctypes.string_at(image.contents.data,
                                    image.contents.bytes_per_line * image.contents.height)
            x11.XFree(image.contents.data)
            x11.XFree(image)
            if WHITE_PIXEL.match(data):
                seen.append(round((time.time() - started) * 1000))
        time.sleep(0.005)


def memory_run(screen):
    width, height = map(int, screen.split('x')) if 'x' in screen else SCREENS[screen][:2]
    right = SCREENS[screen][2] if screen in SCREENS else width
    show_desktop(width, height)
    saver_settings('500', 'default', UNIFORM)
    seen = []
    started = time.time()
    threading.Thread(target=first_white, args=(right, started, seen), daemon=True).start()
    saver = Saver(wait_shown=False)
    peak = 0
    while saver.running() and time.time() - started < 90:
        peak = max(peak, saver.private_kib())
        if seen and (time.time() - started) * 1000 > seen[0] + 3000:
            break
        time.sleep(0.02)
    saver.end()
    print(f'{screen}: peak private memory {peak / 1024:.1f} MiB')
    print(f'{screen}: start to the first full frame {seen[0] if seen else "?"} ms')


def latency():
    print(f'== latency ({TREE}): key press to the end of the saver, 3840x2160, Time Interval 50')
    build(TREE, 'Vesperine')
    make_bench_textures()
    in_session('3840x2160', 'latency_run')


def latency_run():
    # Wine lets a window manager manage a full-screen window, and on closing it waits up to 2 s
    # for that manager to take the window back; a bare Xvfb has none, so every try would end with
    # that wait. Unmanaged windows (wine's setting for a screen without a window manager) skip it.
    wine_sh('vesperine_regedit', os.path.join(WORK, 'unmanaged.reg'),
            '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]', '"Managed"="N"')
    show_desktop(3840, 2160)
    # Two textures of other uniform colours: every tick floods the whole screen anew.
    saver_settings('50', 'default', UNIFORM)
    times = []
    while len(times) < 20:
        saver = Saver()
        time.sleep(2)  # the fills run back to back by now
        pressed = time.time()
        run('xdotool', 'key', 'space')
        while saver.running() and time.time() - pressed < 10:
            time.sleep(0.002)
        if saver.running():  # on a loaded machine a press can come before the window has focus
            print('(a key press was lost; that try is not counted)')
        else:
            times.append(round((time.time() - pressed) * 1000))
        saver.end()
    print('tries (ms):', *times)
    print(f'median {statistics.median(times):.0f} ms, worst {max(times)} ms, best {min(times)} ms '
          f'over {len(times)} tries')
    print('(goal: median at most 250 ms)')


def cpu():
    print(f'== cpu ({TREE}): one default cycle on 1920x1080 (15 fills 3500 ms apart, then the wipe)')
    build(TREE, 'Vesperine')
    in_session('1920x1080', 'cpu_run')


def cpu_run():
    show_desktop(1920, 1080, landscape=True)
    saver_settings('default', 'default', TEXTURES)
    saver = Saver()
    before, started = saver.cpu_seconds(), time.time()
    # 15 fills at 3.5 s, the switch at 56 s, 540 wipe ticks of at least 10 ms, the closing tick.
    time.sleep(62)
    used, elapsed = saver.cpu_seconds() - before, time.time() - started
    saver.end()
    print(f'saver process: {used:.2f} s of CPU (user + system) over {elapsed:.1f} s: '
          f'{100 * used / elapsed:.2f} % of one core')


def long():
    seconds = int(os.environ.get('VESPERINE_LONG_RUN_SECONDS', 1800))
    print(f'== long ({TREE}): Time Interval 50 on 1920x1080 for {seconds} s, memory and handles')
    build(TREE, 'Vesperine', 'e2e_helper')
    # A copy: the tree may be rebuilt while this runs.
    shutil.copy(os.path.join(ROOT, 'build', TREE, 'tests', 'e2e', 'e2e_helper.exe'), WORK)
    in_session('1920x1080', 'long_run', str(seconds))


def long_sample(saver, elapsed):
    """Seconds, CPU seconds, resident bytes (VmRSS of the saver's process), then private bytes,
    working set, handles, GDI and USER objects as wine tells a Windows program (-1: not given)."""
    with open(f'/proc/{saver.pid}/status') as f:
        rss = next(int(line.split()[1]) * 1024 for line in f if line.startswith('VmRSS:'))
    answer = subprocess.run([os.environ['VESPERINE_WINE'], os.path.join(WORK, 'e2e_helper.exe'),
                             'process-figures'], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                            text=True).stdout.split()
    figures = answer[1:6] if answer[:1] == ['process-figures'] else ['-1'] * 5
    sample = [elapsed, int(saver.cpu_seconds()), rss] + [int(v) for v in figures]
    print(*sample, flush=True)
    return sample


def long_run(seconds):
    show_desktop(1920, 1080, landscape=True)
    saver_settings('50', 'default', TEXTURES)
    saver = Saver()
    started, samples, next_sample = time.time(), [], 60
    print('(once a minute: seconds, CPU seconds, resident, private, working set, handles, GDI, '
          'USER; -1: not given)')
    while time.time() - started < int(seconds) and saver.running():
        time.sleep(1)
        if saver.running() and time.time() - started >= next_sample:
            samples.append(long_sample(saver, round(time.time() - started)))
            next_sample += 60
    if saver.running():
        samples.append(long_sample(saver, round(time.time() - started)))
        run('import', '-window', 'root', os.path.join(WORK, 'long-end.png'))
    code = saver.end() if saver.running() else saver.shell.wait()
    print(f'saver exit code after {round(time.time() - started)} s: {code}')
    if samples:
        first, last = samples[0], samples[-1]
        print(f'{"figure":12} {"first minute":>14} {"end":>14} {"change":>9}   '
              f'(first at {first[0]} s, end at {last[0]} s)')
        names = 'resident private working-set handles gdi user'.split()
        for name, a, b in zip(names, first[2:], last[2:]):
            change = f'{100 * (b - a) / a:+.2f}%' if a > 0 else 'n/a'
            print(f'{name:12} {a:14.0f} {b:14.0f} {change:>9}')


MEASUREMENTS = {f.__name__: f for f in (fill, latency, cpu, monitors, memory, long)}
TREE = ARCH = PREFIX = SAVER = None


def main(argv):
    global TREE, ARCH, PREFIX, SAVER
    TREE = 'win64'
    if argv[:1] == ['--build']:
        TREE, argv = argv[1], argv[2:]
    if argv[:1] == ['--inner']:  # inside a session: the tree's names come with the environment
        TREE = os.environ['VESPERINE_MEASURE_TREE']
    ARCH = TREE if TREE in ('win64', 'win32') else sys.exit(__doc__)
    PREFIX = os.path.realpath(os.path.join(WORK, f'wineprefix-{ARCH}'))
    SAVER = os.path.join(ROOT, 'build', TREE, 'resources', 'Vesperine.scr')
    os.environ['VESPERINE_MEASURE_TREE'] = TREE
    os.makedirs(WORK, exist_ok=True)
    if argv[:1] == ['--inner']:
        return globals()[argv[1]](*argv[2:])
    names = argv or ['fill', 'latency', 'cpu']
    if any(name not in MEASUREMENTS for name in names):
        sys.exit(__doc__)
    run('bash', os.path.join(ROOT, 'scripts', 'setup.sh'), stdout=sys.stderr)
    for name in names:
        MEASUREMENTS[name]()
        sys.stdout.flush()


if __name__ == '__main__':
    main(sys.argv[1:])
