#!/usr/bin/env python3
"""Fails unless a screenshot shows one of the given textures tiled from the screen's top-left
corner over the whole screen but the caption's corner: what the saver's first fill paints over a
desktop of one colour.

  textured.py SHOT.ppm TEXTURE.ppm...
"""
import sys

CAPTION_WIDTH, CAPTION_HEIGHT = 400, 40  # the top right corner that the caption may cover
TOLERANCE = 16  # per channel: decoders round JPEG's colours a little differently
MIN_SHARE = 0.98


def read_ppm(path):
    with open(path, "rb") as f:
        raw = f.read()
    fields, at = [], 0
    while len(fields) < 4:
        while raw[at:at + 1].isspace():
            at += 1
        start = at
        while not raw[at:at + 1].isspace():
            at += 1
        fields.append(raw[start:at])
    width, height = int(fields[1]), int(fields[2])
    return width, height, raw[at + 1:at + 1 + 3 * width * height]


def share_matching(shot, texture):
    width, height, pixels = shot
    tile_width, tile_height, tile = texture
    matching = counted = 0
    for y in range(0, height, 3):
        for x in range(0, width, 3):
            if x >= width - CAPTION_WIDTH and y < CAPTION_HEIGHT:
                continue
            at = 3 * (y * width + x)
            tile_at = 3 * ((y % tile_height) * tile_width + x % tile_width)
            counted += 1
            if all(abs(pixels[at + i] - tile[tile_at + i]) <= TOLERANCE for i in range(3)):
                matching += 1
    return matching / counted


def main(shot_path, texture_paths):
    shot = read_ppm(shot_path)
    shares = {path: share_matching(shot, read_ppm(path)) for path in texture_paths}
    best = max(shares, key=shares.get)
    print("best match %s: %.3f of the screen" % (best, shares[best]))
    return 0 if shares[best] >= MIN_SHARE else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1], sys.argv[2:]))
