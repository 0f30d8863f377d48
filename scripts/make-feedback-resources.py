#!/usr/bin/env python3
"""Draws the feedback resources from scratch, deterministically, with the standard library only.

  resources/snd128.wav  the view sound: a 40 ms click (a decaying 1.2 kHz tone with a noise edge)
  resources/snd129.wav  the poof sound: a 300 ms puff (low-passed noise under a soft envelope)
  resources/poof.png    a horizontal strip of five 64 x 64 RGBA frames of a grey cloud that
                        grows and fades out

Run it from the repository root; the outputs are committed, so it only needs running to change them.
"""
import math
import struct
import zlib

RATE = 22050


class Noise:
    """A small LCG, so every run gives the same bytes."""

    def __init__(self, seed):
        self.state = seed

    def next(self):
        self.state = (self.state * 1103515245 + 12345) & 0x7FFFFFFF
        return self.state / 0x3FFFFFFF - 1.0


def write_wav(path, samples):
    data = b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples)
    header = b"RIFF" + struct.pack("<I", 36 + len(data)) + b"WAVE"
    fmt = b"fmt " + struct.pack("<IHHIIHH", 16, 1, 1, RATE, RATE * 2, 2, 16)
    with open(path, "wb") as f:
        f.write(header + fmt + b"data" + struct.pack("<I", len(data)) + data)


def click():
    noise = Noise(128)
    n = int(RATE * 0.040)
    out = []
    for i in range(n):
        t = i / RATE
        tone = math.sin(2 * math.pi * 1200 * t) * math.exp(-t * 120)
        edge = noise.next() * math.exp(-t * 900) * 0.5
        out.append(0.6 * (tone + edge))
    return out


def puff():
    noise = Noise(129)
    n = int(RATE * 0.300)
    out, low = [], 0.0
    for i in range(n):
        t = i / RATE
        low += 0.08 * (noise.next() - low)  # one-pole low-pass: a breathy hiss
        envelope = min(1.0, t / 0.02) * math.exp(-t * 9)
        out.append(2.5 * low * envelope)
    return out


def write_png(path, width, height, rgba_rows):
    raw = b"".join(b"\x00" + bytes(row) for row in rgba_rows)

    def chunk(tag, body):
        return struct.pack(">I", len(body)) + tag + body + struct.pack(">I", zlib.crc32(tag + body) & 0xFFFFFFFF)

    ihdr = struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0)
    with open(path, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", ihdr) + chunk(b"IDAT", zlib.compress(raw, 9)) + chunk(b"IEND", b""))


def poof_strip():
    size, frames = 64, 5
    # A cloud of overlapping puffs whose radius grows and whose opacity falls frame by frame.
    lobes = [(0.0, 0.0, 1.0), (-0.45, 0.1, 0.7), (0.45, 0.05, 0.75), (-0.2, -0.4, 0.6), (0.25, -0.35, 0.65),
             (0.1, 0.45, 0.6)]
    rows = [[] for _ in range(size)]
    for frame in range(frames):
        growth = 0.28 + 0.1 * frame
        opacity = 1.0 - 0.2 * frame
        for y in range(size):
            for x in range(size):
                u = (x + 0.5) / size * 2 - 1
                v = (y + 0.5) / size * 2 - 1
                cover = 0.0
                for cx, cy, r in lobes:
                    d = math.hypot(u - cx * growth * 1.6, v - cy * growth * 1.6) / (r * growth)
                    cover = max(cover, max(0.0, 1.0 - d * d))
                shade = int(150 + 90 * cover)
                alpha = int(255 * min(1.0, cover * 1.6) * opacity)
                rows[y] += [shade, shade, shade, alpha]
    write_png("resources/poof.png", size * frames, size, rows)


write_wav("resources/snd128.wav", click())
write_wav("resources/snd129.wav", puff())
poof_strip()
