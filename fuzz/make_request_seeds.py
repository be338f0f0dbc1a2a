#!/usr/bin/env python3
"""Writes the seeds of request_handler_fuzzer into corpus/request_handler/:
valid requests of every kind that the plug-in handles, in the input layout
described at the top of RequestHandlerFuzzer.cpp. Run it again after a change
of that layout."""

import pathlib
import struct

HERE = pathlib.Path(__file__).resolve().parent
CORPUS = HERE / "corpus" / "request_handler"

# Document byte.
DEPTH16, ALPHA, SELECTION, LOCKED, LAYER = 1, 2, 4, 8, 16
GRAY, MULTICHANNEL = 1 << 5, 5 << 5
# Host byte.
NO_BIG_DOCUMENT, NO_COLOUR_SPACE_SUITE, ABORTS = 1, 4, 16
PADDING_12 = 3 << 6
# Cell selector choices, in the fuzzer's order.
(FINISH, CANCEL, END_WITH_ERROR, READ_INPUT, READ_MASK, WRITE_OUTPUT, PICK_COLOR,
 CONVERT_COLOR, CONVERT_IMAGE, DISPLAY, PROGRESS) = range(11)
UNKNOWN = 13
# Name field choices.
RAW, BUFFER_A, BUFFER_B, NOBODY = range(4)

RGB, CMYK_MODEL, GRAY_MODEL = 0, 2, 4


def header(document, width, height, corner=0, host=0, channels=1,
           buffer_a=0, buffer_b=0, content=b""):
    return (bytes([document, width - 1, height - 1, corner, host, channels - 1])
            + struct.pack("<IHH", buffer_a, buffer_b, len(content)) + content)


def cell(choice, record_from_offset_4, first=RAW, second=RAW):
    return struct.pack("<BBH", choice, first | second << 2,
                       len(record_from_offset_4)) + record_from_offset_4


def rect(left, top, right, bottom):
    return struct.pack("<4i", left, right, top, bottom)


def read_input(r, min_row, bps, model, channels, alpha, deliver8=0, reopen=0):
    return cell(READ_INPUT,
                r + struct.pack("<iBBxxiiiBBB", 1, deliver8, reopen, min_row, bps, 0,
                                model, channels, alpha),
                BUFFER_A)


def read_mask(r, min_row, bps, declined=0):
    return cell(READ_MASK,
                r + struct.pack("<BxBxiiiii", declined, 0, min_row, bps, 1, 0, 0), BUFFER_A)


def write_output(r, min_row, bps, model, channels, alpha, reopen=0):
    return cell(WRITE_OUTPUT,
                r + struct.pack("<iiiiiB32sB", min_row, bps, 0, model, channels, alpha,
                                b"", reopen),
                BUFFER_A)


def display(r, row_bytes, col_bytes, model, channels, alpha, in_place, result_bpp=3):
    return cell(DISPLAY,
                r + struct.pack("<iiiiBBB32sBBB", row_bytes, 1, result_bpp, col_bytes, model,
                                channels, alpha, b"", 0, 0, in_place),
                BUFFER_A, RAW if in_place else BUFFER_B)


def progress(done, total):
    return cell(PROGRESS, struct.pack("<ii", done, total))


def colour(space, components):
    return struct.pack("<bx4H", space, *components)


SEEDS = {
    "read-input-rgb8": header(0, 16, 12, buffer_a=16 * 12 * 3)
    + read_input(rect(0, 0, 16, 12), 48, 1, RGB, 3, 0),
    "read-input-padded-rows-of-a-layer": header(ALPHA | DEPTH16, 9, 7, host=PADDING_12,
                                                buffer_a=5 * 40)
    + read_input(rect(2, 1, 6, 6), 40, 2, RGB, 3, 1),
    "read-input-8-bit-from-16-bit": header(DEPTH16, 8, 8, buffer_a=64 * 3)
    + read_input(rect(0, 0, 8, 8), 24, 1, RGB, 3, 0, deliver8=1),
    "read-input-16-bit-coordinates": header(0, 8, 8, host=NO_BIG_DOCUMENT, buffer_a=64 * 3)
    + read_input(rect(0, 0, 8, 8), 24, 1, RGB, 3, 0)
    + read_input(rect(0, 0, 8, 8), 24, 1, RGB, 3, 0, reopen=1),
    "read-mask-8-and-16-bit": header(SELECTION | DEPTH16, 12, 10, corner=0x32,
                                     buffer_a=12 * 10 * 2)
    + read_mask(rect(0, 0, 12, 10), 24, 2) + read_mask(rect(0, 0, 12, 10), 12, 1)
    + read_mask(rect(0, 0, 12, 10), 12, 1, declined=1),
    "read-mask-of-a-layer": header(LAYER, 12, 10, corner=0x24, buffer_a=120)
    + read_mask(rect(0, 0, 12, 10), 12, 1),
    "write-output-rgb16": header(DEPTH16, 10, 6, buffer_a=10 * 6 * 6,
                                 content=bytes(range(200)))
    + write_output(rect(0, 0, 10, 6), 60, 2, RGB, 3, 0),
    "write-output-without-alpha-into-a-layer": header(ALPHA, 10, 6, buffer_a=10 * 6 * 3,
                                                      content=bytes(range(180)))
    + write_output(rect(0, 0, 10, 6), 30, 1, RGB, 3, 0),
    "tile-of-a-render": header(SELECTION | ALPHA, 16, 16, corner=0x44, buffer_a=8 * 8 * 4)
    + read_input(rect(4, 4, 12, 12), 32, 1, RGB, 3, 1)
    + read_mask(rect(4, 4, 12, 12), 8, 1)
    + write_output(rect(4, 4, 12, 12), 32, 1, RGB, 3, 1)
    + progress(1, 1) + cell(FINISH, b""),
    "display-into-result-buffer": header(0, 8, 8, buffer_a=5 * 4 * 4, buffer_b=5 * 4 * 4)
    + display(rect(0, 0, 5, 4), 20, 4, RGB, 3, 1, in_place=0),
    "display-in-place": header(0, 8, 8, buffer_a=4 * 16)
    + display(rect(1, 1, 6, 5), 15, 3, RGB, 3, 0, in_place=1),
    "display-gray-and-cmyk": header(0, 8, 8, buffer_a=4 * 4 * 4, buffer_b=4 * 4 * 4)
    + display(rect(0, 0, 4, 4), 4, 1, GRAY_MODEL, 1, 0, in_place=0)
    + display(rect(0, 0, 4, 4), 16, 4, CMYK_MODEL, 4, 0, in_place=0),
    "colours": header(0, 4, 4)
    + cell(PICK_COLOR, colour(0, (10, 20, 30, 0)))
    + cell(CONVERT_COLOR, colour(0, (10, 20, 30, 0)) + bytes(6) + struct.pack("<b", 4))
    + cell(CONVERT_COLOR, colour(0, (255, 0, 0, 0)) + bytes(6) + struct.pack("<b", 2))
    + cell(CONVERT_COLOR, colour(2, (255, 255, 255, 128)) + bytes(6) + struct.pack("<b", 0)),
    "convert-image-rgb-to-gray": header(0, 4, 4, buffer_a=6 * 3 * 4,
                                        content=bytes(range(0, 216, 3)))
    + cell(CONVERT_IMAGE, rect(0, 0, 6, 3) + struct.pack("<iiiiBBBBBB", 24, 1, 0, 0,
                                                          RGB, 3, 0, GRAY_MODEL, 1, 0),
           BUFFER_A),
    "convert-image-without-the-suite": header(0, 4, 4, host=NO_COLOUR_SPACE_SUITE,
                                              buffer_a=48)
    + cell(CONVERT_IMAGE, rect(0, 0, 4, 4) + struct.pack("<iiiiBBBBBB", 12, 1, 0, 0,
                                                          GRAY_MODEL, 1, 0, RGB, 3, 0),
           BUFFER_A),
    # Found by the fuzzer: no columns, every row of the plane; the handler
    # walked all 2^32 rows.
    "convert-image-without-columns": header(0, 4, 4, buffer_a=48)
    + cell(CONVERT_IMAGE, rect(3, -2**31, 3, 2**31 - 1)
           + struct.pack("<iiiiBBBBBB", 12, 1, 0, 0, RGB, 3, 0, GRAY_MODEL, 1, 0), BUFFER_A),
    # Found by the fuzzer: no rows, but columns enough for a host row beyond
    # 32 bits; wrapping the host's view of it threw.
    "rectangles-without-rows": header(ALPHA, 8, 8, buffer_a=64)
    + read_input(rect(4, 4, 0x5D00000C, -100), 32, 1, RGB, 1, 0)
    + write_output(rect(4, 4, 0x5D00000C, -100), 32, 1, RGB, 1, 0)
    + cell(CONVERT_IMAGE, rect(4, 4, 0x5D00000C, -100)
           + struct.pack("<iiiiBBBBBB", 0, 1, 0, 0, GRAY_MODEL, 1, 0, RGB, 3, 0), BUFFER_A),
    "progress-and-abort": header(0, 4, 4, host=ABORTS)
    + progress(3, 10) + progress(10, 10) + progress(-1, 0),
    "ends-of-an-exchange": header(0, 4, 4)
    + cell(CANCEL, b"") + cell(END_WITH_ERROR, struct.pack("<ii", 0, -128)),
    "multichannel-and-an-unknown-selector": header(MULTICHANNEL | DEPTH16, 6, 6, channels=5,
                                                   buffer_a=6 * 6 * 10)
    + read_input(rect(0, 0, 6, 6), 60, 2, RGB, 5, 0)
    + cell(UNKNOWN, b"\x01\x02\x03")
    + write_output(rect(0, 0, 6, 6), 60, 2, RGB, 5, 0),
}


def main():
    CORPUS.mkdir(parents=True, exist_ok=True)
    for name, seed in SEEDS.items():
        (CORPUS / name).write_bytes(seed)


if __name__ == "__main__":
    main()
