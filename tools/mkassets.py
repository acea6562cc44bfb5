#!/usr/bin/env python3
"""Makes the program's own pictures in assets/: the text font "eng.bmp",
the message-box frame "dlg_eng.bmp" and the mouse cursor "mouse.bmp".

Run once by hand (python3 tools/mkassets.py); the outputs are committed.
The letters, digits and signs of eng.bmp come from the public-domain 6x12
"fixed" font of the X11 misc fonts (Debian package xfonts-base, file
/usr/share/fonts/X11/misc/6x12-ISO8859-1.pcf.gz, "Public domain font.
Share and enjoy."); the frame, box, marker and bracket cells, the dialog
frame and the cursor are drawn here.
"""

import gzip
import os
import struct
import sys

FONT_FILE = "/usr/share/fonts/X11/misc/6x12-ISO8859-1.pcf.gz"
CELL_W, CELL_H, PER_ROW, CELLS = 8, 12, 16, 128

# --- BMP writing (40-byte info header, pixels right after the palette) ----


def write_bmp(path, width, height, bits, rows, palette=None):
    """rows: top-down list of rows; each pixel a palette index (4/8 bits) or
    an (r, g, b) triple (24 bits)."""
    stride = (width * bits + 31) // 32 * 4
    pal = b""
    if palette is not None:
        pal = b"".join(struct.pack("<BBBB", b, g, r, 0) for (r, g, b) in palette)
    data = bytearray()
    for row in reversed(rows):
        line = bytearray()
        if bits == 24:
            for (r, g, b) in row:
                line += bytes((b, g, r))
        elif bits == 8:
            line += bytes(row)
        else:
            for x in range(0, width, 2):
                hi = row[x]
                lo = row[x + 1] if x + 1 < width else 0
                line.append(hi << 4 | lo)
        line += bytes(stride - len(line))
        data += line
    offset = 54 + len(pal)
    used = 0 if palette is None or len(palette) == 1 << bits else len(palette)
    head = struct.pack("<2sIHHI", b"BM", offset + len(data), 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, width, height, 1, bits, 0, len(data), 2835, 2835, used, 0)
    with open(path, "wb") as f:
        f.write(head + info + pal + data)


# --- PCF reading (just what a bitmap font needs) ---------------------------

PCF_METRICS, PCF_BITMAPS, PCF_BDF_ENCODINGS, PCF_BDF_ACCELERATORS = 4, 8, 32, 256


def read_pcf(path):
    raw = gzip.open(path).read()
    assert raw[:4] == b"\x01fcp", "not a PCF font"
    (count,) = struct.unpack_from("<I", raw, 4)
    tables = {}
    for i in range(count):
        t, fmt, size, off = struct.unpack_from("<IIII", raw, 8 + 16 * i)
        tables[t] = off

    def table(t):
        off = tables[t]
        (fmt,) = struct.unpack_from("<I", raw, off)
        return off + 4, fmt, ">" if fmt & 4 else "<"

    off, fmt, e = table(PCF_METRICS)
    metrics = []
    if fmt & 0x100:
        (n,) = struct.unpack_from(e + "H", raw, off)
        off += 2
        for i in range(n):
            lsb, rsb, w, asc, desc = (v - 0x80 for v in raw[off + 5 * i : off + 5 * i + 5])
            metrics.append((lsb, rsb, w, asc, desc))
    else:
        (n,) = struct.unpack_from(e + "I", raw, off)
        off += 4
        for i in range(n):
            metrics.append(struct.unpack_from(e + "hhhhh", raw, off + 12 * i))

    off, fmt, e = table(PCF_BITMAPS)
    (n,) = struct.unpack_from(e + "I", raw, off)
    offsets = struct.unpack_from(e + "%dI" % n, raw, off + 4)
    data_off = off + 4 + 4 * n + 16
    pad = 1 << (fmt & 3)
    msbit = bool(fmt & 8)
    assert fmt & 0x30 == 0, "scan units above one byte are not handled"

    def glyph(i):
        lsb, rsb, w, asc, desc = metrics[i]
        gw, gh = rsb - lsb, asc + desc
        stride = ((gw + 7) // 8 + pad - 1) // pad * pad
        base = data_off + offsets[i]
        pixels = []
        for y in range(gh):
            row = raw[base + y * stride : base + (y + 1) * stride]
            bits = []
            for x in range(gw):
                byte = row[x // 8]
                bit = (byte >> (7 - x % 8)) & 1 if msbit else (byte >> (x % 8)) & 1
                bits.append(bit)
            pixels.append(bits)
        return lsb, asc, pixels

    off, fmt, e = table(PCF_BDF_ENCODINGS)
    min2, max2, min1, max1, default = struct.unpack_from(e + "hhhhh", raw, off)
    width2 = max2 - min2 + 1
    indices = struct.unpack_from(e + "%dH" % (width2 * (max1 - min1 + 1)), raw, off + 10)

    off, fmt, e = table(PCF_BDF_ACCELERATORS)
    ascent, descent = struct.unpack_from(e + "ii", raw, off + 8)

    def char(code):
        if min1 != 0 or max1 != 0:
            return None
        if code < min2 or code > max2:
            return None
        i = indices[code - min2]
        return None if i == 0xFFFF else glyph(i)

    return char, ascent, descent


# --- the font sheet ---------------------------------------------------------


def blank():
    return [[0] * CELL_W for _ in range(CELL_H)]


def from_art(art):
    cell = blank()
    for y, line in enumerate(art):
        for x, ch in enumerate(line):
            if ch == "#":
                cell[y][x] = 1
    return cell


# Box-drawing cells of the tab frames: 16 left edge of a title, 17 its right
# edge, 18 the rule over a title, 19 the solid title background.
ART = {
    16: ["  ######", " #", "#", "#", "#", "#", "#", "#", "#", "#", "#", "#"],
    17: ["###### ", "      #", "       #", "       #", "       #", "       #", "       #", "       #",
         "       #", "       #", "       #", "       #"],
    18: ["########"],
    19: ["########"] * 12,
    # Check boxes, off and on, inside the top-left 8 x 8.
    20: ["#######", "#     #", "#     #", "#     #", "#     #", "#     #", "#######"],
    21: ["#######", "#     #", "# # # #", "#  #  #", "# # # #", "#     #", "#######"],
    # Choice markers, not chosen and chosen.
    22: ["  ###", " #   #", "#     #", "#     #", "#     #", " #   #", "  ###"],
    23: ["  ###", " #   #", "#  #  #", "# ### #", "#  #  #", " #   #", "  ###"],
    # Bracket pieces framing a two-row matrix: upper left and right, lower
    # left and right.
    24: ["", "", "", "  ####", "  #", "  #", "  #", "  #", "  #", "  #", "  #", "  #"],
    25: ["", "", "", " ####", "    #", "    #", "    #", "    #", "    #", "    #", "    #", "    #"],
    26: ["  #", "  #", "  #", "  #", "  #", "  #", "  #", "  #", "  ####"],
    27: ["    #", "    #", "    #", "    #", "    #", "    #", "    #", "    #", " ####"],
}


def make_font(out):
    char, ascent, descent = read_pcf(FONT_FILE)
    assert ascent + descent <= CELL_H
    cells = [blank() for _ in range(CELLS)]
    for code, art in ART.items():
        cells[code] = from_art(art)
    for code in range(32, 127):
        g = char(code)
        if g is None:
            continue
        lsb, asc, pixels = g
        cell = cells[code]
        for y, row in enumerate(pixels):
            for x, bit in enumerate(row):
                cx, cy = 1 + lsb + x, ascent - asc + y
                if bit and 0 <= cx < CELL_W and 0 <= cy < CELL_H:
                    cell[cy][cx] = 1
    assert any(any(r) for r in cells[63]), "cell 63 must be the question mark"
    rows = []
    for band in range(CELLS // PER_ROW):
        for y in range(CELL_H):
            line = []
            for c in range(PER_ROW):
                line += cells[band * PER_ROW + c][y]
            rows.append(line)
    # Black is the key colour of the glyphs; the ink is white.
    write_bmp(out, PER_ROW * CELL_W, len(rows), 4, rows, [(0, 0, 0), (255, 255, 255)])


# --- the message-box frame -------------------------------------------------


def make_dialog(out, width=512, height=96):
    rows = []
    for y in range(height):
        line = []
        for x in range(width):
            edge = min(x, y, width - 1 - x, height - 1 - y)
            if edge == 0:
                px = (16, 16, 40)
            elif edge < 3:
                px = (150, 160, 210) if (x < width - 3 and y < height - 3) else (50, 55, 110)
            elif edge < 5:
                px = (30, 30, 90)
            else:
                shade = 60 + 40 * y // height
                px = (10, 12, shade)
            line.append(px)
        rows.append(line)
    write_bmp(out, width, height, 24, rows)


# --- the mouse cursor --------------------------------------------------------

ARROW = [
    "o",
    "oo",
    "o#o",
    "o##o",
    "o###o",
    "o####o",
    "o#####o",
    "o######o",
    "o#######o",
    "o########o",
    "o#####ooooo",
    "o##o##o",
    "o#o o##o",
    "oo  o##o",
    "o    o##o",
    "     o##o",
    "      oo",
]


def make_mouse(out):
    width = 12
    rows = []
    for line in ARROW:
        row = []
        for x in range(width):
            ch = line[x] if x < len(line) else " "
            row.append({" ": 0, "o": 1, "#": 2}[ch])
        rows.append(row)
    # Pure black is the key; the outline is dark grey so it stays visible.
    write_bmp(out, width, len(rows), 8, rows, [(0, 0, 0), (48, 48, 48), (255, 255, 255)])


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    assets = os.path.join(here, "..", "assets")
    make_font(os.path.join(assets, "eng.bmp"))
    make_dialog(os.path.join(assets, "dlg_eng.bmp"))
    make_mouse(os.path.join(assets, "mouse.bmp"))
    return 0


if __name__ == "__main__":
    sys.exit(main())
