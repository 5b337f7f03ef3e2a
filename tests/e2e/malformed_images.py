#!/usr/bin/env python3
"""Broken texture files made from the sample textures, for the real decoder to refuse or survive.

    malformed_images.py SAMPLES OUT

Writes the files into OUT and prints "FILE WHAT" for each, one a line, in the order they are to be
listed: FILE is a short name (a number and the extension, so that a list of hundreds stays small),
WHAT says what was done to which sample:
every sample cut at many offsets and with header bytes flipped; declared sizes of 0, 1, 65535 and
negative; palette indexes past the palette (BMP, PNG, GIF); and a few files that are valid but
unusual: a GIF of many frames, 16-bit PNGs, a CMYK JPEG and a BMP with the old core header (made
with ImageMagick); files that must be refused before any decoder reads them, named "hostile-...":
pictures declared far larger than any texture (a core-header BMP, PNG, GIF and JPEG) and other
picture types under a texture's name (TIFF, icon, metafile). The intact samples come last. Nothing is random: the same samples give the same files.
"""
import os
import struct
import subprocess
import sys
import zlib

files = []


def short_name(what):
    return f'{len(files):03d}{os.path.splitext(what)[1]}'


def write(out, what, data):
    with open(os.path.join(out, short_name(what)), 'wb') as f:
        f.write(data)
    files.append(f'{short_name(what)} {what}')


def cuts(data):
    """Offsets to cut at: every byte of the first 16, then spread over the rest."""
    offsets = set(range(16)) | {24, 32, 48, 64, 100, 128, 256, 512}
    offsets |= {len(data) * k // 8 for k in range(1, 8)} | {len(data) - 1, len(data) - 16}
    return sorted(o for o in offsets if 0 <= o < len(data))


def png_chunk(kind, body):
    return (struct.pack('>I', len(body)) + kind + body +
            struct.pack('>I', zlib.crc32(kind + body) & 0xffffffff))


def png(width, height, depth, color_type, rows, extra=b''):
    """A PNG of the given rows (each without its filter byte)."""
    header = struct.pack('>IIBBBBB', width, height, depth, color_type, 0, 0, 0)
    raw = b''.join(b'\0' + row for row in rows)
    return (b'\x89PNG\r\n\x1a\n' + png_chunk(b'IHDR', header) + extra +
            png_chunk(b'IDAT', zlib.compress(raw)) + png_chunk(b'IEND', b''))


def bmp_palette(width, height, bits, colors_used, pixels):
    """A bottom-up palette BMP of `colors_used` grey entries; `pixels` are its packed rows."""
    row_bytes = (width * bits + 31) // 32 * 4
    rows = b''.join(pixels(y).ljust(row_bytes, b'\0') for y in range(height))
    palette = b''.join(bytes((g, g, g, 0)) for g in range(0, 256, 256 // colors_used))
    palette = palette[:4 * colors_used]
    offset = 14 + 40 + len(palette)
    return (b'BM' + struct.pack('<IHHI', offset + len(rows), 0, 0, offset) +
            struct.pack('<IiiHHIIiiII', 40, width, height, 1, bits, 0, len(rows), 2835, 2835,
                        colors_used, 0) + palette + rows)


def gif_literal(width, height, table, index):
    """A GIF whose pixels are written as 9-bit literal codes (a clear code every 254), so any
    index may be given, also one past the colour table."""
    size_field = max(0, (len(table) // 3 - 1).bit_length() - 1)
    codes, pending = [256], 0
    for y in range(height):
        for x in range(width):
            if pending == 254:
                codes.append(256)
                pending = 0
            codes.append(index(x, y))
            pending += 1
    codes.append(257)
    bits = value = 0
    stream = bytearray()
    for code in codes:
        value |= code << bits
        bits += 9
        while bits >= 8:
            stream.append(value & 255)
            value >>= 8
            bits -= 8
    if bits:
        stream.append(value)
    blocks = b''.join(bytes((len(stream[i:i + 255]),)) + stream[i:i + 255]
                      for i in range(0, len(stream), 255))
    return (b'GIF89a' + struct.pack('<HHBBB', width, height, 0x80 | size_field, 0, 0) + table +
            b',' + struct.pack('<HHHHB', 0, 0, width, height, 0) + b'\x08' + blocks + b'\0;')


def patched(data, at, fmt, value):
    return data[:at] + struct.pack(fmt, value) + data[at + struct.calcsize(fmt):]


def declared_sizes(name, data, write_as):
    """The sample with its declared width or height (or both) set to 0, 1, 65535 or a negative
    value, wherever its format keeps them."""
    base, ext = os.path.splitext(name)
    if ext == '.bmp':
        for value in (0, 1, 65535, -1, -64, -65535, 2**31 - 1, -2**31):
            for field, at in (('w', 18), ('h', 22)):
                write_as(f'{base}-{field}{value}{ext}', patched(data, at, '<i', value))
    elif ext == '.png':
        for value in (0, 1, 65535, 2**31, 2**32 - 1):
            for field, at in (('w', 16), ('h', 20), ('wh', 16)):
                broken = patched(data, at, '>I', value)
                if field == 'wh':
                    broken = patched(broken, 20, '>I', value)
                # Once as it is (the chunk's CRC no longer matches) and once with the CRC made
                # good, so that the decoder gets past the check to the sizes themselves.
                write_as(f'{base}-{field}{value}{ext}', broken)
                crc = zlib.crc32(broken[12:29]) & 0xffffffff
                write_as(f'{base}-{field}{value}-crc{ext}', patched(broken, 29, '>I', crc))
    elif ext == '.gif':
        image = data.index(b',', 13 + 3 * (2 << (data[10] & 7)))
        for value in (0, 1, 65535):
            for field, at in (('sw', 6), ('sh', 8), ('iw', image + 5), ('ih', image + 7)):
                write_as(f'{base}-{field}{value}{ext}', patched(data, at, '<H', value))
    elif ext == '.jpg':
        frame = data.index(b'\xff\xc0')
        for value in (0, 1, 65535):
            for field, at in (('h', frame + 5), ('w', frame + 7)):
                write_as(f'{base}-{field}{value}{ext}', patched(data, at, '>H', value))


def palette_overruns(out):
    ramp = lambda y: bytes((x * 4 + y) & 255 for x in range(64))
    write(out, 'pal8-4colors.bmp', bmp_palette(64, 64, 8, 4, ramp))
    write(out, 'pal8-1color.bmp', bmp_palette(64, 64, 8, 1, ramp))
    write(out, 'pal4-2colors.bmp',
          bmp_palette(64, 64, 4, 2, lambda y: bytes(((x + y) & 15) * 17 for x in range(32))))
    plte = png_chunk(b'PLTE', bytes(range(12)))
    write(out, 'pal8-4colors.png', png(64, 64, 8, 3, [ramp(y) for y in range(64)], plte))
    write(out, 'pal8-noplte.png', png(64, 64, 8, 3, [ramp(y) for y in range(64)]))
    write(out, 'pal-4colors.gif',
          gif_literal(64, 64, bytes(range(12)), lambda x, y: (x * 4 + y) & 255))
    write(out, 'pal-2colors.gif', gif_literal(64, 64, bytes(6), lambda x, y: 255))


def unusual(samples, out):
    """Valid files of rare kinds, made with ImageMagick from the samples."""
    def convert(what, *args, kind=''):
        subprocess.run(['convert', *args, kind + os.path.join(out, short_name(what))], check=True)
        files.append(f'{short_name(what)} {what}')
    gif = os.path.join(samples, 'leaf_hexagons.gif')
    png_sample = os.path.join(samples, 'amber_plasma.png')
    convert('frames200.gif', gif, '-duplicate', '199', '-delay', '2', '-loop', '0')
    convert('rgb16.png', png_sample, '-depth', '16', kind='PNG48:')
    convert('rgba16.png', png_sample, '-depth', '16', '-alpha', 'set', kind='PNG64:')
    convert('gray16.png', png_sample, '-colorspace', 'Gray', '-depth', '16')
    convert('cmyk.jpg', os.path.join(samples, 'dusk_waves.jpg'), '-colorspace', 'CMYK')
    convert('core-header.bmp', png_sample, '-resize', '16x16', kind='BMP2:')


def hostile(samples, out):
    """Files a decoder would believe: small, but declaring pictures of hundreds of megabytes
    (decoders allocate the whole picture first), or pictures of types no texture is."""
    write(out, 'hostile-core-65535.bmp', b'BM' + struct.pack('<IHHIIHHHH', 26 + 12, 0, 0, 26, 12,
                                                           65535, 65535, 1, 24) + bytes(12))
    # 12000 x 12000 grey: 140 KB of deflate holding 144 MB of rows.
    deflate = zlib.compressobj(9)
    row = bytes(12001)
    idat = b''.join(deflate.compress(row) for _ in range(12000)) + deflate.flush()
    write(out, 'hostile-12000.png', b'\x89PNG\r\n\x1a\n' +
          png_chunk(b'IHDR', struct.pack('>IIBBBBB', 12000, 12000, 8, 0, 0, 0, 0)) +
          png_chunk(b'IDAT', idat) + png_chunk(b'IEND', b''))
    gif = open(os.path.join(samples, 'leaf_hexagons.gif'), 'rb').read()
    write(out, 'hostile-screen-65535.gif', patched(patched(gif, 6, '<H', 65535), 8, '<H', 65535))
    image = gif.index(b',', 13 + 3 * (2 << (gif[10] & 7)))
    write(out, 'hostile-frame-far.gif', patched(patched(gif, image + 1, '<H', 60000),
                                                image + 3, '<H', 60000))
    jpeg = open(os.path.join(samples, 'dusk_waves.jpg'), 'rb').read()
    frame = jpeg.index(b'\xff\xc0')
    write(out, 'hostile-9000.jpg', patched(patched(jpeg, frame + 5, '>H', 9000), frame + 7,
                                           '>H', 9000))
    def convert(what, kind, *args):
        subprocess.run(['convert', os.path.join(samples, 'amber_plasma.png'), *args,
                        kind + os.path.join(out, short_name(what))], check=True)
        files.append(f'{short_name(what)} {what}')
    convert('hostile-tiff.jpg', 'TIFF:')
    convert('hostile-icon.png', 'ICO:', '-resize', '32x32')
    write(out, 'hostile-metafile.bmp', struct.pack('<IHhhhhHIH', 0x9AC6CDD7, 0, 0, 0, 64, 64,
                                                   1440, 0, 0) + bytes(64))


def main(samples, out):
    os.makedirs(out, exist_ok=True)
    names = sorted(os.listdir(samples))
    for name in names:
        data = open(os.path.join(samples, name), 'rb').read()
        base, ext = os.path.splitext(name)
        for at in cuts(data):
            write(out, f'{base}-cut{at}{ext}', data[:at])
        for at in range(min(len(data), 40)):
            write(out, f'{base}-flip{at}{ext}', data[:at] + bytes((data[at] ^ 0xff,)) +
                  data[at + 1:])
        declared_sizes(name, data, lambda n, d: write(out, n, d))
    palette_overruns(out)
    unusual(samples, out)
    hostile(samples, out)
    for name in names:
        write(out, name, open(os.path.join(samples, name), 'rb').read())
    print('\n'.join(files))


if __name__ == '__main__':
    if len(sys.argv) != 3:
        sys.exit('usage: malformed_images.py SAMPLES OUT')
    main(sys.argv[1], sys.argv[2])
