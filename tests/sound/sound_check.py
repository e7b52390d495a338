#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Makes test tones and finds tones in recordings (16-bit mono wave files, or
raw 8 kHz 16-bit mono when the name ends in ".raw").
Standard library only.

  sound_check.py tone OUT.wav FREQ[+FREQ...] SECONDS [ON OFF]
      a tone (several frequencies mixed); with ON OFF, bursts of ON seconds
      separated by OFF seconds of silence, for SECONDS in all
  sound_check.py noise OUT.wav FREQ SECONDS
      noise in a narrow band (about 100 Hz) around FREQ: found like a tone of
      FREQ, but a call's echo canceller cannot predict it from its own echo
      (a steady tone it learns to cancel when the far end echoes it back)
  sound_check.py voice OUT.wav PITCH SECONDS [FROM TO]
      an artificial voice (syllables of vowels and hisses on a pitch around
      PITCH Hz, in talk spurts with pauses, about -20 dBFS while it talks):
      speech-like, so an echo canceller meets what it meets in a call; with
      FROM TO it talks only in that stretch, silence elsewhere
  sound_check.py track REC.wav NAME=FREQ[+FREQ...][-FREQ...] ...
      one line per stretch where each named tone sounds (the frequencies after
      a "-" must be absent, to tell it from a tone that shares the others):
      "NAME START END LEVEL_DBFS", times in seconds from the recording's start
  sound_check.py covers REC.wav FREQ[+FREQ...] START END
      the share (0 to 1) of that stretch in which the tone sounds
  sound_check.py active REC.wav START END
      "FIRST LAST SHARE": the first and last 100 ms with sound (above
      -45 dBFS) in that stretch, and the share of such windows
  sound_check.py level REC.wav START END
      the level of that stretch in dBFS (-99 for digital silence)
  sound_check.py peak REC.wav START END
      the strongest frequency of that stretch, in Hz (2 Hz steps)
  sound_check.py split REC.wav LEFT.wav RIGHT.wav
      the two channels of a stereo recording, each a mono file
  sound_check.py gaps REC.wav START END
      "LONGEST_MS SHARE COUNT" of a steady sound in that stretch: the
      longest run of 5 ms steps more than 20 dB below its median level (a
      drop-out a listener hears), the share of steps not so, and the number
      of drop-outs of 10 ms or more
"""
import math
import os
import struct
import sys
import wave

RATE = 8000
# Seconds analysed at a time: 0.08 tells tones 40 Hz apart; SOUND_WINDOW=0.03
# times short tones better when their frequencies lie far apart.
WINDOW = float(os.environ.get("SOUND_WINDOW", "0.08"))
STEP = WINDOW / 4  # seconds between the starts of two windows
FLOOR = 10 ** (-45 / 20)  # a frequency weaker than -45 dBFS counts as absent
RELATIVE = 0.1  # ... and so does one 20 dB below the strongest tracked one
MERGE = WINDOW * 1.25  # gaps shorter than this do not split a stretch
SHORTEST = WINDOW * 0.6  # shorter stretches are the splash of a tone's edge


def read(path):
    if path.endswith(".raw"):  # a recording still being written: 8 kHz 16-bit mono, no header
        with open(path, "rb") as f:
            data = f.read()
        n = len(data) // 2
        return RATE, [v / 32768.0 for v in struct.unpack("<%dh" % n, data[: 2 * n])]
    with wave.open(path, "rb") as w:
        rate, ch, width, n = w.getframerate(), w.getnchannels(), w.getsampwidth(), w.getnframes()
        if width != 2:
            sys.exit("%s: want 16-bit samples" % path)
        data = struct.unpack("<%dh" % (n * ch), w.readframes(n))
    return rate, [v / 32768.0 for v in data[::ch]]


def amplitude(block, rate, freq, hann):
    """Amplitude of one frequency in a block (Goertzel over a Hann window)."""
    k = 2 * math.cos(2 * math.pi * freq / rate)
    s1 = s2 = 0.0
    for x, h in zip(block, hann):
        s1, s2 = x * h + k * s1 - s2, s1
    power = max(s1 * s1 + s2 * s2 - k * s1 * s2, 0.0)
    return 2 * math.sqrt(power) / sum(hann)


def db(x):
    return 20 * math.log10(x) if x > 0 else -99.0


def blocks(samples, rate, step=WINDOW):
    """(time of the window's middle, samples, Hann weights) per window."""
    size = int(rate * WINDOW)
    hann = [0.5 - 0.5 * math.cos(2 * math.pi * i / (size - 1)) for i in range(size)]
    for start in range(0, len(samples) - size + 1, int(rate * step)):
        yield (start + size / 2) / rate, samples[start:start + size], hann


def tone(path, freqs, seconds, on=None, off=None):
    n = int(RATE * seconds)
    fade = int(RATE * 0.005)
    period = int(RATE * (on + off)) if on else n
    length = int(RATE * on) if on else n
    out = []
    for i in range(n):
        j = i % period
        if j >= length:
            out.append(0)
            continue
        env = min(1.0, j / fade, (length - 1 - j) / fade)
        v = sum(math.sin(2 * math.pi * f * i / RATE) for f in freqs) / len(freqs)
        out.append(int(32767 * 0.5 * env * v))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % n, *out))


def noise(path, freq, seconds, width=100.0):
    """White noise through a two-pole resonator at freq, at about -14 dBFS."""
    import random
    rng = random.Random(int(freq))
    r = math.exp(-math.pi * width / RATE)
    a1, a2 = 2 * r * math.cos(2 * math.pi * freq / RATE), -r * r
    gain = (1 - r) * math.sqrt(2)  # about unit power through the band
    y1 = y2 = 0.0
    out = []
    n = int(RATE * seconds)
    for i in range(n):
        y = gain * rng.gauss(0, 1) + a1 * y1 + a2 * y2
        y1, y2 = y, y1
        env = min(1.0, i / (RATE * 0.01), (n - 1 - i) / (RATE * 0.01))
        out.append(max(-32767, min(32767, int(32767 * env * y))))
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % n, *out))


# Formants (Hz) of a few vowels: a, e, i, o, u, and a schwa.
VOWELS = [(730, 1090, 2440), (530, 1840, 2480), (270, 2290, 3010), (570, 840, 2410), (300, 870, 2240),
          (500, 1500, 2500)]


def voice(path, pitch, seconds, begin=0.0, end=None):
    import random
    rng = random.Random(int(pitch))
    n = int(RATE * seconds)
    end = seconds if end is None else end
    out = [0.0] * n
    i = int(RATE * begin)
    spurt_end = i + int(RATE * rng.uniform(1.5, 3.0))
    phase = 0.0
    while i < min(n, int(RATE * end)):
        length = int(RATE * rng.uniform(0.12, 0.25))
        hiss = rng.random() < 0.2  # a fricative instead of a vowel
        formants = [(f * rng.uniform(0.95, 1.05), 60 + 40 * k) for k, f in enumerate(rng.choice(VOWELS))]
        state = [[0.0, 0.0] for _ in formants]
        coef = []
        for f, bw in formants:
            r = math.exp(-math.pi * bw / RATE)
            coef.append((2 * r * math.cos(2 * math.pi * f / RATE), -r * r, 1 - r))
        f0 = pitch * rng.uniform(0.85, 1.2)
        glide = rng.uniform(-0.3, 0.2)  # intonation across the syllable
        prev = 0.0
        syllable = []
        for j in range(min(length, n - i)):
            if hiss:
                x = rng.gauss(0, 1)
                syllable.append(x - prev)  # high-passed noise
                prev = x
                continue
            phase += f0 * (1 + glide * j / length) / RATE
            x = (1.0 if phase >= 1.0 else 0.0) + 0.01 * rng.gauss(0, 1)
            phase -= math.floor(phase)
            for (a1, a2, g), st in zip(coef, state):
                y = g * x + a1 * st[0] + a2 * st[1]
                st[1], st[0] = st[0], y
                x = y
            syllable.append(x)
        # Each syllable at its own level: vowels loud, hisses 10 dB softer.
        rms = math.sqrt(sum(x * x for x in syllable) / max(1, len(syllable))) or 1.0
        gain = (0.3 if hiss else 1.0) * rng.uniform(0.6, 1.0) / rms
        for j, x in enumerate(syllable):
            out[i + j] = gain * math.sin(math.pi * j / length) ** 0.6 * x
        i += length + int(RATE * rng.uniform(0.02, 0.08))
        if i >= spurt_end:  # a pause between talk spurts
            i += int(RATE * rng.uniform(0.3, 0.6))
            spurt_end = i + int(RATE * rng.uniform(1.5, 3.0))
    # About -20 dBFS over the stretches that talk.
    loud = [x * x for x in out if abs(x) > 1e-4]
    scale = 0.1 / math.sqrt(sum(loud) / len(loud)) if loud else 0.0
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % n, *(max(-32767, min(32767, int(32767 * scale * x))) for x in out)))


def spans_of(path, named):
    """{name: [[start, end, level], ...]} for each named tone."""
    rate, samples = read(path)
    spans = {name: [] for name, _ in named}
    named = [(name, [f for f in fs if f > 0], [-f for f in fs if f < 0]) for name, fs in named]
    every = sorted({f for _, fs, nots in named for f in fs + nots})
    for t, block, hann in blocks(samples, rate, STEP):
        amp = {f: amplitude(block, rate, f, hann) for f in every}
        floor = max(FLOOR, RELATIVE * max(amp.values()))
        for name, fs, nots in named:
            if min(amp[f] for f in fs) < floor or any(amp[f] >= floor for f in nots):
                continue
            level = db(math.sqrt(sum(amp[f] ** 2 for f in fs) / 2))
            runs = spans[name]
            if runs and t - runs[-1][1] <= MERGE:
                runs[-1][1] = t
                runs[-1][2] = max(runs[-1][2], level)
            else:
                runs.append([t, t, level])
    return {name: [r for r in runs if r[1] - r[0] >= SHORTEST] for name, runs in spans.items()}


def track(path, named):
    spans = spans_of(path, named)
    for name, _ in named:
        for start, end, level in spans[name]:
            print("%s %.3f %.3f %.1f" % (name, start, end, level))


def covers(path, fs, start, end):
    covered = 0.0
    for a, b, _ in spans_of(path, [("tone", fs)])["tone"]:
        covered += max(0.0, min(b, end) - max(a, start))
    print("%.2f" % (covered / (end - start) if end > start else 0.0))


def stretch(path, start, end):
    rate, samples = read(path)
    return rate, samples[int(start * rate):int(end * rate)]


def level(path, start, end):
    _, part = stretch(path, start, end)
    rms = math.sqrt(sum(x * x for x in part) / len(part)) if part else 0.0
    print("%.1f" % db(rms))


def active(path, start, end):
    rate, part = stretch(path, start, end)
    size = rate // 10
    loud = []
    for i in range(0, len(part) - size + 1, size):
        block = part[i:i + size]
        if math.sqrt(sum(x * x for x in block) / size) > FLOOR:
            loud.append(start + i / rate)
    share = len(loud) / max(1, len(part) // size)
    if loud:
        print("%.3f %.3f %.2f" % (loud[0], loud[-1] + 0.1, share))
    else:
        print("- - 0.00")


def peak(path, start, end):
    rate, part = stretch(path, start, end)
    windows = list(blocks(part, rate))
    windows = windows[::max(1, len(windows) // 12)]  # a dozen spread over the stretch

    def strength(f):
        return sum(amplitude(block, rate, f, hann) for _, block, hann in windows)

    coarse = max(range(100, rate // 2, 20), key=strength)
    print(max(range(coarse - 20, coarse + 21, 2), key=strength))


def gaps(path, start, end):
    rate, part = stretch(path, start, end)
    size = rate // 200
    levels = [math.sqrt(sum(x * x for x in part[i:i + size]) / size) for i in range(0, len(part) - size + 1, size)]
    if not levels:
        sys.exit("gaps: an empty stretch")
    floor = sorted(levels)[len(levels) // 2] / 10
    longest = run = quiet = count = 0
    for v in levels:
        run = run + 1 if v < floor else 0
        quiet += v < floor
        count += run == 2
        longest = max(longest, run)
    print("%d %.3f %d" % (longest * 1000 // 200, 1 - quiet / len(levels), count))


def split(path, left, right):
    with wave.open(path, "rb") as w:
        if w.getnchannels() != 2 or w.getsampwidth() != 2:
            sys.exit("%s: want 16-bit stereo" % path)
        rate, data = w.getframerate(), w.readframes(w.getnframes())
    for name, side in ((left, 0), (right, 1)):
        with wave.open(name, "wb") as out:
            out.setnchannels(1)
            out.setsampwidth(2)
            out.setframerate(rate)
            out.writeframes(b"".join(data[i:i + 2] for i in range(2 * side, len(data), 4)))


def freqs(text):
    """"440+480-620": [440, 480, -620]; a negative one must be absent."""
    wanted, _, absent = text.partition("-")
    return [float(f) for f in wanted.split("+")] + [-float(f) for f in absent.split("-") if f]


def main(argv):
    if len(argv) >= 4 and argv[0] == "tone":
        extra = [float(x) for x in argv[4:6]] if len(argv) >= 6 else [None, None]
        tone(argv[1], freqs(argv[2]), float(argv[3]), *extra)
    elif len(argv) == 4 and argv[0] == "noise":
        noise(argv[1], float(argv[2]), float(argv[3]))
    elif len(argv) in (4, 6) and argv[0] == "voice":
        voice(argv[1], *(float(x) for x in argv[2:]))
    elif len(argv) >= 3 and argv[0] == "track":
        track(argv[1], [(a.split("=")[0], freqs(a.split("=")[1])) for a in argv[2:]])
    elif len(argv) == 5 and argv[0] == "covers":
        covers(argv[1], freqs(argv[2]), float(argv[3]), float(argv[4]))
    elif len(argv) == 4 and argv[0] == "split":
        split(*argv[1:])
    elif len(argv) == 4 and argv[0] in ("level", "peak", "active", "gaps"):
        {"level": level, "peak": peak, "active": active, "gaps": gaps}[argv[0]](argv[1], float(argv[2]), float(argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main(sys.argv[1:])
