#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Draws the client's pictures and writes its tones, with the standard
library only, so the artwork can be rebuilt and changed from this file.

    python3 tools/make_artwork.py            # writes resources/images, resources/sound
"""
import math
import os
import struct
import sys
import wave
import zlib

ROOT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "resources")

# --- a tiny RGBA canvas -----------------------------------------------------


class Canvas:
    def __init__(self, w, h, color=(0, 0, 0, 0)):
        self.w, self.h = w, h
        self.px = [list(color) for _ in range(w * h)]

    def blend(self, x, y, color, cover=1.0):
        if not (0 <= x < self.w and 0 <= y < self.h) or cover <= 0:
            return
        r, g, b = color[:3]
        a = (color[3] / 255.0 if len(color) > 3 else 1.0) * min(cover, 1.0)
        p = self.px[y * self.w + x]
        da = p[3] / 255.0
        oa = a + da * (1 - a)
        if oa <= 0:
            return
        for i, c in enumerate((r, g, b)):
            p[i] = int(round((c * a + p[i] * da * (1 - a)) / oa))
        p[3] = int(round(oa * 255))

    def shape(self, inside, box, color, samples=4):
        """Fills the pixels of `box` by the share of sample points `inside` holds."""
        x0, y0, x1, y1 = box
        step = 1.0 / samples
        for y in range(max(0, int(y0)), min(self.h, int(math.ceil(y1)))):
            for x in range(max(0, int(x0)), min(self.w, int(math.ceil(x1)))):
                hits = 0
                for sy in range(samples):
                    for sx in range(samples):
                        if inside(x + (sx + 0.5) * step, y + (sy + 0.5) * step):
                            hits += 1
                self.blend(x, y, color, hits / (samples * samples))

    def rect(self, x, y, w, h, color):
        for yy in range(y, y + h):
            for xx in range(x, x + w):
                self.blend(xx, yy, color)

    def frame(self, x, y, w, h, color):
        self.rect(x, y, w, 1, color)
        self.rect(x, y + h - 1, w, 1, color)
        self.rect(x, y, 1, h, color)
        self.rect(x + w - 1, y, 1, h, color)

    def vgradient(self, x, y, w, h, top, bottom):
        for yy in range(h):
            t = yy / max(1, h - 1)
            c = tuple(int(top[i] + (bottom[i] - top[i]) * t) for i in range(3))
            self.rect(x, y + yy, w, 1, c)

    def circle(self, cx, cy, r, color):
        self.shape(lambda x, y: (x - cx) ** 2 + (y - cy) ** 2 <= r * r, (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1), color)

    def ring(self, cx, cy, r, width, color):
        self.shape(lambda x, y: (r - width) ** 2 <= (x - cx) ** 2 + (y - cy) ** 2 <= r * r,
                   (cx - r - 1, cy - r - 1, cx + r + 1, cy + r + 1), color)

    def rounded(self, x, y, w, h, rad, color):
        def inside(px, py):
            qx = min(max(px, x + rad), x + w - rad)
            qy = min(max(py, y + rad), y + h - rad)
            return (px - qx) ** 2 + (py - qy) ** 2 <= rad * rad and x <= px <= x + w and y <= py <= y + h
        self.shape(inside, (x, y, x + w, y + h), color)

    def line(self, x0, y0, x1, y1, width, color):
        dx, dy = x1 - x0, y1 - y0
        length2 = dx * dx + dy * dy

        def inside(px, py):
            t = max(0.0, min(1.0, ((px - x0) * dx + (py - y0) * dy) / length2))
            qx, qy = x0 + t * dx, y0 + t * dy
            return (px - qx) ** 2 + (py - qy) ** 2 <= (width / 2.0) ** 2
        pad = width
        self.shape(inside, (min(x0, x1) - pad, min(y0, y1) - pad, max(x0, x1) + pad, max(y0, y1) + pad), color)

    def text(self, x, y, s, color, scale=1, gap=1):
        for ch in s:
            rows = FONT.get(ch, FONT[" "])
            for ry, bits in enumerate(rows):
                for rx in range(5):
                    if bits & (1 << (4 - rx)):
                        self.rect(x + rx * scale, y + ry * scale, scale, scale, color)
            x += (5 + gap) * scale

    def save(self, path):
        raw = bytearray()
        for y in range(self.h):
            raw.append(0)
            for x in range(self.w):
                raw.extend(bytes(self.px[y * self.w + x]))

        def chunk(kind, data):
            c = struct.pack(">I", len(data)) + kind + data
            return c + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)
        png = b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", self.w, self.h, 8, 6, 0, 0, 0))
        png += chunk(b"IDAT", zlib.compress(bytes(raw), 9)) + chunk(b"IEND", b"")
        with open(path, "wb") as f:
            f.write(png)


def text_width(s, scale=1, gap=1):
    return len(s) * (5 + gap) * scale - gap * scale


# 5x7 glyphs, one row a number, the high bit of five on the left.
FONT = {
    " ": [0, 0, 0, 0, 0, 0, 0],
    "0": [14, 17, 19, 21, 25, 17, 14], "1": [4, 12, 4, 4, 4, 4, 14], "2": [14, 17, 1, 2, 4, 8, 31],
    "3": [31, 2, 4, 2, 1, 17, 14], "4": [2, 6, 10, 18, 31, 2, 2], "5": [31, 16, 30, 1, 1, 17, 14],
    "6": [6, 8, 16, 30, 17, 17, 14], "7": [31, 1, 2, 4, 8, 8, 8], "8": [14, 17, 17, 14, 17, 17, 14],
    "9": [14, 17, 17, 15, 1, 2, 12], "*": [0, 4, 21, 14, 21, 4, 0], "#": [10, 10, 31, 10, 31, 10, 10],
    "A": [14, 17, 17, 31, 17, 17, 17], "B": [30, 17, 17, 30, 17, 17, 30], "E": [31, 16, 16, 30, 16, 16, 31],
    "F": [31, 16, 16, 30, 16, 16, 16], "G": [14, 17, 16, 23, 17, 17, 15], "I": [14, 4, 4, 4, 4, 4, 14],
    "L": [16, 16, 16, 16, 16, 16, 31], "N": [17, 25, 21, 19, 17, 17, 17], "O": [14, 17, 17, 17, 17, 17, 14],
    "R": [30, 17, 17, 30, 20, 18, 17], "S": [15, 16, 16, 14, 1, 1, 30], "T": [31, 4, 4, 4, 4, 4, 4],
    "U": [17, 17, 17, 17, 17, 17, 14], "V": [17, 17, 17, 17, 17, 10, 4], "Y": [17, 17, 10, 4, 4, 4, 4],
    "Z": [31, 1, 2, 4, 8, 16, 31], "D": [28, 18, 17, 17, 17, 18, 28], "W": [17, 17, 17, 21, 21, 21, 10],
    "P": [30, 17, 17, 30, 16, 16, 16], "C": [14, 17, 16, 16, 16, 17, 14], "K": [17, 18, 20, 24, 20, 18, 17],
    "M": [17, 27, 21, 21, 17, 17, 17], "H": [17, 17, 17, 31, 17, 17, 17], ".": [0, 0, 0, 0, 0, 12, 12],
}

WHITE = (255, 255, 255)
BLUE = (40, 96, 176)
DARK_BLUE = (24, 58, 110)
GREEN = (46, 160, 67)
RED = (200, 40, 40)


def handset(c, cx, cy, size, color):
    """A telephone handset: a curved grip with the ear and mouth pieces at its ends."""
    s = size / 20.0
    ox, oy = cx + 3.5 * s, cy + 3.5 * s  # the grip bends around this point
    r_in, r_out = 8.0 * s, 11.0 * s
    lo, hi = math.radians(150), math.radians(300)

    def grip(x, y):
        d2 = (x - ox) ** 2 + (y - oy) ** 2
        a = math.atan2(y - oy, x - ox) % (2 * math.pi)
        return r_in * r_in <= d2 <= r_out * r_out and lo <= a <= hi
    c.shape(grip, (ox - r_out - 1, oy - r_out - 1, ox + r_out + 1, oy + r_out + 1), color)
    for a in (lo, hi):
        px, py = ox + 8.2 * s * math.cos(a), oy + 8.2 * s * math.sin(a)
        c.circle(px, py, 3.4 * s, color)


def state_picture(path, badge, label, label_color):
    c = Canvas(96, 32)
    c.vgradient(0, 0, 96, 32, (250, 252, 255), (214, 226, 242))
    c.frame(0, 0, 96, 32, (150, 170, 200))
    c.circle(16, 16, 13, badge)
    handset(c, 16, 16, 20, WHITE)
    c.text(34, 9, label, label_color, scale=2)
    c.save(path)


def icon(path, size=32):
    k = size / 32.0
    c = Canvas(size, size)
    c.circle(16 * k, 16 * k, 15 * k, BLUE)
    c.ring(16 * k, 16 * k, 15 * k, 1.5 * k, DARK_BLUE)
    handset(c, 16 * k, 16 * k, 22 * k, WHITE)
    c.save(path)


# The launcher's icon in the desktop's icon theme, at the sizes menus and
# software centres ask for.
ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)


def keypad(path):
    from_app_grid = lambda row, col: (5 + col * 30, 4 + row * 33, 28, 30)  # app/artwork.cpp KeypadKeyRect
    c = Canvas(98, 138)
    c.vgradient(0, 0, 98, 138, (236, 242, 250), (206, 218, 236))
    labels = ["123", "456", "789", "*0#"]
    for row, keys in enumerate(labels):
        for col, ch in enumerate(keys):
            x, y, w, h = from_app_grid(row, col)
            c.rounded(x + 0.5, y + 0.5, w - 1, h - 1, 5, (120, 146, 184))
            c.rounded(x + 1.5, y + 1.5, w - 3, h - 3, 4, (252, 253, 255))
            c.text(x + (w - 10) // 2 + 1, y + (h - 14) // 2, ch, DARK_BLUE, scale=2)
    c.save(path)


def login_background(path):
    w, h = 592, 301
    c = Canvas(w, h)
    c.vgradient(0, 0, w, h, (70, 130, 200), (190, 216, 244))
    c.vgradient(0, 0, w, 44, (30, 78, 150), (52, 106, 180))
    c.frame(0, 0, w, h, (20, 50, 100))
    c.circle(26, 22, 14, WHITE)
    handset(c, 26, 22, 18, BLUE)
    c.text(48, 12, "RAVELOZENT", WHITE, scale=3)
    # The card holding the boxes and the options.
    c.rounded(150, 96, 390, 160, 10, (255, 255, 255, 150))
    c.rounded(150.5, 96.5, 389, 159, 10, (255, 255, 255, 0))
    # Frames of the two boxes (the boxes sit at 220,124 and 220,161, 151 x 19).
    for y in (124, 161):
        c.rect(218, y - 2, 155, 23, (90, 120, 170))
        c.rect(219, y - 1, 153, 21, WHITE)
    # Person before the phone box, lock before the password box.
    c.circle(200, 128, 4, DARK_BLUE)
    c.shape(lambda x, y: (x - 200) ** 2 / 49 + (y - 142) ** 2 / 36 <= 1 and y <= 142, (192, 135, 208, 143), DARK_BLUE)
    c.ring(200, 163, 4.5, 1.6, DARK_BLUE)
    c.rect(194, 165, 13, 10, DARK_BLUE)
    # The login area under the transparent button (430,119, 97 x 98).
    c.circle(478.5, 168, 46, (255, 255, 255, 200))
    c.circle(478.5, 168, 42, (46, 140, 70))
    c.ring(478.5, 168, 42, 2, (20, 90, 40))
    handset(c, 478.5, 156, 34, WHITE)
    c.text(478 - text_width("LOGIN", 2) // 2, 184, "LOGIN", WHITE, scale=2)
    c.save(path)


def small_glyph(path, draw):
    c = Canvas(16, 16)
    draw(c)
    c.save(path)


def login_glyph(path):
    c = Canvas(40, 28)
    c.rounded(1, 1, 38, 26, 6, BLUE)
    c.circle(14, 10, 5, WHITE)
    c.shape(lambda x, y: (x - 14) ** 2 / 81 + (y - 25) ** 2 / 64 <= 1 and y <= 24, (4, 16, 24, 25), WHITE)
    c.line(26, 14, 35, 14, 2.5, WHITE)
    c.line(31, 10, 35, 14, 2.5, WHITE)
    c.line(31, 18, 35, 14, 2.5, WHITE)
    c.save(path)


def close_glyph(c):
    c.rounded(0, 0, 16, 16, 3, RED)
    c.line(4.5, 4.5, 11.5, 11.5, 2, WHITE)
    c.line(11.5, 4.5, 4.5, 11.5, 2, WHITE)


def call_glyph(color):
    def draw(c):
        c.circle(8, 8, 7.5, color)
        handset(c, 8, 8, 12, WHITE)
    return draw


def bridge_glyph(c):
    c.ring(5.5, 8, 4.5, 1.8, BLUE)
    c.ring(10.5, 8, 4.5, 1.8, BLUE)


def regist_glyph(c):
    c.rounded(0, 0, 16, 16, 3, GREEN)
    c.rect(7, 3, 2, 10, WHITE)
    c.rect(3, 7, 10, 2, WHITE)


# --- tones ------------------------------------------------------------------

RATE = 8000
DTMF = {"1": (697, 1209), "2": (697, 1336), "3": (697, 1477), "4": (770, 1209), "5": (770, 1336),
        "6": (770, 1477), "7": (852, 1209), "8": (852, 1336), "9": (852, 1477), "*": (941, 1209),
        "0": (941, 1336), "#": (941, 1477)}


def tone(freqs, seconds, volume=0.35):
    n = int(RATE * seconds)
    fade = int(RATE * 0.005)
    out = []
    for i in range(n):
        env = min(1.0, i / fade, (n - 1 - i) / fade) if fade else 1.0
        v = sum(math.sin(2 * math.pi * f * i / RATE) for f in freqs) / max(1, len(freqs))
        out.append(int(32767 * volume * env * v))
    return out


def silence(seconds):
    return [0] * int(RATE * seconds)


def write_wave(path, samples):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(struct.pack("<%dh" % len(samples), *samples))


def main():
    images = os.path.join(ROOT, "images")
    sounds = os.path.join(ROOT, "sound")
    os.makedirs(images, exist_ok=True)
    os.makedirs(sounds, exist_ok=True)

    icon(os.path.join(images, "icon.png"))
    for size in ICON_SIZES:
        folder = os.path.join(ROOT, "icons", "hicolor", "%dx%d" % (size, size), "apps")
        os.makedirs(folder, exist_ok=True)
        icon(os.path.join(folder, "ravelozent.png"), size)
    state_picture(os.path.join(images, "busy.png"), RED, "BUSY", (150, 30, 30))
    state_picture(os.path.join(images, "free.png"), GREEN, "FREE", (30, 110, 50))
    keypad(os.path.join(images, "keypad.png"))
    login_background(os.path.join(images, "login_bg.png"))
    login_glyph(os.path.join(images, "login.png"))
    small_glyph(os.path.join(images, "close.png"), close_glyph)
    small_glyph(os.path.join(images, "call.png"), call_glyph(GREEN))
    small_glyph(os.path.join(images, "hangup.png"), call_glyph(RED))
    small_glyph(os.path.join(images, "bridge.png"), bridge_glyph)
    small_glyph(os.path.join(images, "regist.png"), regist_glyph)

    # A player may stop once it has handed the last samples to the sound
    # server, cutting off what is still buffered there (Qt's sound effect over
    # PulseAudio loses about 0.1 s): each tone ends with a quarter second of
    # silence, so the tone itself is heard whole.
    tail = silence(0.25)
    # sound\DTMF10.wav is "*", sound\DTMF11.wav is "#".
    for index, key in enumerate("0123456789*#"):
        write_wave(os.path.join(sounds, "DTMF%d.wav" % index), tone(DTMF[key], 0.15) + tail)
    write_wave(os.path.join(sounds, "login.wav"),
               tone([523], 0.12) + tone([659], 0.12) + tone([784], 0.25) + tail)
    # Played in a loop: one ring, then a pause.
    write_wave(os.path.join(sounds, "ring.wav"), tone([440, 480], 1.0) + silence(2.0))
    write_wave(os.path.join(sounds, "hangup.wav"),
               tone([480, 620], 0.25) + silence(0.25) + tone([480, 620], 0.25) + silence(0.25) + tone([480, 620], 0.25) +
               tail)
    return 0


if __name__ == "__main__":
    sys.exit(main())
