// What the tests can see and steer in the portable image decoder (image_decoder_stb.cpp).
//
// It reports an 8-bit picture as kPixelFormat24bppRGB, or kPixelFormat32bppARGB when it has an
// alpha channel, with rows of blue, green, red (and alpha) bytes; a picture of 16 bits a channel
// as kPixelFormat48bppRGB or kPixelFormat64bppARGB, formats without the GDI flag that can only be
// drawn (each channel then keeps its high byte). It locks rows in an image's own format only,
// and draws into 32-bit wrappers only. Wrappers may have any GDI format and, through
// StbDecoderSetPalette, a palette: so the tests can hand the loader what no file decodes to here.
#pragma once

#include <cstdint>

#include "textures/image_decoder.h"

// ---- Functions -------------------------------------------------------------------------------

// While true, DecoderStartup fails.
void StbDecoderFailStartup(bool fail);

// While true, DecoderLockRows fails.
void StbDecoderFailLocks(bool fail);

// While true, DecoderDrawImage fails.
void StbDecoderFailDraws(bool fail);

// Gives a wrapper a palette of `count` ARGB entries.
int StbDecoderSetPalette(DecodedImage wrapper, const std::uint32_t* entries, int count);

// Start-ups not yet shut down.
int StbDecoderRunningSessions();

// Decoded images and wrappers not yet disposed of.
int StbDecoderLiveImages();
