#!/usr/bin/env bash
# Performance figures of the saver under wine, printed, never asserted:
#
#   measure.sh [fill] [latency] [cpu] [monitors] [memory] [long]   (the first three when none is
#   named)
#
#   fill     the whole-canvas fill on real GDI canvases under wine (build/win64's
#            win32_fill_bench: BM_FillUniform/3840/2160 and BM_FillMaze/1920/1080 with textures
#            decoded by GDI+), median of 7 repetitions, next to the native figures of
#            build/native's vesperine_bench and their ratio
#   latency  the real Vesperine.scr on a 3840x2160 virtual screen over a uniform desktop with
#            "Time Interval" 50: from a key press (xdotool) to the end of the process, 20 tries,
#            median and worst (with wine's windows unmanaged: see measure_latency)
#   cpu      the saver's average CPU use (user + system time of its process, from /proc) over one
#            default cycle on 1920x1080: 15 fills 3500 ms apart and the wipe, about 62 s
#   monitors the whole-canvas uniform fill on the two-monitor screen (1824x768: Xephyr's Xinerama
#            pair of scripts/xvfb.sh), Win32 under wine against native BM_FillUniform/1824/768
#   memory   the real saver's peak private memory (Private_Clean + Private_Dirty of its process,
#            sampled every 20 ms from /proc while it starts and fills for 3 s) on 3840x2160 and on
#            the two-monitor screen, and on 3840x2160 the time from its start to its first full
#            frame (the caption on the screen, polled every 5 ms)
#   long     the real Vesperine.scr with "Time Interval" 50 on 1920x1080 for 30 minutes
#            (VESPERINE_LONG_RUN_SECONDS, default 1800): its resident bytes (from /proc), private
#            bytes, handles, GDI and USER objects (e2e_helper process-figures, from inside wine)
#            once a minute, and the change from the first minute to the end
#
# Everything runs on private Xvfb screens with a private wine prefix in build/measure/. The figures
# depend on the machine and its load: run on an idle machine for steady numbers.
set -euo pipefail

root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$root"
work=$root/build/measure
mkdir -p "$work"

parts=("$@")
((${#parts[@]} > 0)) || parts=(fill latency cpu)

bash scripts/setup.sh >&2
export WINEPREFIX=$work/wineprefix WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

# shellcheck source-path=SCRIPTDIR source=wine.sh
source "$root/scripts/wine.sh"
stop_screen() {
  wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  vesperine_stop_xvfb
}
trap stop_screen EXIT

# start_screen WIDTH HEIGHT | start_screen two-monitors: a private Xvfb (or the two-monitor
# screen) and the wine server with its desktop on it.
start_screen() {
  stop_screen
  if [[ $1 == two-monitors ]]; then
    vesperine_start_two_monitors "$work/xvfb.log" || exit 1
  else
    vesperine_start_xvfb "$work/xvfb.log" "$1" "$2" || exit 1
  fi
  if [[ ! -f $WINEPREFIX/.vesperine-ready ]]; then
    echo "measure: setting up the wine prefix (once)" >&2
    wineboot -i </dev/null >"$work/wine.log" 2>&1
    timeout 120 wineserver -w || true
    touch "$WINEPREFIX/.vesperine-ready"
  fi
  wineserver -p
  wine cmd /c exit </dev/null >>"$work/wine.log" 2>&1
}


# saver_settings INTERVAL REFRESH TEXTURE...: the saver's key, written whole; "default" leaves a
# time out, so that the saver takes its default.
saver_settings() {
  local interval=$1 refresh=$2 lines=()
  shift 2
  [[ $interval == default ]] || lines+=("\"Time Interval\"=dword:$(printf '%08x' "$interval")")
  [[ $refresh == default ]] || lines+=("\"Refresh Time\"=dword:$(printf '%08x' "$refresh")")
  printf '%s\r\n' REGEDIT4 "" '[-HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' \
    '[HKEY_CURRENT_USER\Software\Ondrel\Vesperine]' "\"Texture\"=$(texture_multi_sz "$@")" \
    "${lines[@]}" >"$work/settings.reg"
  wine regedit /S "$(win_path "$work/settings.reg")" >>"$work/wine.log" 2>&1
}

# Starts the saver full screen and waits for its window; its pid in saver_pid.
start_saver() {
  wine "$root/build/win64/resources/Vesperine.scr" /s >>"$work/wine.log" 2>&1 &
  saver_pid=$!
  local started=$SECONDS
  until xdotool search --name '^Screen Saver$' >/dev/null 2>&1; do
    if ! kill -0 "$saver_pid" 2>/dev/null || ((SECONDS - started > 60)); then
      echo "measure: the saver did not show its window" >&2
      exit 1
    fi
    sleep 0.05
  done
}

now_ms() { echo $(($(date +%s%N) / 1000000)); }

median_and_worst() {
  sort -n | awk '{v[NR] = $1} END {
    m = (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2
    printf "median %.0f ms, worst %.0f ms, best %.0f ms over %d tries\n", m, v[NR], v[1], NR }'
}

# The textures of the fill benchmark, as the native benchmark builds them in memory: two uniform
# 64x64 tiles and the 64x64 pattern, whose pixel (x, y) is 0x203040 + (4x << 8) + 4y read as
# 0xRRGGBB (with the carries).
make_bench_textures() {
  convert -size 64x64 xc:'#C0A020' PNG24:"$work/uniform_a.png"
  convert -size 64x64 xc:'#406080' PNG24:"$work/uniform_b.png"
  python3 -c 'import sys
pixels = (0x203040 + ((4 * x) << 8) + 4 * y for y in range(64) for x in range(64))
sys.stdout.buffer.write(b"P6\n64 64\n255\n" + bytes(
    v for p in pixels for v in (p >> 16 & 255, p >> 8 & 255, p & 255)))' >"$work/pattern.ppm"
  convert "$work/pattern.ppm" PNG24:"$work/pattern.png"
}

measure_fill() {
  echo "== fill: Win32 binding under wine against the native engine"
  bash scripts/build.sh native vesperine_bench >&2
  # A tree configured before tests/e2e/ existed learns of the benchmark's target here.
  bash scripts/build.sh win64 Vesperine >&2
  cmake build/win64 >/dev/null
  bash scripts/build.sh win64 win32_fill_bench >&2
  make_bench_textures
  local native=$work/native.json
  build/native/bench/vesperine_bench \
    --benchmark_filter='BM_Fill(Uniform/3840/2160|Maze/1920/1080)$' \
    --benchmark_repetitions=7 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$native" 2>/dev/null
  start_screen 1280 1024
  local wine_out=$work/win32.txt
  wine build/win64/tests/e2e/win32_fill_bench.exe "$(win_path "$work/uniform_a.png")" \
    "$(win_path "$work/uniform_b.png")" "$(win_path "$work/pattern.png")" 7 \
    2>>"$work/wine.log" | tr -d '\r' >"$wine_out"
  stop_screen
  print_ratios "$native" "$wine_out"
}

# print_ratios NATIVE.json WINE.txt: each Win32 case against the native median of the same name.
print_ratios() {
  python3 - "$1" "$2" <<'EOF'
import json, sys
native = {}
for b in json.load(open(sys.argv[1]))['benchmarks']:
    if b.get('aggregate_name') == 'median':
        scale = {'ns': 1e-6, 'us': 1e-3, 'ms': 1.0, 's': 1e3}[b['time_unit']]
        native[b['run_name']] = b['real_time'] * scale
for line in open(sys.argv[2]):
    name, _, median, _, fastest = line.split()[:5]
    # ".../memory": the same case on plain memory in the Windows program, against the same figure.
    ratio = float(median) / native[name.replace('/memory', '')]
    print(f'{name}: wine {float(median):.2f} ms (fastest {float(fastest):.2f}), '
          f'native {native[name.replace("/memory", "")]:.2f} ms, ratio {ratio:.2f}')
EOF
}

measure_monitors() {
  echo "== monitors: the uniform fill on the two-monitor screen, Win32 under wine against native"
  bash scripts/build.sh native vesperine_bench >&2
  bash scripts/build.sh win64 win32_fill_bench >&2
  make_bench_textures
  local native=$work/native-monitors.json wine_out=$work/win32-monitors.txt
  build/native/bench/vesperine_bench --benchmark_filter='BM_FillUniform/1824/768$' \
    --benchmark_repetitions=7 --benchmark_report_aggregates_only=true \
    --benchmark_format=json >"$native" 2>/dev/null
  start_screen two-monitors
  wine build/win64/tests/e2e/win32_fill_bench.exe "$(win_path "$work/uniform_a.png")" \
    "$(win_path "$work/uniform_b.png")" "$(win_path "$work/pattern.png")" 7 screen \
    2>>"$work/wine.log" | tr -d '\r' >"$wine_out"
  stop_screen
  print_ratios "$native" "$wine_out"
  echo "(goal: ratio at most 1.5)"
}

private_kib() {
  awk '/^Private_(Clean|Dirty):/ {sum += $2} END {print sum + 0}' "/proc/$1/smaps_rollup" \
    2>/dev/null || echo 0
}

# watch_caption RIGHT STARTED_MS: prints the milliseconds from STARTED_MS until a white pixel (the
# caption, white on the bluish desktop) shows in the 400x40 corner left of column RIGHT. Reads
# only that corner from the X server (libX11 through ctypes), every 5 ms.
watch_caption() {
  python3 - "$1" "$2" <<'EOF'
import ctypes, sys, time
right, started = int(sys.argv[1]), int(sys.argv[2])
x11 = ctypes.CDLL('libX11.so.6')
x11.XOpenDisplay.restype = ctypes.c_void_p
x11.XDefaultRootWindow.restype = ctypes.c_ulong
x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
x11.XGetImage.restype = ctypes.c_void_p
x11.XGetImage.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_int, ctypes.c_int,
                          ctypes.c_uint, ctypes.c_uint, ctypes.c_ulong, ctypes.c_int]
x11.XFree.argtypes = [ctypes.c_void_p]


class XImage(ctypes.Structure):
    _fields_ = [('width', ctypes.c_int), ('height', ctypes.c_int), ('xoffset', ctypes.c_int),
                ('format', ctypes.c_int), ('data', ctypes.c_void_p), ('byte_order', ctypes.c_int),
                ('bitmap_unit', ctypes.c_int), ('bitmap_bit_order', ctypes.c_int),
                ('bitmap_pad', ctypes.c_int), ('depth', ctypes.c_int),
                ('bytes_per_line', ctypes.c_int), ('bits_per_pixel', ctypes.c_int)]


display = x11.XOpenDisplay(None)
root = x11.XDefaultRootWindow(display)
while True:
    image = x11.XGetImage(display, root, right - 400, 0, 400, 40, 0xFFFFFFFF, 2)
    if image:
        im = XImage.from_address(image)
        data = ctypes.string_at(im.data, im.bytes_per_line * im.height)
        x11.XFree(im.data)
        x11.XFree(image)
        if any(data[i:i + 3] == b'\xff\xff\xff' for i in range(0, len(data), 4)):
            print(int(time.time() * 1000) - started, flush=True)
            break
    time.sleep(0.005)
EOF
}

# memory_run SCREEN RIGHT: one start of the saver over a uniform desktop, with a whole-screen fill
# every 500 ms; prints its peak private memory and, on request, its time to the first frame.
memory_run() {
  local screen=$1 right=$2 width height
  if [[ $screen == two-monitors ]]; then
    start_screen two-monitors
    width=1824 height=768
  else
    start_screen "${screen%x*}" "${screen#*x}"
    width=${screen%x*} height=${screen#*x}
  fi
  convert -size "${width}x$height" xc:'#406080' PNG24:"$work/uniform_desktop.png"
  display -window root "$work/uniform_desktop.png" || true
  saver_settings 500 default "$work/uniform_a.png" "$work/uniform_b.png"
  local started peak=0 kib first_frame="" seen=$work/first-frame.txt
  rm -f "$seen"
  started=$(now_ms)
  watch_caption "$right" "$started" >"$seen" &
  local watcher=$!
  wine "$root/build/win64/resources/Vesperine.scr" /s >>"$work/wine.log" 2>&1 &
  saver_pid=$!
  while kill -0 "$saver_pid" 2>/dev/null; do
    kib=$(private_kib "$saver_pid")
    ((kib > peak)) && peak=$kib
    [[ -n $first_frame ]] || first_frame=$(cat "$seen" 2>/dev/null)
    if [[ -n $first_frame ]] && (($(now_ms) - started > first_frame + 3000)); then
      break
    fi
    (($(now_ms) - started < 90000)) || break
    sleep 0.02
  done
  kill "$watcher" 2>/dev/null || true
  wait "$watcher" 2>/dev/null || true
  xdotool key space
  wait "$saver_pid" || true
  stop_screen
  awk -v kib="$peak" -v s="$screen" 'BEGIN { printf "%s: peak private memory %.1f MiB\n", s, kib / 1024 }'
  echo "$screen: start to the first full frame ${first_frame:-?} ms"
}

measure_memory() {
  echo "== memory: the saver's peak private memory; its start to the first full frame"
  bash scripts/build.sh win64 Vesperine >&2
  make_bench_textures
  memory_run 3840x2160 3840
  memory_run two-monitors 1024
}

measure_latency() {
  echo "== latency: key press to the end of the saver, 3840x2160, Time Interval 50"
  bash scripts/build.sh win64 Vesperine >&2
  make_bench_textures
  start_screen 3840 2160
  # Wine lets a window manager manage a full-screen window, and on closing it waits up to 2 s
  # for that manager to take the window back; a bare Xvfb has none, so every try would end with
  # that wait. Unmanaged windows (wine's setting for a screen without a window manager) skip it.
  printf '%s\r\n' REGEDIT4 "" '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' \
    >"$work/unmanaged.reg"
  wine regedit /S "$(win_path "$work/unmanaged.reg")" >>"$work/wine.log" 2>&1
  convert -size 3840x2160 xc:'#406080' PNG24:"$work/uniform_desktop.png"
  display -window root "$work/uniform_desktop.png" || true
  # Two textures of other uniform colours: every tick floods the whole screen anew.
  saver_settings 50 default "$work/uniform_a.png" "$work/uniform_b.png"
  local try times=()
  for ((try = 1; try <= 20; try++)); do
    start_saver
    sleep 2 # the fills run back to back by now
    local pressed ended
    pressed=$(now_ms)
    xdotool key space
    while kill -0 "$saver_pid" 2>/dev/null; do
      sleep 0.002
    done
    ended=$(now_ms)
    wait "$saver_pid" || true
    times+=($((ended - pressed)))
  done
  stop_screen
  echo "tries (ms): ${times[*]}"
  printf '%s\n' "${times[@]}" | median_and_worst
  echo "(goal: median at most 250 ms)"
}

# The 1920x1080 desktop of cpu and long: sky, sun, hills and a task bar, on the root window.
show_landscape_desktop() {
  convert -size 1920x1080 gradient:'#1d3b72-#a4c8e6' +antialias \
    -fill '#f6d55c' -draw 'circle 1500,220 1500,320' \
    -fill '#4a8a3f' -draw 'ellipse 500,1140 930,500 180,360' \
    -fill '#2e6b2a' -draw 'ellipse 1500,1200 780,450 180,360' \
    -fill '#c0c0c0' -draw 'rectangle 0,1040 1919,1079' PNG24:"$work/desktop_1080.png"
  display -window root "$work/desktop_1080.png" || true
}

measure_cpu() {
  echo "== cpu: one default cycle on 1920x1080 (15 fills 3500 ms apart, then the wipe)"
  bash scripts/build.sh win64 Vesperine >&2
  start_screen 1920 1080
  show_landscape_desktop
  saver_settings default default "$root"/resources/textures/*
  start_saver
  local ticks_per_second stat before after started ended
  ticks_per_second=$(getconf CLK_TCK)
  read -r -a stat < <(sed 's/^.*) //' "/proc/$saver_pid/stat")
  before=$((stat[11] + stat[12])) # utime and stime, fields 14 and 15
  started=$(now_ms)
  # 15 fills at 3.5 s, the switch at 56 s, 540 wipe ticks of at least 10 ms, the closing tick.
  sleep 62
  read -r -a stat < <(sed 's/^.*) //' "/proc/$saver_pid/stat")
  after=$((stat[11] + stat[12]))
  ended=$(now_ms)
  xdotool key space
  wait "$saver_pid" || true
  stop_screen
  awk -v cpu=$((after - before)) -v hz="$ticks_per_second" -v ms=$((ended - started)) 'BEGIN {
    printf "saver process: %.2f s of CPU (user + system) over %.1f s: %.2f %% of one core\n",
      cpu / hz, ms / 1000, 100 * cpu / hz / (ms / 1000) }'
}

# One line of figures of the running saver: seconds since its start, its CPU seconds (user and
# system, from /proc), resident bytes (VmRSS of the wine process, which is the Windows process),
# then private bytes, handles, GDI and USER objects as wine reports them to a Windows program
# (-1: not given).
long_run_sample() {
  local rss cpu figures stat
  rss=$(awk '/^VmRSS:/ {print $2 * 1024}' "/proc/$saver_pid/status")
  read -r -a stat < <(sed 's/^.*) //' "/proc/$saver_pid/stat")
  cpu=$(((stat[11] + stat[12]) / $(getconf CLK_TCK)))
  figures=$(wine "$work/e2e_helper.exe" process-figures 2>>"$work/wine.log" |
    tr -d '\r')
  [[ $figures == process-figures* ]] || figures="process-figures -1 -1 -1 -1 -1"
  echo "$1 $cpu $rss ${figures#process-figures }"
}

measure_long() {
  local seconds=${VESPERINE_LONG_RUN_SECONDS:-1800}
  echo "== long: Time Interval 50 on 1920x1080 for $seconds s, memory and handles"
  bash scripts/build.sh win64 Vesperine e2e_helper >&2
  # A copy: the tree may be rebuilt while this runs.
  cp build/win64/tests/e2e/e2e_helper.exe "$work/"
  start_screen 1920 1080
  show_landscape_desktop
  saver_settings 50 default "$root"/resources/textures/*
  start_saver
  local started=$SECONDS samples=$work/long.txt next=60 code=0
  : >"$samples"
  echo "(once a minute: seconds, CPU seconds, resident, private, working set, handles, GDI, USER;"
  echo " -1: not given)"
  while ((SECONDS - started < seconds)); do
    sleep 1
    kill -0 "$saver_pid" 2>/dev/null || break
    if ((SECONDS - started >= next)); then
      long_run_sample $((SECONDS - started)) | tee -a "$samples"
      next=$((next + 60))
    fi
  done
  if kill -0 "$saver_pid" 2>/dev/null; then
    long_run_sample $((SECONDS - started)) | tee -a "$samples"
    import -window root "$work/long-end.png"
    xdotool key space
  fi
  wait "$saver_pid" || code=$?
  stop_screen
  echo "saver exit code after $((SECONDS - started)) s: $code"
  awk 'NR == 1 {for (i = 1; i <= 8; i++) first[i] = $i} {for (i = 1; i <= 8; i++) last[i] = $i}
    END {
      split("resident private working-set handles gdi user", name, " ")
      printf "%-12s %14s %14s %9s   (first at %d s, end at %d s)\n", "figure", "first minute",
        "end", "change", first[1], last[1]
      for (i = 3; i <= 8; i++) {
        change = first[i] > 0 ? sprintf("%+.2f%%", 100 * (last[i] - first[i]) / first[i]) : "n/a"
        printf "%-12s %14.0f %14.0f %9s\n", name[i - 2], first[i], last[i], change
      }
    }' "$samples"
}

for part in "${parts[@]}"; do
  case $part in
    fill) measure_fill ;;
    latency) measure_latency ;;
    cpu) measure_cpu ;;
    monitors) measure_monitors ;;
    memory) measure_memory ;;
    long) measure_long ;;
    *)
      echo "usage: measure.sh [fill] [latency] [cpu] [monitors] [memory] [long]" >&2
      exit 2
      ;;
  esac
done
