#!/usr/bin/env python3
"""Generates the built-in fax font table (src/faximage/fax_font_data.cpp).

The table is 16384 bytes: the small font (256 glyphs of 8 rows of 2 bytes,
cell 12 pixels wide) and then the standard font (256 glyphs of 16 rows of
3 bytes, cell 20 pixels wide). Rows are packed, most significant bit
leftmost, 1 black. The glyphs come from the public-domain misc-fixed fonts of
Debian's xfonts-base (5x8 and 9x15), doubled horizontally because fax pixels
at standard resolution are twice as tall as they are wide. Byte values map to
characters through code page 1252; control characters are blank.

Run once; the generated file is committed so the build does not need the
font package:  python3 scripts/gen_fax_font.py
"""
import gzip
import struct
import sys
from pathlib import Path

FONT_DIR = Path("/usr/share/fonts/X11/misc")
OUT = Path(__file__).resolve().parent.parent / "src" / "faximage" / "fax_font_data.cpp"

PCF_METRICS, PCF_BITMAPS, PCF_BDF_ENCODINGS, PCF_BDF_ACCELERATORS, PCF_ACCELERATORS = 4, 8, 32, 256, 2


class Pcf:
    def __init__(self, path):
        self.data = gzip.open(path).read()
        d = self.data
        assert d[:4] == b"\x01fcp", path
        (count,) = struct.unpack_from("<i", d, 4)
        self.tables = {}
        for i in range(count):
            t, fmt, size, off = struct.unpack_from("<iiii", d, 8 + 16 * i)
            self.tables[t] = (fmt, off)
        self.metrics = self._metrics()
        self.bitmaps = self._bitmaps()
        self.encoding = self._encodings()
        self.ascent, self.descent = self._accel()

    def _fmt(self, t):
        fmt, off = self.tables[t]
        (f2,) = struct.unpack_from("<i", self.data, off)
        return f2, off + 4, ">" if f2 & 4 else "<"

    def _metrics(self):
        fmt, p, e = self._fmt(PCF_METRICS)
        out = []
        if fmt & 0x100:
            (n,) = struct.unpack_from(e + "h", self.data, p)
            p += 2
            for i in range(n):
                lsb, rsb, w, asc, desc = (b - 0x80 for b in self.data[p + 5 * i : p + 5 * i + 5])
                out.append((lsb, rsb, w, asc, desc))
        else:
            (n,) = struct.unpack_from(e + "i", self.data, p)
            p += 4
            for i in range(n):
                out.append(struct.unpack_from(e + "hhhhh", self.data, p + 12 * i))
        return out

    def _bitmaps(self):
        fmt, p, e = self._fmt(PCF_BITMAPS)
        (n,) = struct.unpack_from(e + "i", self.data, p)
        p += 4
        offsets = struct.unpack_from(e + "%di" % n, self.data, p)
        p += 4 * n
        sizes = struct.unpack_from(e + "4i", self.data, p)
        p += 16
        self.pad = 1 << (fmt & 3)
        self.msb_bit = bool(fmt & 8)
        assert (fmt >> 4) & 3 == 0, "scan unit other than bytes"
        base = p
        return [base + o for o in offsets]

    def _encodings(self):
        fmt, p, e = self._fmt(PCF_BDF_ENCODINGS)
        min2, max2, min1, max1, default = struct.unpack_from(e + "5h", self.data, p)
        p += 10
        n = (max2 - min2 + 1) * (max1 - min1 + 1)
        idx = struct.unpack_from(e + "%dH" % n, self.data, p)
        enc = {}
        for b1 in range(min1, max1 + 1):
            for b2 in range(min2, max2 + 1):
                g = idx[(b1 - min1) * (max2 - min2 + 1) + (b2 - min2)]
                if g != 0xFFFF:
                    enc[(b1 << 8) | b2] = g
        return enc

    def _accel(self):
        t = PCF_BDF_ACCELERATORS if PCF_BDF_ACCELERATORS in self.tables else PCF_ACCELERATORS
        fmt, p, e = self._fmt(t)
        return struct.unpack_from(e + "ii", self.data, p + 8)

    def glyph(self, codepoint):
        """Rows (top first) of the glyph as lists of 0/1 over the cell, or None."""
        g = self.encoding.get(codepoint)
        if g is None:
            return None
        lsb, rsb, width, asc, desc = self.metrics[g]
        w = rsb - lsb
        rows = asc + desc
        stride = ((w + 7) // 8 + self.pad - 1) // self.pad * self.pad
        base = self.bitmaps[g]
        cell = [[0] * width for _ in range(self.ascent + self.descent)]
        for r in range(rows):
            y = self.ascent - asc + r
            if not 0 <= y < len(cell):
                continue
            for c in range(w):
                byte = self.data[base + r * stride + c // 8]
                bit = (byte >> (7 - c % 8)) & 1 if self.msb_bit else (byte >> (c % 8)) & 1
                x = lsb + c
                if bit and 0 <= x < width:
                    cell[y][x] = 1
        return cell


def char_of(byte):
    if byte < 0x20 or byte == 0x7F:
        return None
    try:
        return ord(bytes([byte]).decode("cp1252"))
    except UnicodeDecodeError:
        return None


def build(font, rows, row_bytes, x_offset):
    out = bytearray()
    for byte in range(256):
        cp = char_of(byte)
        glyph = font.glyph(cp) if cp is not None else None
        for r in range(rows):
            value = 0
            if glyph is not None and r < len(glyph):
                for x, bit in enumerate(glyph[r]):
                    if bit:
                        for dx in (0, 1):  # doubled horizontally
                            px = x_offset + 2 * x + dx
                            if px < row_bytes * 8:
                                value |= 1 << (row_bytes * 8 - 1 - px)
            out += value.to_bytes(row_bytes, "big")
    return out


def main():
    small = Pcf(FONT_DIR / "5x8.pcf.gz")
    standard = Pcf(FONT_DIR / "9x15.pcf.gz")
    table = build(small, 8, 2, 1) + build(standard, 16, 3, 1)
    assert len(table) == 16384, len(table)
    lines = [
        "// Generated by scripts/gen_fax_font.py from the public-domain misc-fixed",
        "// fonts 5x8 and 9x15 (Debian xfonts-base); see fax_font_LICENSE. Do not edit.",
        '#include "faximage/fax_font.h"',
        "",
        "namespace tlm {",
        "",
        "const std::array<std::uint8_t, kFaxFontBytes> kFaxFontData = {",
    ]
    for i in range(0, len(table), 16):
        lines.append("    " + ", ".join("0x%02X" % b for b in table[i : i + 16]) + ",")
    lines += ["};", "", "}  // namespace tlm", ""]
    OUT.write_text("\n".join(lines))
    print("wrote", OUT, file=sys.stderr)


if __name__ == "__main__":
    main()
