#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The voices of an echo test call, and its figures.

  echo_figures.py make DIR
      FAR.wav: the far end's voice (a second of silence, a marker, 15 s of
      talk, a marker, then silence); NEAR.wav: the near end's (a marker and an utterance, a
      pause, the same again), for the near end to start about 7 s into the
      far end's talk: its first utterance is double talk, its second alone
  echo_figures.py measure DIR FAR_START MIC_START SPEAKER_START
      DIR also holds far-end.wav (what the far end received; it and FAR.wav
      start at the wall time FAR_START), mic.wav (the microphone, from
      MIC_START) and speaker.wav (the speaker, from SPEAKER_START). Prints "NAME VALUE" lines:
        mic_to_far_end  the delay and gain from the microphone to the far end
        erle         how much quieter the echo is at the far end than it would
                     be with no canceller (the microphone's echo through the
                     way to the far end), dB, from 3 s after the far end
                     starts talking until the near end does
        erle_after   the same after the double talk, until the far end stops
        double_talk  how much quieter the near end's utterance reaches the
                     far end while the far end talks than when it alone talks
The stretches are found by the markers (tone pairs), so a machine that plays
late shifts nothing; one whose near end's way lost sound or time (the
markers' spacing changed) gives no figures.
"""
import math
import struct
import sys
import wave

from sound_check import RATE, read, spans_of, tone, voice

FAR_TALK = 15.0  # seconds of the far end's talk
# Marker tone pairs; a voice sounds at the frequencies after them too, a marker not.
FAR_MARK, NEAR_MARK = (2400.0, 2900.0), (1700.0, 3300.0)
NOT_MARK = (-500.0, -800.0, -2000.0, -2650.0)  # a hiss sounds between a pair too
# Seconds of a marker, and of the silence after it. A voice's harmonics may
# meet a pair for a syllable (0.25 s at most), not for a marker's length.
MARK, GAP = 0.4, 0.25
UTTERANCE, PAUSE = 4.5, 7.0
CONVERGE = 3.0  # seconds the canceller is given before the echo counts


def write(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


def pcm(path):
    with wave.open(path) as w:
        return list(struct.unpack("<%dh" % w.getnframes(), w.readframes(w.getnframes())))


def make(folder):
    tmp = folder + "/part.wav"
    gap = [0] * int(RATE * GAP)
    tone(tmp, FAR_MARK, MARK)
    far_mark = pcm(tmp)
    voice(tmp, 120, FAR_TALK)
    # A second of silence first: a call's first packets may be lost to the
    # streams' start.
    far = [0] * RATE + far_mark + gap + pcm(tmp) + gap + far_mark
    write(folder + "/FAR.wav", far + [0] * (RATE * 40 - len(far)))
    tone(tmp, NEAR_MARK, MARK)
    near_mark = pcm(tmp)
    voice(tmp, 210, UTTERANCE)
    said = near_mark + gap + pcm(tmp)
    write(folder + "/NEAR.wav", said + [0] * int(RATE * PAUSE) + said)


def marks(path, freqs, shift=0.0):
    """Onsets (s, on the far end's clock) of a marker in a recording."""
    return [a + shift for a, b, level in spans_of(path, [("m", list(freqs + NOT_MARK))])["m"]
            if b - a >= MARK * 0.8 and level > -32]


def power(samples, start, end):
    part = samples[max(0, int(start * RATE)):max(0, int(end * RATE))]
    return sum(x * x for x in part) / len(part) if part else 0.0


def db(ratio):
    return 10 * math.log10(ratio) if ratio > 0 else 99.0


def measure(folder, far_start, mic_start, speaker_start):
    shift = mic_start - far_start  # the microphone's recording on the far end's clock
    said = marks(folder + "/NEAR.wav", NEAR_MARK)
    played = marks(folder + "/speaker.wav", FAR_MARK, speaker_start - far_start)[:1]
    heard = marks(folder + "/mic.wav", FAR_MARK, shift)[:1]
    if played and heard:
        # The far end's talk ends in the microphone as it ended on the
        # speaker (which plays only the far end), the echo path's delay
        # later. A starved sender's last packets may come late or not at
        # all, so this is where the sound ends, not where its marker was.
        rate, speaker = read(folder + "/speaker.wav")
        block = rate // 20
        loud = [i for i in range(0, len(speaker) - block, block)
                if sum(x * x for x in speaker[i:i + block]) / block > 10 ** (-45 / 10)]
        heard.append(loud[-1] / rate + speaker_start - far_start - played[0] + heard[0])
    near = marks(folder + "/mic.wav", NEAR_MARK, shift)
    got = marks(folder + "/far-end.wav", NEAR_MARK)
    if len(heard) != 2 or len(near) != 2 or len(got) != 2:
        sys.exit("echo_figures: markers missing: the far end's %s played and %s in the microphone, the near end's "
                 "%s there and %s at the far end" % (played, heard, near, got))
    # The speaker may play late (what the canceller is told is played is
    # what is heard), but the near end's way must keep its time: the feed
    # into the microphone, and the microphone to the far end.
    if abs((near[1] - near[0]) - (said[1] - said[0])) > 0.1:
        sys.exit("echo_figures: the near end's markers lie %.2f s apart in the microphone, not %.2f: the feed lost "
                 "sound (a starved machine), no figures" % (near[1] - near[0], said[1] - said[0]))
    out = got[1] - near[1]  # microphone -> far end
    if abs(got[0] - near[0] - out) > 0.1:
        sys.exit("echo_figures: the microphone reached the far end %.2f s later at the first marker, %.2f s at the "
                 "second: the way lost or gained time (a starved machine), no figures" % (got[0] - near[0], out))
    near_at = near[0] - said[0]  # NEAR.wav's time t is in the microphone at t + near_at
    talk_from, talk_to = heard[0] + MARK + GAP, heard[1] - MARK - GAP
    first, second = near[0] + MARK + GAP, near[1] + MARK + GAP
    stretches = {
        "single": (talk_from + CONVERGE, near[0] - 0.1),
        "double": (first, first + UTTERANCE),
        "after": (first + UTTERANCE + 0.3, talk_to),
        "alone": (second, second + UTTERANCE),
    }
    for name, (a, b) in stretches.items():
        if b - a < 1.0:
            sys.exit("echo_figures: the %s stretch is %.1f s long (the machine lagged): no figures" % (name, b - a))
    if near[1] < heard[1] + 0.1:
        sys.exit("echo_figures: the near end spoke alone before the far end's echo ended: no figures")

    _, rec = read(folder + "/far-end.wav")
    _, mic = read(folder + "/mic.wav")
    _, voice = read(folder + "/NEAR.wav")

    def mic_p(s):
        return power(mic, s[0] - shift, s[1] - shift)

    def rec_p(s):
        return power(rec, s[0] + out, s[1] + out)

    def near_p(s):  # the near end's voice in that stretch of the microphone
        return power(voice, s[0] - near_at, s[1] - near_at)

    single, double, after, alone = (stretches[k] for k in ("single", "double", "after", "alone"))
    # The way from the microphone to the far end (codec, gains), heard with
    # the near end alone: what the far end would get of the echo with no
    # canceller is the microphone's echo through it.
    way = rec_p(alone) / mic_p(alone)
    fed = mic_p(alone) / near_p(alone)  # the near end's feed into the microphone
    print("mic_to_far_end %.2f s, %.1f dB" % (out, db(way)))
    print("erle %.1f" % db(mic_p(single) * way / rec_p(single)))
    print("erle_after %.1f" % db(mic_p(after) * way / rec_p(after)))
    # The near end's part of the double talk at the far end: what arrived
    # less the echo left over (the share of the microphone's echo that the
    # single talk around it left), against what the microphone heard of it.
    left = (rec_p(single) / mic_p(single) + rec_p(after) / mic_p(after)) / 2
    near_in = fed * near_p(double)
    echo_in = max(0.0, mic_p(double) - near_in)
    near_out = max(0.0, rec_p(double) - left * echo_in)
    print("double_talk %.1f" % (db(way * near_in / near_out) if near_out > 0 else 99.0))
    for name, (a, b) in stretches.items():
        print("stretch_%s %.2f %.2f" % (name, a, b))


if __name__ == "__main__":
    if len(sys.argv) == 3 and sys.argv[1] == "make":
        make(sys.argv[2])
    elif len(sys.argv) == 6 and sys.argv[1] == "measure":
        measure(sys.argv[2], *(float(x) for x in sys.argv[3:]))
    else:
        sys.exit(__doc__)
