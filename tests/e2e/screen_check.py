#!/usr/bin/env python3
"""Pictures for the end-to-end tests and checks of their screenshots (binary PPM files).

  screen_check.py make-desktop W H OUT.ppm     the known desktop: cells of a few colours, one of
                                               them a smooth gradient
  screen_check.py make-tile OUT.ppm            the 16x16 texture: every pixel unlike its neighbours
  screen_check.py fill-cycle DESKTOP TILE THRESHOLD SHOT...
      Checks screenshots taken in order while the saver runs over DESKTOP with TILE as its only
      texture, and fails unless every one is a state of the fill-and-wipe cycle and the run showed
      fills, then the wipe under way, then the desktop exactly again.
  screen_check.py monitors DESKTOP TILE THRESHOLD MONITORS SHOT...
      Checks screenshots of the saver on several monitors (MONITORS: X,Y,W,H;... in screen
      pixels, the primary first): on the monitors every area of similar colour is untouched or
      textured whole (the texture tiled from the virtual screen's corner), the caption stands at
      the primary's top right. Over the run, fills must have landed on every monitor. What lies on
      no monitor is not looked at: Xephyr keeps no pixels there, and a screenshot reads whatever
      its buffer held.
  screen_check.py make-wallpaper OUT.ppm       a 400x150 wallpaper of 4 x 3 flat blocks
  screen_check.py wallpaper SHOT PICTURE STYLE R,G,B
      Fails unless SHOT (one monitor) shows PICTURE laid out as the desktop shows it with STYLE
      (center, tile, fit or fill) over the desktop colour R,G,B; the caption's corner is left out,
      and so are the pixels next to a block's edge where a scaled picture blends its neighbours.
  screen_check.py grown SHOT X Y W H CW CH R,G,B TILE [textured]
      Fails unless the W x H window at (X, Y) of SHOT shows, in its CW x CH top-left corner, only
      the desktop colour R,G,B or TILE tiled from that corner (only TILE with "textured"), and
      black beyond it, but for the caption at its top right.
  screen_check.py same A B [X Y W H]           fails unless A equals B (within the box, if given)
  screen_check.py textured SHOT TEXTURE...     fails unless 98% of SHOT but the caption's corner
                                               shows one of the textures tiled from the top left
  screen_check.py preview SHOT X Y PICTURE     fails unless the 152x112 window at (X, Y) of SHOT
                                               shows PICTURE at (36, 12) on black
"""
import sys

CAPTION_BOX_WIDTH = 400  # the caption must lie within this many pixels of the right edge
CAPTION_BOX_HEIGHT = 40  # and this many of the top
MIN_CAPTION_WHITE = 150  # white pixels that a drawn caption has at least


class Image:
    def __init__(self, width, height, data):
        self.width, self.height, self.data = width, height, data

    def pixel(self, x, y):
        at = 3 * (y * self.width + x)
        return self.data[at:at + 3]

    def row(self, y):
        return self.data[3 * y * self.width:3 * (y + 1) * self.width]


def read_ppm(path):
    with open(path, 'rb') as f:
        raw = f.read()
    fields, at = [], 0
    while len(fields) < 4:
        while raw[at:at + 1].isspace():
            at += 1
        if raw[at:at + 1] == b'#':
            at = raw.index(b'\n', at) + 1
            continue
        start = at
        while not raw[at:at + 1].isspace():
            at += 1
        fields.append(raw[start:at])
    if fields[0] != b'P6' or fields[3] != b'255':
        raise SystemExit(f'{path}: not an 8-bit binary PPM')
    width, height = int(fields[1]), int(fields[2])
    data = raw[at + 1:at + 1 + 3 * width * height]
    return Image(width, height, data)


def write_ppm(path, width, height, data):
    with open(path, 'wb') as f:
        f.write(b'P6\n%d %d\n255\n' % (width, height))
        f.write(bytes(data))


def make_desktop(width, height, path):
    """A grid of 4 x 3 cells in five flat colours and one horizontal gradient whose neighbouring
    pixels differ by far less than the threshold; no two touching cells are alike."""
    flat = [(40, 90, 160), (230, 200, 40), (60, 160, 70), (120, 120, 120), (150, 40, 90)]
    layout = [[0, 1, 2, 3], [4, 5, 0, 1], [2, 3, 4, 0]]  # 5: the gradient
    data = bytearray()
    for y in range(height):
        for x in range(width):
            kind = layout[y * 3 // height][x * 4 // width]
            if kind == 5:
                cell_left = (x * 4 // width) * width // 4
                data += bytes((100 + (x - cell_left) * 100 // (width // 4), 210, 230))
            else:
                data += bytes(flat[kind])
    write_ppm(path, width, height, data)


def tile_color(x, y):
    """Unique per pixel, and 255 apart in red from each 4-neighbour, across the tile's edges too."""
    if (x + y) % 2 == 0:
        return (255, 8 * x, 8 * y)
    return (0, 128 + 8 * x, 128 + 8 * y)


def make_tile(path):
    data = bytearray()
    for y in range(16):
        for x in range(16):
            data += bytes(tile_color(x, y))
    write_ppm(path, 16, 16, data)


def similar(a, b, threshold):
    return abs(a[0] - b[0]) + abs(a[1] - b[1]) + abs(a[2] - b[2]) < threshold


def areas(picture, threshold):
    """Labels every pixel with its 4-connected area of chained-similar colour."""
    width, height = picture.width, picture.height
    label = [-1] * (width * height)
    count = 0
    for start in range(width * height):
        if label[start] >= 0:
            continue
        label[start] = count
        stack = [start]
        while stack:
            at = stack.pop()
            x, y = at % width, at // width
            here = picture.pixel(x, y)
            for nx, ny in ((x - 1, y), (x + 1, y), (x, y - 1), (x, y + 1)):
                if 0 <= nx < width and 0 <= ny < height:
                    n = ny * width + nx
                    if label[n] < 0 and similar(here, picture.pixel(nx, ny), threshold):
                        label[n] = count
                        stack.append(n)
        count += 1
    return label, count


def tiled(tile, width, height):
    """The texture tiled from the screen's top-left corner."""
    data = bytearray()
    for y in range(height):
        row = tile.row(y % tile.height)
        data += (row * (width // tile.width + 1))[:3 * width]
    return Image(width, height, bytes(data))


def tally(shot, desktop, texture, label, count, rows, skip, place=None, places=0):
    """Counts per area of the desktop the pixels of the shot's rows that show the tiled texture,
    and per place(x, y) too when given; pixels where skip(x, y) holds, or where desktop and texture
    agree (they tell nothing), are not looked at. Raises when an area is partly filled."""
    textured, untouched, per_place = [0] * count, [0] * count, [0] * places
    for y in rows:
        row, d, t = shot.row(y), desktop.row(y), texture.row(y)
        for x in range(shot.width):
            p, dp, tp = row[3 * x:3 * x + 3], d[3 * x:3 * x + 3], t[3 * x:3 * x + 3]
            if dp == tp or skip(x, y):
                continue
            area = label[y * shot.width + x]
            if p == tp:
                textured[area] += 1
                if place:
                    per_place[place(x, y)] += 1
            elif p == dp:
                untouched[area] += 1
    mixed = [a for a in range(count) if textured[a] and untouched[a]]
    if mixed:
        a = mixed[0]
        raise AssertionError(f'area {a} is partly filled: {textured[a]} pixels textured, '
                             f'{untouched[a]} not')
    return textured, per_place


def caption_box(shot, desktop, texture):
    """The bounding box of the pixels that are neither desktop nor texture, or None."""
    left, top, right, bottom = shot.width, shot.height, -1, -1
    white = 0
    for y in range(shot.height):
        row, d, t = shot.row(y), desktop.row(y), texture.row(y)
        if row == d or row == t:
            continue
        for x in range(shot.width):
            p = row[3 * x:3 * x + 3]
            if p != d[3 * x:3 * x + 3] and p != t[3 * x:3 * x + 3]:
                left, top, right, bottom = min(left, x), min(top, y), max(right, x), max(bottom, y)
                white += p == b'\xff\xff\xff'
    if right < 0:
        return None, 0
    return (left, top, right, bottom), white


def check_state(shot, desktop, texture, label, count, area_bottom):
    """One screenshot: returns (restored_from_row, textured_areas, wiping) or raises with what is
    wrong. The wipe is under way when a textured area reaches into the rows already restored."""
    width, height = shot.width, shot.height
    box, white = caption_box(shot, desktop, texture)
    if box is None or white < MIN_CAPTION_WHITE:
        raise AssertionError(f'no caption: box {box}, {white} white pixels')
    left, top, right, bottom = box
    if top > 8 or bottom >= CAPTION_BOX_HEIGHT or right < width - 12 or \
            left < width - CAPTION_BOX_WIDTH:
        raise AssertionError(f'the caption is not at the top right: box {box}')
    in_caption = lambda x, y: left <= x <= right and top <= y <= bottom

    # The wipe restores from the bottom: find the first row from which the desktop is back.
    restored = height
    while restored > 0:
        y = restored - 1
        row, d = shot.row(y), desktop.row(y)
        if y <= bottom:
            row, d = row[:3 * left] + row[3 * (right + 1):], d[:3 * left] + d[3 * (right + 1):]
        if row != d:
            break
        restored -= 1

    # Above that row every area is either untouched or wholly the tiled texture.
    textured, _ = tally(shot, desktop, texture, label, count, range(restored), in_caption)
    filled = [a for a in range(count) if textured[a]]
    return restored, len(filled), any(area_bottom[a] >= restored for a in filled)


def fill_cycle(desktop_path, tile_path, threshold, shots):
    desktop, tile = read_ppm(desktop_path), read_ppm(tile_path)
    texture = tiled(tile, desktop.width, desktop.height)
    label, count = areas(desktop, threshold)
    area_bottom = [0] * count
    for at, area in enumerate(label):
        area_bottom[area] = at // desktop.width
    print(f'desktop: {count} areas of similar colour')
    seen_fill = seen_wipe = seen_back = shown = False
    previous = None
    for path in shots:
        shot = read_ppm(path)
        if (shot.width, shot.height) != (desktop.width, desktop.height):
            raise SystemExit(f'{path}: {shot.width}x{shot.height}, not the desktop size')
        if shot.data == previous:
            continue
        previous = shot.data
        if not shown and shot.data == desktop.data:
            print(f'{path}: the desktop, the saver not painted yet')
            continue
        shown = True
        try:
            restored, filled, wiping = check_state(shot, desktop, texture, label, count,
                                                   area_bottom)
        except AssertionError as problem:
            raise SystemExit(f'FAIL {path}: {problem}')
        if wiping:
            state = f'wiping (desktop back from row {restored})'
            seen_wipe = seen_wipe or seen_fill
        elif filled > 0:
            state = 'filling'
            seen_fill = True
        else:
            state = 'desktop'
            seen_back = seen_back or seen_wipe
        print(f'{path}: {state}, {filled} areas textured')
    if not (seen_fill and seen_wipe and seen_back):
        raise SystemExit(f'FAIL: the run did not show fills, a wipe and the desktop again in that '
                         f'order (fills {seen_fill}, wipe {seen_wipe}, back {seen_back})')
    print('fill cycle: OK')


def check_monitors(shot, desktop, texture, label, count, monitors):
    """One screenshot on several monitors: returns the textured pixels on each monitor."""
    width, height = shot.width, shot.height
    on = [bytearray(width) for _ in range(height)]
    for mx, my, mw, mh in monitors:
        for y in range(my, my + mh):
            on[y][mx:mx + mw] = b'\x01' * mw
    px, py, pw, ph = monitors[0]
    left, top, right, bottom, white = width, height, -1, -1, 0
    for y in range(height):
        row, d, t = shot.row(y), desktop.row(y), texture.row(y)
        for x in range(width):
            p = row[3 * x:3 * x + 3]
            if on[y][x] and p != d[3 * x:3 * x + 3] and p != t[3 * x:3 * x + 3]:
                left, top, right, bottom = min(left, x), min(top, y), max(right, x), max(bottom, y)
                white += p == b'\xff\xff\xff'
    box = (left, top, right, bottom)
    if white < MIN_CAPTION_WHITE or top > py + 8 or bottom >= py + CAPTION_BOX_HEIGHT or \
            right < px + pw - 12 or right >= px + pw or left < px + pw - CAPTION_BOX_WIDTH:
        raise AssertionError(f'the caption is not at the primary monitor\'s top right: box {box}, '
                             f'{white} white pixels')
    skip = lambda x, y: not on[y][x] or (left <= x <= right and top <= y <= bottom)
    monitor = lambda x, y: next(i for i, (mx, my, mw, mh) in enumerate(monitors)
                                if mx <= x < mx + mw and my <= y < my + mh)
    _, per_monitor = tally(shot, desktop, texture, label, count, range(height), skip, monitor,
                           len(monitors))
    return per_monitor


def monitors_run(desktop_path, tile_path, threshold, monitors_text, shots):
    desktop, tile = read_ppm(desktop_path), read_ppm(tile_path)
    monitors = [tuple(int(v) for v in m.split(',')) for m in monitors_text.split(';')]
    texture = tiled(tile, desktop.width, desktop.height)
    label, count = areas(desktop, threshold)
    filled = [0] * len(monitors)
    for path in shots:
        shot = read_ppm(path)
        if (shot.width, shot.height) != (desktop.width, desktop.height):
            raise SystemExit(f'{path}: {shot.width}x{shot.height}, not the desktop size')
        try:
            per_monitor = check_monitors(shot, desktop, texture, label, count, monitors)
        except AssertionError as problem:
            raise SystemExit(f'FAIL {path}: {problem}')
        print(f'{path}: textured pixels per monitor {per_monitor}')
        filled = [max(a, b) for a, b in zip(filled, per_monitor)]
    if not all(filled):
        raise SystemExit(f'FAIL: no fill landed on some monitor: {filled}')
    print('monitors: OK')


WALLPAPER_COLORS = [(200, 40, 40), (40, 200, 40), (40, 40, 200), (220, 220, 60),
                    (60, 220, 220), (220, 60, 220), (250, 250, 250), (90, 90, 90),
                    (160, 110, 30), (30, 110, 160), (110, 30, 160), (0, 0, 0)]


def make_wallpaper(path):
    data = bytearray()
    for y in range(150):
        for x in range(400):
            data += bytes(WALLPAPER_COLORS[(y // 50) * 4 + x // 100])
    write_ppm(path, 400, 150, data)


def wallpaper(shot_path, picture_path, style, background):
    shot, picture = read_ppm(shot_path), read_ppm(picture_path)
    width, height, pw, ph = shot.width, shot.height, picture.width, picture.height
    back = bytes(int(v) for v in background.split(','))
    if style in ('center', 'tile'):
        left, top, w, h = (width - pw) // 2, (height - ph) // 2, pw, ph
        if style == 'tile':
            left = top = 0
    else:
        scale = (min if style == 'fit' else max)(width / pw, height / ph)
        w, h = round(pw * scale), round(ph * scale)
        left, top = (width - w) // 2, (height - h) // 2
    sx, sy = w / pw, h / ph
    # Scaled pictures blend across a block's edge over about one source pixel.
    margin = 0 if style in ('center', 'tile') else int(max(sx, sy)) + 2
    edges_x = {left + round(k * 100 * sx) for k in range(5)}
    edges_y = {top + round(k * 50 * sy) for k in range(4)}
    skip_x = {x for e in edges_x for x in range(e - margin, e + margin + 1)}
    skip_y = {y for e in edges_y for y in range(e - margin, e + margin + 1)}
    checked = 0
    for y in range(height):
        if y in skip_y:
            continue
        row = shot.row(y)
        for x in range(width):
            if x in skip_x or (y < CAPTION_BOX_HEIGHT and x >= width - CAPTION_BOX_WIDTH):
                continue
            if style == 'tile':
                expected = picture.pixel(x % pw, y % ph)
            elif left <= x < left + w and top <= y < top + h:
                expected = picture.pixel(int((x - left) / sx), int((y - top) / sy))
            else:
                expected = back
            if row[3 * x:3 * x + 3] != expected:
                raise SystemExit(f'FAIL: {style}: pixel ({x},{y}) is {tuple(row[3 * x:3 * x + 3])}, '
                                 f'expected {tuple(expected)}')
            checked += 1
    print(f'wallpaper {style}: OK ({checked} pixels)')


def grown(shot_path, left, top, width, height, canvas_w, canvas_h, color, tile_path, textured):
    shot, tile = read_ppm(shot_path), read_ppm(tile_path)
    desktop = bytes(int(v) for v in color.split(','))
    white = 0
    for y in range(height):
        row = shot.row(top + y)
        for x in range(width):
            p = row[3 * (left + x):3 * (left + x) + 3]
            if y < CAPTION_BOX_HEIGHT and x >= width - CAPTION_BOX_WIDTH and p != b'\x00\x00\x00' \
                    and p != desktop and p != tile.pixel(x % 16, y % 16):
                white += p == b'\xff\xff\xff'
                continue
            if x < canvas_w and y < canvas_h:
                allowed = [tile.pixel(x % tile.width, y % tile.height)] + ([] if textured else [desktop])
            else:
                allowed = [b'\x00\x00\x00']
            if p not in allowed:
                raise SystemExit(f'FAIL: pixel ({x},{y}) of the window is {tuple(p)}, expected one '
                                 f'of {[tuple(a) for a in allowed]}')
    if white < MIN_CAPTION_WHITE:
        raise SystemExit(f'FAIL: no caption at the top right ({white} white pixels)')
    print('grown: OK')


def same(a_path, b_path, box):
    a, b = read_ppm(a_path), read_ppm(b_path)
    if box is None:
        box = (0, 0, min(a.width, b.width), min(a.height, b.height))
        if (a.width, a.height) != (b.width, b.height):
            raise SystemExit(f'FAIL: {a_path} and {b_path} differ in size')
    x0, y0, w, h = box
    for y in range(y0, y0 + h):
        ra, rb = a.row(y)[3 * x0:3 * (x0 + w)], b.row(y)[3 * x0:3 * (x0 + w)]
        if ra != rb:
            x = next(i for i in range(w) if ra[3 * i:3 * i + 3] != rb[3 * i:3 * i + 3])
            raise SystemExit(f'FAIL: {a_path} and {b_path} differ at ({x0 + x},{y})')
    print('same: OK')


def preview(shot_path, left, top, picture_path):
    shot, picture = read_ppm(shot_path), read_ppm(picture_path)
    px, py = 36, 12
    black = b'\x00\x00\x00'
    for y in range(112):
        for x in range(152):
            found = shot.pixel(left + x, top + y)
            inside = px <= x < px + picture.width and py <= y < py + picture.height
            expected = picture.pixel(x - px, y - py) if inside else black
            if found != expected:
                raise SystemExit(f'FAIL: preview pixel ({x},{y}) is {tuple(found)}, expected '
                                 f'{tuple(expected)}')
    print('preview: OK')


def textured(shot_path, texture_paths):
    shot = read_ppm(shot_path)
    # Every third pixel is enough; decoders round JPEG's colours a little differently.
    points = [(x, y) for y in range(0, shot.height, 3) for x in range(0, shot.width, 3)
              if x < shot.width - CAPTION_BOX_WIDTH or y >= CAPTION_BOX_HEIGHT]
    shares = {}
    for path in texture_paths:
        texture = tiled(read_ppm(path), shot.width, shot.height)
        near = sum(all(abs(a - b) <= 16 for a, b in zip(shot.pixel(x, y), texture.pixel(x, y)))
                   for x, y in points)
        shares[path] = near / len(points)
    best = max(shares, key=shares.get)
    print(f'best match {best}: {shares[best]:.3f} of the screen')
    if shares[best] < 0.98:
        raise SystemExit('FAIL: the screen shows no texture tiled whole')


def main(argv):
    if len(argv) >= 2:
        command, args = argv[1], argv[2:]
        if command == 'make-desktop' and len(args) == 3:
            return make_desktop(int(args[0]), int(args[1]), args[2])
        if command == 'make-tile' and len(args) == 1:
            return make_tile(args[0])
        if command == 'fill-cycle' and len(args) >= 4:
            return fill_cycle(args[0], args[1], int(args[2]), args[3:])
        if command == 'make-wallpaper' and len(args) == 1:
            return make_wallpaper(args[0])
        if command == 'wallpaper' and len(args) == 4:
            return wallpaper(*args)
        if command == 'monitors' and len(args) >= 5:
            return monitors_run(args[0], args[1], int(args[2]), args[3], args[4:])
        if command == 'grown' and len(args) in (9, 10):
            return grown(args[0], *(int(v) for v in args[1:7]), args[7], args[8], len(args) == 10)
        if command == 'same' and len(args) in (2, 6):
            box = tuple(int(v) for v in args[2:]) if len(args) == 6 else None
            return same(args[0], args[1], box)
        if command == 'textured' and len(args) >= 2:
            return textured(args[0], args[1:])
        if command == 'preview' and len(args) == 4:
            return preview(args[0], int(args[1]), int(args[2]), args[3])
    raise SystemExit(__doc__)


if __name__ == '__main__':
    main(sys.argv)
