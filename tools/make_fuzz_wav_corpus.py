#!/usr/bin/env python3
"""Writes the small seed WAV files of fuzz/corpus-fuzz_wav/ (deterministic; run from the repository root)."""

import math
import os
import struct

OUT = os.path.join(os.path.dirname(os.path.dirname(os.path.abspath(__file__))), "fuzz", "corpus-fuzz_wav")


def chunk(tag, body):
    return tag + struct.pack("<I", len(body)) + body + (b"\0" if len(body) % 2 else b"")


def wav(tag, channels, rate, bits, data, extra=b"", ext_subtag=None):
    block = channels * bits // 8
    fmt = struct.pack("<HHIIHH", 0xFFFE if ext_subtag else tag, channels, rate, rate * block, block, bits)
    if ext_subtag:
        fmt += struct.pack("<HHI", 22, bits, 0) + struct.pack("<H", ext_subtag) + bytes(
            [0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71])
    body = b"WAVE" + chunk(b"fmt ", fmt) + extra + chunk(b"data", data)
    return b"RIFF" + struct.pack("<I", len(body)) + body


def decay(n):
    return [math.exp(-i / 6.0) * math.cos(i * 0.9) for i in range(n)]


def main():
    os.makedirs(OUT, exist_ok=True)
    v = decay(24)
    seeds = {
        "pcm8_mono.wav": wav(1, 1, 44100, 8, bytes(int(128 + 127 * x) for x in v)),
        "pcm16_stereo_list.wav": wav(1, 2, 48000, 16, b"".join(struct.pack("<hh", int(32000 * x), 0) for x in v),
                                     extra=chunk(b"LIST", b"INFOabc")),
        "pcm24_mono.wav": wav(1, 1, 96000, 24, b"".join(struct.pack("<i", int(8e6 * x))[:3] for x in v)),
        "float32_mono.wav": wav(3, 1, 44100, 32, b"".join(struct.pack("<f", x) for x in v)),
        "int32_ext.wav": wav(1, 1, 22050, 32, b"".join(struct.pack("<i", int(2e9 * x)) for x in v), ext_subtag=1),
        "float32_ext.wav": wav(1, 2, 44100, 32, b"".join(struct.pack("<ff", x, -x) for x in v), ext_subtag=3),
    }
    for name, data in seeds.items():
        with open(os.path.join(OUT, name), "wb") as f:
            f.write(data)
    print("wrote %d seeds to %s" % (len(seeds), OUT))


if __name__ == "__main__":
    main()
