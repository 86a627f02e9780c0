#!/usr/bin/env python3
"""Writes the two alarm sounds, resources/Wave/Buzzer.wav and Ring.wav.

Both loop without clicks: every partial and the tremolo complete a whole number of periods in
the file, and the signal starts and ends at a zero crossing. 48 kHz, 16-bit, mono.
Usage: make_alarm_sounds.py [output folder]  (default: resources/Wave beside this tools folder)
"""
import math
import os
import struct
import sys
import wave

RATE = 48000


def render(path, seconds, partials, tremolo_hz, depth, gain):
    frames = int(RATE * seconds)
    for freq, _ in partials:
        assert (frames * freq) % RATE == 0, "partial must fit a whole number of periods"
    assert (frames * tremolo_hz) % RATE == 0, "tremolo must fit a whole number of periods"
    samples = []
    for n in range(frames):
        t = n / RATE
        tone = sum(a * math.sin(2 * math.pi * f * t) for f, a in partials)
        envelope = 1.0 - depth * (0.5 - 0.5 * math.cos(2 * math.pi * tremolo_hz * t))
        samples.append(int(max(-1.0, min(1.0, gain * tone * envelope)) * 32767))
    with wave.open(path, "wb") as out:
        out.setnchannels(1)
        out.setsampwidth(2)
        out.setframerate(RATE)
        out.writeframes(struct.pack("<%dh" % len(samples), *samples))


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    folder = sys.argv[1] if len(sys.argv) > 1 else os.path.join(here, "..", "..", "resources", "Wave")
    os.makedirs(folder, exist_ok=True)
    # A harsh buzz: odd harmonics of 400 Hz, pulsing 20 times a second.
    render(os.path.join(folder, "Buzzer.wav"), 0.5,
           [(400, 1.0), (1200, 0.33), (2000, 0.2)], 20, 0.6, 0.55)
    # A phone-like ring: two close tones with a 20 Hz warble.
    render(os.path.join(folder, "Ring.wav"), 0.6, [(480, 1.0), (600, 0.8)], 20, 0.7, 0.5)


if __name__ == "__main__":
    main()
