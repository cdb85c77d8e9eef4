#!/usr/bin/env python3
"""Writes the deterministic guitar-like input of the reference renders as a 32-bit float WAV.

usage: make_reference_input.py OUT.wav RATE SECONDS CHANNELS

Plucked strings (Karplus-Strong with a fixed pseudo-random excitation): a low E power chord, then single
notes. The second channel, when asked for, plays the same notes a little later and softer.
"""
import struct
import sys


def lcg(seed):
    state = seed
    while True:
        state = (1103515245 * state + 12345) & 0x7FFFFFFF
        yield state / 0x3FFFFFFF - 1.0


def pluck(rate, frames, start, freq, level, seed):
    out = [0.0] * frames
    period = max(2, int(round(rate / freq)))
    noise = lcg(seed)
    line = [level * next(noise) for _ in range(period)]
    for i in range(start, frames):
        j = (i - start) % period
        nxt = line[(j + 1) % period]
        out[i] = line[j]
        line[j] = 0.996 * 0.5 * (line[j] + nxt)
    return out


def riff(rate, frames, delay, gain):
    notes = [(0.00, 82.41, 0.5), (0.00, 123.47, 0.35), (0.00, 164.81, 0.3), (0.15, 196.0, 0.4), (0.25, 246.9, 0.4),
             (0.32, 110.0, 0.45)]
    total = [0.0] * frames
    for k, (at, freq, level) in enumerate(notes):
        start = int((at + delay) * rate)
        if start >= frames:
            continue
        for i, v in enumerate(pluck(rate, frames, start, freq, level * gain, 1234 + k)):
            total[i] += v
    return total


def main():
    path, rate, seconds, channels = sys.argv[1], int(sys.argv[2]), float(sys.argv[3]), int(sys.argv[4])
    frames = int(rate * seconds)
    chans = [riff(rate, frames, 0.0, 1.0)]
    if channels == 2:
        chans.append(riff(rate, frames, 0.03, 0.7))
    data = bytearray()
    for i in range(frames):
        for c in chans:
            data += struct.pack('<f', c[i])
    header = b'RIFF' + struct.pack('<I', 36 + len(data)) + b'WAVEfmt ' + struct.pack(
        '<IHHIIHH', 16, 3, channels, rate, rate * 4 * channels, 4 * channels, 32) + b'data' + struct.pack('<I', len(data))
    with open(path, 'wb') as f:
        f.write(header + data)


if __name__ == '__main__':
    main()
