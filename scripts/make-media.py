#!/usr/bin/env python3
"""Makes the program's own sounds and pictures with nothing but the standard library.

    scripts/make-media.py [OUTPUT_ROOT]      (default: the repository's resources/)

Writes sounds/ClickBg.wav (a short soft click, played when a window opens) and
sounds/message2.wav (a falling two-note chime, played as a window slides away), and
pictures/bar.png (the filled part of the progress bar, stretched by the window),
pictures/searching.png and pictures/found.png (the two frames of the progress
window's animation). The outputs are committed; run this again after changing it.
"""
import math
import os
import struct
import sys
import wave
import zlib

RATE = 22050


def write_wav(path, samples):
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767))))
                                 for s in samples))


def click():
    # 70 ms: a short pitched tick with a fast decay; fixed seed noise keeps the output
    # identical from run to run.
    n = int(RATE * 0.07)
    seed = 12345
    out = []
    for i in range(n):
        t = i / RATE
        seed = (seed * 1103515245 + 12345) & 0x7FFFFFFF
        noise = seed / 0x7FFFFFFF * 2 - 1
        env = math.exp(-t * 90)
        out.append(0.45 * env * (0.6 * math.sin(2 * math.pi * 1800 * t) + 0.4 * noise * math.exp(-t * 400)))
    return out


def chime():
    # 300 ms: two bell-like notes, E6 then B5, each with a soft attack and a decay.
    out = []
    for freq, start, length in ((1318.5, 0.0, 0.16), (987.8, 0.12, 0.18)):
        begin = int(start * RATE)
        need = begin + int(length * RATE)
        out.extend([0.0] * (need - len(out)))
        for i in range(int(length * RATE)):
            t = i / RATE
            env = min(1.0, t / 0.005) * math.exp(-t * 18)
            out[begin + i] += 0.35 * env * (math.sin(2 * math.pi * freq * t)
                                            + 0.3 * math.sin(2 * math.pi * 2 * freq * t))
    return out


def write_png(path, width, height, pixel):
    """pixel(x, y) -> (r, g, b, a) floats 0..1, sampled 4 x 4 times per pixel."""
    rows = []
    for y in range(height):
        row = bytearray([0])
        for x in range(width):
            acc = [0.0, 0.0, 0.0, 0.0]
            for sy in range(4):
                for sx in range(4):
                    r, g, b, a = pixel(x + (sx + 0.5) / 4, y + (sy + 0.5) / 4)
                    acc[0] += r * a
                    acc[1] += g * a
                    acc[2] += b * a
                    acc[3] += a
            alpha = acc[3] / 16
            if alpha > 0:
                rgb = [c / acc[3] for c in acc[:3]]
            else:
                rgb = [0, 0, 0]
            row += bytes(int(round(max(0.0, min(1.0, v)) * 255)) for v in rgb + [alpha])
        rows.append(bytes(row))

    def chunk(kind, data):
        return (struct.pack(">I", len(data)) + kind + data
                + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF))

    with open(path, "wb") as out:
        out.write(b"\x89PNG\r\n\x1a\n")
        out.write(chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)))
        out.write(chunk(b"IDAT", zlib.compress(b"".join(rows), 9)))
        out.write(chunk(b"IEND", b""))


def mix(c1, c2, t):
    return tuple(a + (b - a) * t for a, b in zip(c1, c2))


def bar(x, y):
    # Vertical gradient, light at the top, with a thin highlight line: reads as a
    # raised blue bar on the grey window at any stretch.
    t = y / 16
    top, bottom = (0.45, 0.68, 0.93), (0.10, 0.30, 0.62)
    r, g, b = mix(top, bottom, t)
    if 2 <= y < 4:
        r, g, b = mix((r, g, b), (1, 1, 1), 0.35)
    return (r, g, b, 1.0)


def segment_distance(px, py, ax, ay, bx, by):
    dx, dy = bx - ax, by - ay
    t = max(0.0, min(1.0, ((px - ax) * dx + (py - ay) * dy) / (dx * dx + dy * dy)))
    return math.hypot(px - (ax + t * dx), py - (ay + t * dy))


def magnifier(x, y, cx, cy, tick):
    ring = (0.22, 0.22, 0.26)
    d = math.hypot(x - cx, y - cy)
    # Handle first, so the ring is drawn over its end.
    hx, hy = cx + 7.0, cy + 7.0
    handle = segment_distance(x, y, hx, hy, hx + 8.5, hy + 8.5) <= 2.4
    if 8.0 <= d <= 10.5:
        return ring + (1.0,)
    if d < 8.0:
        lens = mix((0.80, 0.91, 1.0), (0.55, 0.75, 0.95), (y - cy + 8) / 16)
        if math.hypot(x - (cx - 3), y - (cy - 3)) < 2.2:
            lens = mix(lens, (1, 1, 1), 0.8)
        if tick and (segment_distance(x, y, cx - 4.5, cy + 0.2, cx - 1.2, cy + 3.8) <= 1.5
                     or segment_distance(x, y, cx - 1.2, cy + 3.8, cx + 4.8, cy - 3.5) <= 1.5):
            lens = (0.10, 0.55, 0.15)
        return lens + (1.0,)
    if handle:
        return (0.45, 0.28, 0.12, 1.0)
    return (0, 0, 0, 0)


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(
        os.path.dirname(os.path.abspath(__file__)), "..", "resources")
    os.makedirs(os.path.join(root, "sounds"), exist_ok=True)
    os.makedirs(os.path.join(root, "pictures"), exist_ok=True)
    write_wav(os.path.join(root, "sounds", "ClickBg.wav"), click())
    write_wav(os.path.join(root, "sounds", "message2.wav"), chime())
    write_png(os.path.join(root, "pictures", "bar.png"), 32, 16, bar)
    # The glass looks around (upper left), then finds something (centred, with a tick).
    write_png(os.path.join(root, "pictures", "searching.png"), 32, 32,
              lambda x, y: magnifier(x, y, 11.5, 11.5, False))
    write_png(os.path.join(root, "pictures", "found.png"), 32, 32,
              lambda x, y: magnifier(x, y, 13.0, 13.0, True))


if __name__ == "__main__":
    main()
