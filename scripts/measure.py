#!/usr/bin/env python3
"""Performance figures of the saver under wine, printed, never asserted (README, Measurements):

  measure.py [--build win64|win32] [fill] [latency] [cpu] [monitors] [memory] [long]

fill, latency and cpu when none is named; --build picks the Windows tree (win64 unless told). Each
runs on private X screens (scripts/wine.sh session) with a private wine prefix in build/measure/.
"""
import ctypes, glob, json, os, re, shutil, statistics, subprocess, sys, threading, time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WORK = os.path.join(ROOT, 'build', 'measure')
LOG = os.path.join(WORK, 'wine.log')
TEXTURES = sorted(glob.glob(os.path.join(ROOT, 'resources', 'textures', '*')))
LONG_SECONDS = int(os.environ.get('VESPERINE_LONG_RUN_SECONDS', 1800))
MEASUREMENTS = {}  # name: (title, screens, targets of the Windows tree)
TREE = None  # the Windows tree measured, set by main


def measurement(title, screens, *targets):
    """Makes the function a measurement: main builds TARGETS, then runs it once on each of
    SCREENS (WIDTHxHEIGHT or two-monitors) inside a session of scripts/wine.sh."""
    def register(function):
        MEASUREMENTS[function.__name__] = (title, screens, targets)
        return function
    return register


def run(*command, **options):
    return subprocess.run(command, check=True, **options)


def script(name):
    return os.path.join(ROOT, 'scripts', name)


def build(tree, *targets):
    run('bash', script('build.sh'), tree, *targets, stdout=sys.stderr)


def wine_sh(*function_and_args):
    with open(LOG, 'a') as log:
        run('bash', '-c', 'source "$1"; "${@:2}"', 'bash', script('wine.sh'), *function_and_args,
            stdout=log, stderr=log)


def set_scene(width, height, interval, landscape=False):
    """The desktop on the root window, which the saver captures, and the saver's settings: the
    landscape and the sample textures, or one colour and the two uniform textures of other
    colours, so that every tick floods the whole screen anew."""
    path = os.path.join(WORK, f'desktop-{width}x{height}.png')
    if landscape:
        run('bash', script('landscape.sh'), str(width), str(height), path)
    else:
        run('convert', '-size', f'{width}x{height}', 'xc:#406080', 'PNG24:' + path)
    subprocess.run(['display', '-window', 'root', path])  # exits with 1 after setting it
    wine_sh('vesperine_saver_settings', os.path.join(WORK, 'settings.reg'), interval, 'default',
            *(TEXTURES if landscape else make_bench_textures()[:2]))


def make_bench_textures():
    """The textures of the fill benchmark, as the native benchmark builds them in memory: two
    uniform 64x64 tiles and the pattern whose pixel (x, y) is 0x203040 + (4x << 8) + 4y."""
    paths = [os.path.join(WORK, name) for name in ('uniform_a.png', 'uniform_b.png', 'pattern.png')]
    for path, colour in zip(paths, ('#C0A020', '#406080')):
        run('convert', '-size', '64x64', 'xc:' + colour, 'PNG24:' + path)
    pixels = [0x203040 + ((4 * x) << 8) + 4 * y for y in range(64) for x in range(64)]
    ppm = b'P6\n64 64\n255\n' + bytes(v for p in pixels for v in (p >> 16 & 255, p >> 8 & 255,
                                                                   p & 255))
    run('convert', 'ppm:-', 'PNG24:' + paths[2], input=ppm)
    return paths


class Saver:
    """The saver started full screen through scripts/wine.sh, which starts the loader itself: pid
    is the Windows program's own process."""

    def __init__(self, wait_shown=True):
        self.shell = subprocess.Popen(
            ['bash', '-c', 'source "$1"; vesperine_start_program "$2" "$3" /s; '
             'echo "$VESPERINE_PID"; if [[ -n $4 ]]; then vesperine_wait_window "Screen Saver"; echo shown; fi; '
             'wait "$VESPERINE_PID"', 'bash', script('wine.sh'), LOG,
             os.path.join(ROOT, 'build', TREE, 'resources', 'Vesperine.scr'),
             'wait' if wait_shown else ''], stdout=subprocess.PIPE, text=True)
        self.pid = int(self.shell.stdout.readline())
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

    def end(self):
        run('xdotool', 'key', 'space')
        return self.shell.wait()


# ---- The measurements: each runs inside the session of its screen --------------------------------

@measurement('Win32 binding under wine against the native engine', ['1280x1024'],
             'win32_fill_bench')
def fill(screen):
    fill_figures('BM_Fill(Uniform/3840/2160|Maze/1920/1080)$')


@measurement('the uniform fill on the two-monitor screen against native', ['two-monitors'],
             'win32_fill_bench')
def monitors(screen):
    fill_figures('BM_FillUniform/1824/768$', 'screen')
    print('(goal: ratio at most 1.5)')


def fill_figures(native_filter, *bench_args):
    build('native', 'vesperine_bench')
    native = json.loads(run(
        os.path.join(ROOT, 'build', 'native', 'bench', 'vesperine_bench'),
        f'--benchmark_filter={native_filter}', '--benchmark_repetitions=7',
        '--benchmark_report_aggregates_only=true', '--benchmark_format=json',
        stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout)
    medians = {b['run_name']: b['real_time'] * {'ns': 1e-6, 'us': 1e-3, 'ms': 1, 's': 1e3}[b['time_unit']]
               for b in native['benchmarks'] if b.get('aggregate_name') == 'median'}
    bench = os.path.join(ROOT, 'build', TREE, 'tests', 'e2e', 'win32_fill_bench.exe')
    textures = ['Z:' + os.path.realpath(t).replace('/', '\\') for t in make_bench_textures()]
    wine = run(os.environ['VESPERINE_WINE'], bench, *textures, '7', *bench_args,
               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    for line in wine.stdout.splitlines():
        name, _, median, _, fastest = line.split()[:5]
        # ".../memory": the same case on plain memory in the Windows program, same native figure.
        base = medians[name.replace('/memory', '')]
        print(f'{name}: wine {float(median):.2f} ms (fastest {float(fastest):.2f}), '
              f'native {base:.2f} ms, ratio {float(median) / base:.2f}')


def first_white(right, started, seen):
    """Records in SEEN the milliseconds from STARTED until a white pixel (the caption) shows in
    the 400x40 corner left of column RIGHT, read from the X server (libX11) every 5 ms."""
    x11 = ctypes.CDLL('libX11.so.6')
    x11.XOpenDisplay.restype = ctypes.c_void_p
    x11.XDefaultRootWindow.restype = ctypes.c_ulong
    x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
    # An XImage starts with four ints and the pointer to its pixels, 32 bits each on our screens.
    x11.XGetImage.restype = ctypes.POINTER(ctypes.c_void_p)
    x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                              ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
    x11.XFree.argtypes = [ctypes.c_void_p]
    display = x11.XOpenDisplay(None)
    root = x11.XDefaultRootWindow(display)
    white = re.compile(b'(?:.{4})*?\xff\xff\xff', re.S)  # at a 32-bit pixel's start
    while not seen:
        image = x11.XGetImage(display, root, right - 400, 0, 400, 40, 0xFFFFFFFF, 2)
        if image:
            data = ctypes.string_at(image[2], 400 * 40 * 4)
            x11.XFree(image[2])
            x11.XFree(image)
            if white.match(data):
                seen.append(round((time.time() - started) * 1000))
        time.sleep(0.005)


@measurement("the saver's peak private memory; its start to the first full frame",
             ['3840x2160', 'two-monitors'], 'Vesperine')
def memory(screen):
    width, height, right = (1824, 768, 1024) if screen == 'two-monitors' else (3840, 2160, 3840)
    set_scene(width, height, '500')
    seen = []
    started = time.time()
    threading.Thread(target=first_white, args=(right, started, seen), daemon=True).start()
    saver = Saver(wait_shown=False)
    peak = 0
    while saver.running() and time.time() - started < 90:
        try:
            with open(f'/proc/{saver.pid}/smaps_rollup') as f:
                peak = max(peak, sum(int(line.split()[1]) for line in f
                                     if line.startswith('Private_')))
        except OSError:
            pass
        if seen and (time.time() - started) * 1000 > seen[0] + 3000:
            break
        time.sleep(0.02)
    saver.end()
    print(f'{screen}: peak private memory {peak / 1024:.1f} MiB')
    print(f'{screen}: start to the first full frame {seen[0] if seen else "?"} ms')


@measurement('key press to the end of the saver, 3840x2160, Time Interval 50', ['3840x2160'],
             'Vesperine')
def latency(screen):
    # Wine lets a window manager manage a full-screen window, and on closing it waits up to 2 s
    # for that manager to take the window back; a bare Xvfb has none, so every try would end with
    # that wait. Unmanaged windows (wine's setting for a screen without a window manager) skip it.
    wine_sh('vesperine_regedit', os.path.join(WORK, 'unmanaged.reg'),
            '[HKEY_CURRENT_USER\\Software\\Wine\\X11 Driver]', '"Managed"="N"')
    set_scene(3840, 2160, '50')
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


@measurement('one default cycle on 1920x1080 (15 fills 3500 ms apart, then the wipe)',
             ['1920x1080'], 'Vesperine')
def cpu(screen):
    set_scene(1920, 1080, 'default', landscape=True)
    saver = Saver()
    before, started = saver.cpu_seconds(), time.time()
    # 15 fills at 3.5 s, the switch at 56 s, 540 wipe ticks of at least 10 ms, the closing tick.
    time.sleep(62)
    used, elapsed = saver.cpu_seconds() - before, time.time() - started
    saver.end()
    print(f'saver process: {used:.2f} s of CPU (user + system) over {elapsed:.1f} s: '
          f'{100 * used / elapsed:.2f} % of one core')


@measurement(f'Time Interval 50 on 1920x1080 for {LONG_SECONDS} s, memory and handles',
             ['1920x1080'], 'Vesperine', 'e2e_helper')
def long(screen):
    # A copy: the tree may be rebuilt while this runs.
    helper = shutil.copy(os.path.join(ROOT, 'build', TREE, 'tests', 'e2e', 'e2e_helper.exe'), WORK)
    set_scene(1920, 1080, '50', landscape=True)
    saver = Saver()
    started, samples = time.time(), []
    print('(once a minute: seconds, CPU seconds, resident, private, working set, handles, GDI, '
          'USER; -1: not given)')
    # Resident bytes (VmRSS of the saver's process), then what wine tells a Windows program.
    while saver.running():
        elapsed = time.time() - started
        if elapsed >= 60 * (len(samples) + 1) or elapsed >= LONG_SECONDS:
            with open(f'/proc/{saver.pid}/status') as f:
                rss = next(int(line.split()[1]) * 1024 for line in f if line.startswith('VmRSS:'))
            answer = subprocess.run([os.environ['VESPERINE_WINE'], helper, 'process-figures'],
                                    stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                    text=True).stdout.split()
            figures = answer[1:6] if answer[:1] == ['process-figures'] else ['-1'] * 5
            samples.append([round(elapsed), int(saver.cpu_seconds()), rss] + list(map(int, figures)))
            print(*samples[-1], flush=True)
        if elapsed >= LONG_SECONDS:
            run('import', '-window', 'root', os.path.join(WORK, 'long-end.png'))
            break
        time.sleep(1)
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


def main(argv):
    global TREE
    TREE, argv = (argv[1], argv[2:]) if argv[:1] == ['--build'] else ('win64', argv)
    if argv[:1] == ['--inner']:  # inside a session: the tree comes with the environment
        TREE = os.environ['VESPERINE_MEASURE_TREE']
    if TREE not in ('win64', 'win32'):
        sys.exit(__doc__)
    os.environ['VESPERINE_MEASURE_TREE'] = TREE
    os.makedirs(WORK, exist_ok=True)
    if argv[:1] == ['--inner']:
        return globals()[argv[1]](*argv[2:])
    names = argv or ['fill', 'latency', 'cpu']
    if any(name not in MEASUREMENTS for name in names):
        sys.exit(__doc__)
    run('bash', script('setup.sh'), stdout=sys.stderr)
    for name in names:
        title, screens, targets = MEASUREMENTS[name]
        print(f'== {name} ({TREE}): {title}', flush=True)
        build(TREE, *targets)
        for screen in screens:
            run('bash', script('wine.sh'), 'session', screen, f'{WORK}/wineprefix-{TREE}', TREE, LOG,
                sys.executable, __file__, '--inner', name, screen)


if __name__ == '__main__':
    main(sys.argv[1:])
