#!/usr/bin/env python3
"""Writes resources/notify.wav: a short two-tone chime, 16-bit mono at 8 kHz (about 3 KB)."""
import math
import struct
import sys
import wave

RATE = 8000
SECONDS = 0.18


def sample(i):
    t = i / RATE
    tone = 1318.5 if t < 0.07 else 1760.0  # E6 then A6
    start = 0.0 if t < 0.07 else 0.07
    decay = math.exp(-(t - start) * 28)
    attack = min(1.0, (t - start) * 400)
    return int(12000 * attack * decay * math.sin(2 * math.pi * tone * (t - start)))


def main(path):
    frames = b"".join(struct.pack("<h", sample(i)) for i in range(int(RATE * SECONDS)))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(frames)


if __name__ == "__main__":
    main(sys.argv[1] if len(sys.argv) > 1 else "resources/notify.wav")
