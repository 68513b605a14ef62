#!/usr/bin/env python3
"""Makes the media of the default adventure under data/media/.

    make_media.py [pictures] [music] [sounds] [movie]     (default: all)

- pictures: 320x240 PNG scenes drawn procedurally (Pillow).
- music: General MIDI songs written byte by byte (standard library only).
- sounds: chime.wav synthesised with the wave module; bell.mp3 synthesised the
  same way and encoded with lame (or ffmpeg).
- movie: dawn.avi, 160x120, about 3 seconds, MPEG-4 part 2 video with PCM
  audio, encoded by ffmpeg from procedurally drawn frames.

Everything here is our own work. The tools are needed only to regenerate the
media, never to build or run the program: python3, python3-pil, ffmpeg and
lame (Debian packages of those names).
"""

import math
import os
import random
import shutil
import struct
import subprocess
import sys
import tempfile
import wave

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
OUT = os.path.join(ROOT, "data", "media")
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, HERE)

W, H = 320, 240


# =========================================================================
# Pictures
# =========================================================================

def pictures():
    from paint import Canvas, mix, rgb, save_png  # Pillow is needed only here

    def hills(c, base, amp, colour_top, colour_bottom, seed, freq=3.0, bottom=None):
        rnd = random.Random(seed)
        ph = [rnd.uniform(0, 6.28) for _ in range(3)]
        pts = []
        for i in range(0, 81):
            x = W * i / 80
            y = base - amp * (0.55 * math.sin(freq * x / W * 6.28 + ph[0])
                              + 0.3 * math.sin(2.3 * freq * x / W * 6.28 + ph[1])
                              + 0.15 * math.sin(5.1 * freq * x / W * 6.28 + ph[2]))
            pts.append((x, y))
        pts += [(W, bottom or H), (0, bottom or H)]
        top = min(p[1] for p in pts)
        c.vgradient([(0, colour_top), (1, colour_bottom)], box=(0, top, W, bottom or H), mask=c.poly_mask(pts))
        return pts

    def sky(c, top, bottom, mid=None):
        stops = [(0, top), (1, bottom)] if mid is None else [(0, top), (0.55, mid), (1, bottom)]
        c.vgradient(stops)

    def stars(c, n, ymax, seed=3):
        rnd = random.Random(seed)
        for _ in range(n):
            x, y, r = rnd.uniform(0, W), rnd.uniform(0, ymax), rnd.choice([0.4, 0.5, 0.7, 1.0])
            c.ellipse(x - r, y - r, x + r, y + r, fill=(255, 244, 214, rnd.randint(120, 230)))

    def cloud(c, x, y, s, colour, alpha=160):
        layer = c.layer()
        from PIL import ImageDraw
        d = ImageDraw.Draw(layer)
        col = rgb(colour) + (alpha,)
        for dx, dy, r in [(-1.2, 0.2, 0.7), (-0.4, -0.3, 0.9), (0.5, -0.1, 0.8), (1.2, 0.25, 0.6), (0, 0.3, 0.8)]:
            d.ellipse(c.box(x + dx * s - r * s, y + dy * s - r * s * 0.6, x + dx * s + r * s, y + dy * s + r * s * 0.6),
                      fill=col)
        c.compose(layer, blur=s * 0.15)

    def cottage(c, x, y, w, h, wall="#d9c29a", roof="#7a3b2e", lit=True):
        c.rect(x, y - h, x + w, y, wall, outline="#5a4030")
        c.poly([(x - w * 0.12, y - h), (x + w / 2, y - h - h * 0.8), (x + w * 1.12, y - h)], roof, outline="#3b2018")
        c.rect(x + w * 0.62, y - h - h * 0.75, x + w * 0.78, y - h - h * 0.3, "#6b5a4a")
        win = "#ffd27a" if lit else "#4a4a58"
        c.rect(x + w * 0.15, y - h * 0.7, x + w * 0.38, y - h * 0.4, win, outline="#4a3020")
        c.rect(x + w * 0.55, y - h * 0.62, x + w * 0.8, y, "#5c3a24")

    def tower(c, cx, base, w, h, stone="#8d8a86", dark="#5d5a58", window="#ffcf6b", lit=True):
        x0, x1 = cx - w / 2, cx + w / 2
        c.vgradient([(0, stone), (1, dark)], box=(x0, base - h, x1, base), mask=c.poly_mask(
            [(x0, base), (x0 + w * 0.04, base - h), (x1 - w * 0.04, base - h), (x1, base)]))
        # shading on the right, stone courses
        c.poly([(cx + w * 0.15, base), (cx + w * 0.15, base - h), (x1 - w * 0.04, base - h), (x1, base)],
               (30, 25, 30, 70))
        for i in range(1, int(h / 9)):
            yy = base - i * 9
            c.line([(x0 + 1, yy), (x1 - 1, yy)], (40, 35, 35, 60), 0.6)
        # battlements and roof
        for i in range(5):
            bx = x0 - w * 0.06 + i * (w * 1.12) / 4.5
            c.rect(bx, base - h - w * 0.18, bx + w * 0.16, base - h, stone, outline=dark)
        c.rect(x0 - w * 0.08, base - h - 2, x1 + w * 0.08, base - h + 3, dark)
        c.poly([(cx - w * 0.45, base - h - w * 0.18), (cx, base - h - w * 1.0), (cx + w * 0.45, base - h - w * 0.18)],
               "#4a3a4a", outline="#2a202a")
        # the great window at the top
        c.rect(cx - w * 0.17, base - h + w * 0.12, cx + w * 0.17, base - h + w * 0.55, window if lit else "#2a2a38",
               outline="#2a2024", radius=w * 0.1)
        if lit:
            c.glow(cx, base - h + w * 0.33, w * 0.6, window, 90)
        # door
        c.rect(cx - w * 0.16, base - w * 0.5, cx + w * 0.16, base, "#4b2e1c", outline="#22140c", radius=w * 0.12)

    def pine(c, x, y, h, colour="#23402e"):
        for i in range(4):
            t = i / 4
            yy = y - h * t * 0.8
            ww = h * 0.32 * (1 - t * 0.7)
            c.poly([(x - ww, yy), (x, yy - h * 0.42), (x + ww, yy)], colour)
        c.rect(x - h * 0.03, y, x + h * 0.03, y + h * 0.08, "#3b2a1c")

    def birch(c, x, y0, y1, w, rnd):
        c.rect(x - w / 2, y0, x + w / 2, y1, "#e8e2d2")
        c.rect(x + w * 0.1, y0, x + w / 2, y1, (120, 110, 100, 60))
        yy = y0 + rnd.uniform(2, 8)
        while yy < y1 - 3:
            ww = rnd.uniform(0.3, 0.8) * w
            xx = x - w / 2 + rnd.uniform(0, w - ww)
            c.rect(xx, yy, xx + ww, yy + rnd.uniform(1, 2.2), "#2d2a2a")
            yy += rnd.uniform(5, 14)

    def moth(c, x, y, s, angle=0.0, colour="#15121c", letters=True, rnd=None):
        ca, sa = math.cos(angle), math.sin(angle)

        def rot(px, py):
            return (x + (px * ca - py * sa) * s, y + (px * sa + py * ca) * s)

        wing = [(0, 0), (-1.1, -0.9), (-1.6, -0.3), (-1.2, 0.4), (-0.3, 0.2)]
        hind = [(0, 0.1), (-0.9, 0.5), (-0.8, 1.0), (-0.2, 0.6)]
        for sign in (-1, 1):
            c.poly([rot(sign * -px, py) for px, py in wing], colour, outline="#3a3248")
            c.poly([rot(sign * -px, py) for px, py in hind], colour, outline="#3a3248")
        c.poly([rot(-0.12, -0.3), rot(0.12, -0.3), rot(0.08, 0.8), rot(-0.08, 0.8)], "#2a2236")
        if letters and rnd is not None and s > 5:
            for sign in (-1, 1):
                px, py = rot(sign * 0.9, -0.35)
                c.text(px, py, rnd.choice("AEKQRSWM"), s * 0.55, (200, 190, 220, 170), serif=True)

    def shelves(c, x0, y0, x1, y1, rows, rnd, blank=True):
        c.rect(x0, y0, x1, y1, "#4a2e1e", outline="#2b1a10", width=1.5)
        rh = (y1 - y0) / rows
        for r in range(rows):
            top, bot = y0 + r * rh + 3, y0 + (r + 1) * rh - 2
            x = x0 + 3
            while x < x1 - 6:
                bw = rnd.uniform(4, 8)
                bh = rnd.uniform(0.7, 0.95) * (bot - top)
                col = mix(rnd.choice(["#8a3a2a", "#3e5a3a", "#3a4668", "#7a5a2a", "#5a2e4a"]), "#e8dcc0",
                          0.55 if blank else 0.0)
                c.rect(x, bot - bh, x + bw, bot, col, outline="#2b1a10", width=0.5)
                x += bw + rnd.uniform(0.2, 1.0)
            c.rect(x0, bot, x1, bot + 2, "#6b4530")

    def finish(c, name, colours=256, vignette=0.55):
        c.grain(8)
        c.vignette(vignette)
        save_png(c.result(), os.path.join(OUT, name), colours)

    # ---- scenes ---------------------------------------------------------------
    def bindery():
        c = Canvas(W, H, seed=11)
        c.vgradient([(0, "#6b4a30"), (1, "#3a2616")])
        c.vgradient([(0, "#5a3a22"), (1, "#2e1e12")], box=(0, 180, W, H))
        for i in range(0, W, 18):
            c.line([(i, 180), (i - 30, H)], (30, 18, 10, 90), 1)
        # bottle-glass window
        c.rect(20, 30, 120, 130, "#3a2414", outline="#22140a", width=3)
        for gy in range(4):
            for gx in range(4):
                cx, cy = 33 + gx * 25, 43 + gy * 25
                col = mix("#bfe0c8", "#f6e7a8", (gx + gy) / 6)
                c.ellipse(cx - 11, cy - 11, cx + 11, cy + 11, col, outline="#6a7a5a")
                c.ellipse(cx - 4, cy - 6, cx + 1, cy - 1, (255, 255, 240, 160))
        c.glow(70, 80, 110, "#ffe6a0", 80)
        shelves(c, 150, 20, 300, 150, 4, c.rnd)
        # the bench with the open blank book
        c.rect(0, 170, 210, 182, "#7a4e2c", outline="#3b2414")
        c.rect(10, 182, 22, 235, "#5a361c")
        c.rect(188, 182, 200, 235, "#5a361c")
        c.poly([(60, 168), (100, 160), (140, 168), (100, 174)], "#f4ecd8", outline="#8a7a60")
        c.line([(100, 160), (100, 174)], "#b0a080", 1)
        # press
        c.rect(225, 150, 300, 165, "#3a2a1e")
        c.rect(235, 100, 245, 200, "#2e2218")
        c.rect(280, 100, 290, 200, "#2e2218")
        c.rect(230, 95, 295, 108, "#4a3626")
        c.line([(262, 108), (262, 150)], "#9a8a6a", 3)
        c.line([(240, 118), (284, 118)], "#9a8a6a", 2)
        # lantern on its hook
        c.line([(135, 0), (135, 40)], "#2a2a2a", 1)
        c.glow(135, 58, 45, "#ffc060", 150)
        c.rect(127, 44, 143, 70, (255, 210, 120, 200), outline="#3a2a1a", width=1.5)
        c.poly([(125, 44), (135, 36), (145, 44)], "#3a2a1a")
        finish(c, "bindery.png")

    def green():
        c = Canvas(W, H, seed=12)
        sky(c, "#8fb8d8", "#f3e2b8")
        cloud(c, 70, 40, 18, "#ffffff", 170)
        cloud(c, 240, 28, 14, "#ffffff", 150)
        hills(c, 120, 18, "#7c9a6a", "#5c7a4e", 5, 1.5)
        tower(c, 250, 102, 16, 55, lit=False)
        hills(c, 160, 10, "#8cb060", "#6a9048", 9, 2.0)
        for i, (x, w, h, roof) in enumerate([(20, 34, 22, "#7a3b2e"), (70, 30, 20, "#5a4a6a"),
                                             (205, 36, 24, "#8a5a2a"), (262, 32, 20, "#7a3b2e")]):
            cottage(c, x, 170 + (i % 2) * 4, w, h, roof=roof, lit=False)
        c.vgradient([(0, "#7fae52"), (1, "#4c7a34")], box=(0, 175, W, H))
        # the blank signpost
        c.rect(157, 120, 163, 215, "#6a4a2a", outline="#3a2414")
        for (dx, dy, flip) in [(1, 128, 1), (-1, 142, -1), (1, 156, 1)]:
            x0 = 160 if flip > 0 else 160 - 44
            pts = [(x0, dy), (x0 + 38, dy), (x0 + 44, dy + 5), (x0 + 38, dy + 10), (x0, dy + 10)] if flip > 0 else \
                [(x0 + 6, dy), (x0 + 44, dy), (x0 + 44, dy + 10), (x0 + 6, dy + 10), (x0, dy + 5)]
            c.poly(pts, "#efe2c4", outline="#6a4a2a")
        # villagers with blank books
        for i, x in enumerate([90, 120, 200, 230]):
            col = ["#6a3a5a", "#3a5a7a", "#8a5a3a", "#4a6a4a"][i]
            c.ellipse(x - 5, 176, x + 5, 186, "#e8c8a0")
            c.poly([(x - 8, 214), (x - 5, 186), (x + 5, 186), (x + 8, 214)], col)
            c.rect(x - 4, 195, x + 4, 201, "#f4ecd8")
        finish(c, "green.png")

    def mill():
        c = Canvas(W, H, seed=13)
        sky(c, "#a8c8e0", "#f0dcb0")
        cloud(c, 240, 40, 20, "#ffffff", 160)
        hills(c, 130, 12, "#6e8e5e", "#4e6e44", 3, 1.2)
        # mill house
        c.rect(120, 80, 230, 175, "#d8c8a8", outline="#5a4a3a")
        c.poly([(110, 80), (175, 35), (240, 80)], "#6a4a3a", outline="#3a2a1a")
        c.rect(140, 110, 160, 130, "#ffd98a", outline="#4a3020")
        c.rect(190, 130, 212, 175, "#5c3a24")
        # water wheel
        cx, cy, r = 95, 140, 42
        c.ellipse(cx - r, cy - r, cx + r, cy + r, None, outline="#4a3020", width=5)
        c.ellipse(cx - 8, cy - 8, cx + 8, cy + 8, "#4a3020")
        for k in range(12):
            a = k * math.pi / 6 + 0.2
            c.line([(cx, cy), (cx + r * math.cos(a), cy + r * math.sin(a))], "#5a3a22", 3)
            px, py = cx + r * math.cos(a), cy + r * math.sin(a)
            c.rect(px - 5, py - 5, px + 5, py + 5, "#6a4a2a")
        # stream
        c.vgradient([(0, "#6aa0c0"), (1, "#2e5a7a")], box=(0, 170, W, H))
        rnd = c.rnd
        for _ in range(40):
            x, y = rnd.uniform(0, W), rnd.uniform(175, 235)
            c.line([(x, y), (x + rnd.uniform(8, 20), y)], (230, 245, 255, 140), 0.8)
        c.glow(95, 180, 30, "#ffffff", 70)
        # flour sacks
        for x in (245, 262):
            c.ellipse(x, 150, x + 18, 176, "#e8dcc0", outline="#8a7a5a")
        finish(c, "mill.png")

    def inkwood():
        c = Canvas(W, H, seed=14)
        sky(c, "#5a7a6a", "#c8d0a0")
        c.glow(200, 60, 120, "#fff0c0", 90)
        rnd = random.Random(4)
        for depth, (col, n) in enumerate([("#3a5a48", 9), ("#2a4a38", 7)]):
            for i in range(n):
                pine(c, rnd.uniform(0, W), 150 + depth * 12, rnd.uniform(50, 80), col)
        c.vgradient([(0, "#4a6a3a"), (1, "#2a3a22")], box=(0, 160, W, H))
        # path
        c.poly([(140, 160), (175, 160), (260, H), (70, H)], "#8a7250")
        c.poly([(150, 160), (165, 160), (200, H), (110, H)], (160, 140, 100, 120))
        # ink droplets along the path
        for i in range(12):
            t = i / 11
            x = 158 + math.sin(t * 5) * 8 + (t ** 1.3) * 10
            y = 164 + t * 70
            r = 1 + t * 2.2
            c.ellipse(x - r, y - r * 0.6, x + r, y + r * 0.6, "#0c0a14")
            c.ellipse(x - r * 0.4, y - r * 0.5, x, y - r * 0.2, (200, 200, 255, 150))
        for x in (30, 75, 250, 295):
            birch(c, x, 0, 215, 12, rnd)
        for x in (10, 110, 215, 310):
            birch(c, x, 20, 185, 7, rnd)
        finish(c, "inkwood.png")

    def oak():
        c = Canvas(W, H, seed=15)
        sky(c, "#7aa0c8", "#f8dca8")
        hills(c, 170, 10, "#7c9a6a", "#5a7a4a", 2, 1.0)
        # village far below
        for x in range(70, 200, 22):
            cottage(c, x, 190 + (x % 3) * 3, 12, 8, lit=False)
        # tower with moth cloud
        hills(c, 150, 22, "#6a8a5a", "#4a6a3e", 8, 0.6, bottom=200)
        tower(c, 250, 135, 14, 60, lit=False)
        rnd = random.Random(9)
        for _ in range(90):
            a, rr = rnd.uniform(0, 6.28), rnd.gauss(0, 10)
            x, y = 250 + math.cos(a) * rr * 1.6, 62 + math.sin(a) * rr
            c.ellipse(x - 1, y - 0.7, x + 1, y + 0.7, "#15121c")
        c.line([(238, 150), (244, 160), (240, 172), (247, 186)], "#15121c", 2.5)  # the black crack below
        # framing oak branches and leaves
        c.line([(0, 40), (60, 60), (120, 52), (170, 30)], "#3a2a1a", 9)
        c.line([(0, 215), (90, 200), (150, 215), (W, 205)], "#3a2a1a", 12)
        c.line([(60, 60), (80, 20)], "#3a2a1a", 5)
        for _ in range(140):
            x = rnd.choice([rnd.uniform(0, 180), rnd.uniform(0, W)])
            y = rnd.choice([rnd.uniform(0, 70), rnd.uniform(195, H)])
            r = rnd.uniform(4, 9)
            c.ellipse(x - r, y - r * 0.7, x + r, y + r * 0.7, mix("#3a6a2a", "#8ab050", rnd.random()))
        finish(c, "oak.png")

    def hut():
        c = Canvas(W, H, seed=16)
        sky(c, "#8ab0c8", "#f8e8b8")
        c.glow(60, 40, 80, "#fff4c0", 120)
        hills(c, 140, 10, "#5a7a4a", "#3a5a32", 6, 1.1)
        for x in (20, 45, 280, 305):
            pine(c, x, 150, 70, "#2a4a34")
        # rock and leaning hut
        c.poly([(180, 175), (200, 90), (250, 70), (300, 100), (315, 175)], "#7a7670", outline="#4a4640")
        c.poly([(200, 90), (250, 70), (240, 120)], (255, 255, 255, 30))
        c.poly([(95, 178), (105, 110), (205, 100), (215, 178)], "#8a6a44", outline="#3a2a1a")
        for y in range(112, 178, 8):
            c.line([(100, y), (212, y - 3)], (60, 40, 20, 120), 1)
        c.poly([(85, 115), (150, 60), (225, 100)], "#a08a5a", outline="#5a4a2a")
        for i in range(9):  # thatch strokes, kept inside the roof
            t = (i + 1) / 10
            bx, by = 85 + 140 * t, 115 - 15 * t
            c.line([(bx, by - 2), (bx + (150 - bx) * 0.6, by - 2 + (60 - by) * 0.6)], (120, 100, 60, 120), 1)
        c.rect(140, 135, 165, 178, "#3a2414", radius=4)
        c.rect(175, 120, 195, 138, "#ffd98a", outline="#3a2414")
        # brook
        c.vgradient([(0, "#7ab0c8"), (1, "#3a6a8a")], box=(0, 195, W, H), mask=c.poly_mask(
            [(0, 200), (80, 192), (200, 205), (W, 196), (W, H), (0, H)]))
        c.vgradient([(0, "#6a8a4a"), (1, "#4a6a34")], box=(0, 175, W, 205), mask=c.poly_mask(
            [(0, 178), (W, 178), (W, 196), (200, 205), (80, 192), (0, 200)]))
        # Bramble on the step
        c.ellipse(118, 150, 132, 164, "#e0c0a0")
        c.poly([(116, 160), (134, 160), (130, 178), (120, 178)], "#dcdcd0")
        c.poly([(110, 164), (140, 164), (144, 190), (106, 190)], "#5a4a6a")
        finish(c, "hut.png")

    def quill():
        c = Canvas(W, H, seed=17)
        c.vgradient([(0, "#3a1e2a"), (1, "#1a0e14")])
        # velvet-lined box
        c.poly([(30, 70), (290, 50), (300, 180), (40, 205)], "#c8b088", outline="#6a5030", width=2)
        c.poly([(45, 82), (280, 64), (288, 170), (52, 192)], "#6a1a2a")
        c.poly([(45, 82), (280, 64), (284, 90), (48, 106)], (0, 0, 0, 70))
        c.glow(165, 128, 120, "#e8e8ff", 100)
        # the quill: shaft and silver barbs
        x0, y0, x1, y1 = 70, 170, 265, 85
        n = 60
        for i in range(n):
            t = i / n
            px, py = x0 + (x1 - x0) * t, y0 + (y1 - y0) * t
            if t > 0.2:
                ln = 28 * math.sin((t - 0.2) / 0.8 * math.pi) ** 0.7
                for sign in (-1, 1):
                    a = math.atan2(y1 - y0, x1 - x0) + sign * 1.1
                    col = mix("#8a8aa0", "#ffffff", 0.5 + 0.5 * math.sin(i * 0.9))
                    c.line([(px, py), (px + ln * math.cos(a) + 6, py + ln * math.sin(a) - 4)], col, 0.8)
        c.line([(x0 - 10, y0 + 6), (x1, y1)], "#f4f4ff", 2.2)
        c.poly([(x0 - 12, y0 + 7), (x0 - 20, y0 + 14), (x0 - 6, y0 + 4)], "#c0c0d8")
        rnd = random.Random(3)
        for _ in range(25):
            x, y, r = rnd.uniform(60, 280), rnd.uniform(60, 190), rnd.uniform(0.6, 1.6)
            c.line([(x - r * 3, y), (x + r * 3, y)], (255, 255, 255, 200), 0.5)
            c.line([(x, y - r * 3), (x, y + r * 3)], (255, 255, 255, 200), 0.5)
        finish(c, "quill.png")

    def tower_scene():
        c = Canvas(W, H, seed=18)
        sky(c, "#2a2a5a", "#e8906a", "#8a5a7a")
        stars(c, 40, 90)
        c.glow(80, 190, 120, "#ffb070", 110)
        hills(c, 200, 14, "#4a5a4a", "#2a3a2e", 12, 1.2)
        hills(c, 175, 40, "#5a6a4a", "#3a4a34", 2, 0.45, bottom=H)
        tower(c, 170, 180, 60, 130)
        # ivy
        rnd = random.Random(5)
        for _ in range(120):
            y = rnd.uniform(100, 180)
            x = 143 + rnd.gauss(0, 4) + (180 - y) * 0.02
            c.ellipse(x - 2.2, y - 1.6, x + 2.2, y + 1.6, mix("#2a5a2a", "#5a8a3a", rnd.random()))
        c.rect(141, 100, 151, 118, "#1e1a22", outline="#3a3430")
        # path down to the cave
        c.line([(200, 182), (240, 200), (275, 225), (300, 240)], "#8a7a5a", 5)
        c.ellipse(285, 205, 318, 225, "#0e0c12")
        # bell lines
        for r in (14, 22, 30):
            c.arc(170 - r, 58 - r, 170 + r, 58 + r, 200, 340, (255, 230, 180, 90), 1)
        finish(c, "tower.png")

    def hall():
        c = Canvas(W, H, seed=19)
        c.vgradient([(0, "#1e1620"), (0.5, "#3a2a26"), (1, "#2a1c14")])
        rnd = random.Random(6)
        shelves(c, 5, 10, 110, 205, 6, rnd)
        shelves(c, 210, 10, 315, 205, 6, rnd)
        # stair winding up the back wall
        for i in range(12):
            x = 120 + i * 7
            y = 200 - i * 14
            c.rect(x, y, x + 24, y + 6, "#6a5a4a", outline="#3a2a22")
        # ladders
        for x in (40, 255):
            c.line([(x, 210), (x + 18, 40)], "#8a6a3a", 2.5)
            c.line([(x + 14, 210), (x + 32, 40)], "#8a6a3a", 2.5)
            for k in range(10):
                t = k / 10
                c.line([(x + 18 * (1 - t) * 0 + t * 18, 210 - t * 170), (x + 14 + t * 18, 210 - t * 170)],
                       "#8a6a3a", 1.5)
        c.vgradient([(0, "#5a3e2a"), (1, "#2a1a10")], box=(0, 205, W, H))
        # footprints of ink
        for i in range(9):
            x, y = 150 + i * 9 + (i % 2) * 4, 236 - i * 3.5
            c.ellipse(x - 2, y - 1.2, x + 2, y + 1.2, "#0a0810")
        c.glow(160, 60, 100, "#c8a0ff", 40)
        finish(c, "hall.png")

    def study():
        c = Canvas(W, H, seed=20)
        c.vgradient([(0, "#4a3026"), (1, "#24160e")])
        c.rect(200, 20, 290, 120, "#1e2a44", outline="#3a2a1a", width=3)
        c.line([(245, 20), (245, 120)], "#3a2a1a", 2)
        c.line([(200, 70), (290, 70)], "#3a2a1a", 2)
        stars(c, 0, 0)
        c.ellipse(258, 32, 270, 44, "#f0f0d8")
        # desk
        c.poly([(10, 150), (310, 140), (320, 175), (0, 185)], "#6a4224", outline="#2a1a0c")
        c.rect(20, 185, 40, 240, "#4a2e18")
        c.rect(280, 175, 300, 240, "#4a2e18")
        # letter with blue shimmering writing
        c.poly([(60, 140), (150, 134), (156, 166), (64, 172)], "#f4ead0", outline="#9a8a6a")
        rnd = random.Random(8)
        for k in range(5):
            y = 142 + k * 5.5
            x = 70
            while x < 140:
                ww = rnd.uniform(4, 12)
                c.line([(x, y - (x - 60) * 0.066), (x + ww, y - (x + ww - 60) * 0.066)], "#3a5ac8", 1)
                x += ww + 3
        c.glow(105, 152, 50, "#7aa0ff", 60)
        # spilt inkwell
        c.ellipse(180, 138, 280, 160, "#0c0a14")
        c.ellipse(185, 128, 205, 142, "#2a2a3a", outline="#0a0a10")
        # candle
        c.rect(240, 100, 250, 138, "#f0e6c8")
        c.glow(245, 94, 50, "#ffc060", 170)
        c.ellipse(241, 88, 249, 100, "#fff0b0")
        # brass key
        c.ellipse(160, 160, 172, 170, None, outline="#d4a83a", width=2)
        c.line([(172, 165), (192, 163)], "#d4a83a", 2)
        c.line([(188, 163), (188, 168)], "#d4a83a", 2)
        finish(c, "study.png")

    def lectern():
        c = Canvas(W, H, seed=21)
        c.vgradient([(0, "#2a2236"), (1, "#1a1420")])
        # broken window with night sky
        c.poly([(100, 20), (220, 20), (220, 130), (100, 130)], "#1a2a4a")
        stars(c, 30, 130, seed=4)
        c.poly([(100, 20), (140, 20), (118, 60), (100, 48)], "#3a3a4a")
        c.poly([(220, 90), (220, 130), (190, 130)], "#3a3a4a")
        c.rect(97, 17, 223, 133, None, outline="#5a4a3a", width=4)
        c.vgradient([(0, "#3a2a22"), (1, "#1a120c")], box=(0, 170, W, H))
        # lectern, empty
        c.poly([(140, 110), (180, 110), (190, 120), (130, 120)], "#2a1a10", outline="#120a06")
        c.rect(152, 120, 168, 200, "#2a1a10")
        c.rect(135, 198, 185, 208, "#2a1a10")
        c.poly([(138, 120), (182, 120), (176, 126), (144, 126)], "#e8dcc0")
        rnd = random.Random(11)
        for _ in range(22):
            moth(c, rnd.uniform(20, 300), rnd.uniform(20, 180), rnd.uniform(4, 9), rnd.uniform(-0.6, 0.6),
                 rnd=rnd)
        c.glow(160, 80, 140, "#8a6aff", 40)
        finish(c, "lectern.png")

    def moths_battle():
        c = Canvas(W, H, seed=22)
        c.vgradient([(0, "#3a1e4a"), (1, "#120a1a")])
        c.glow(160, 120, 150, "#b070ff", 70)
        rnd = random.Random(12)
        items = [(rnd.uniform(10, 310), rnd.uniform(10, 230), rnd.uniform(5, 12)) for _ in range(28)]
        for x, y, s in sorted(items, key=lambda i: i[2]):
            moth(c, x, y, s, rnd.uniform(-0.5, 0.5), rnd=rnd)
        moth(c, 160, 120, 34, 0.0, colour="#0e0a14", rnd=rnd)
        c.ellipse(154, 104, 158, 108, "#ffe070")
        c.ellipse(162, 104, 166, 108, "#ffe070")
        finish(c, "moths.png")

    def cave():
        c = Canvas(W, H, seed=23)
        sky(c, "#6a7a9a", "#d8c0a0")
        hills(c, 90, 20, "#6a7a5a", "#4a5a3e", 4, 0.8)
        c.poly([(0, 100), (80, 60), (200, 50), (320, 80), (W, H), (0, H)], "#7a7266", outline="#4a443c")
        c.vgradient([(0, "#6a645a"), (1, "#3a362e")], box=(0, 50, W, H), mask=c.poly_mask(
            [(0, 100), (80, 60), (200, 50), (320, 80), (W, H), (0, H)]))
        c.ellipse(85, 105, 235, 205, "#0a080e")
        c.ellipse(100, 120, 220, 220, "#000000")
        # ink seeping out
        for x, ln in ((110, 60), (150, 70), (200, 55), (230, 40)):
            c.line([(x, 190), (x + 4, 190 + ln * 0.4), (x - 2, min(H, 190 + ln))], "#0c0a14", 3)
        c.vgradient([(0, "#7a5a7a"), (1, "#4a3a4a")], box=(0, 205, W, H), mask=c.poly_mask(
            [(0, 212), (80, 205), (170, 215), (260, 206), (W, 210), (W, H), (0, H)]))
        rnd = random.Random(13)
        for _ in range(30):
            x, y = rnd.uniform(0, W), rnd.uniform(210, H)
            c.line([(x, y), (x + rnd.uniform(-2, 2), y - rnd.uniform(4, 9))], "#b07ab0", 1)
        for _ in range(14):  # stray letters drifting out of the dark
            c.text(rnd.uniform(105, 215), rnd.uniform(130, 190), rnd.choice("AEKMRSTW"), rnd.uniform(5, 8),
                   (180, 170, 220, rnd.randint(60, 130)))
        finish(c, "cave.png")

    def tunnel():
        c = Canvas(W, H, seed=24)
        c.rect(0, 0, W, H, "#08060c")
        c.glow(160, 130, 160, "#ffb060", 170)
        c.ellipse(40, 20, 280, 240, None, outline=(70, 50, 40, 140), width=8)
        rnd = random.Random(14)
        alphabet = "ABCDEFGHIJKLMNOPRSTUWYabcdeghmnorstw"
        for row in range(10):
            y0 = 30 + row * 20
            for k in range(26):
                x = 20 + k * 11 + (row % 2) * 5
                y = y0 + k * 1.6
                d = math.hypot(x - 160, y - 130)
                a = max(30, int(255 - d * 1.4))
                c.text(x, y, rnd.choice(alphabet), 8, (20, 16, 26, a))
                if d < 90:
                    c.text(x - 0.7, y - 0.7, rnd.choice(alphabet), 8, (255, 210, 140, max(0, 90 - int(d))))
        c.rect(152, 118, 168, 140, (255, 220, 140, 230), outline="#3a2a1a", width=1.5)
        c.poly([(150, 118), (160, 110), (170, 118)], "#3a2a1a")
        finish(c, "tunnel.png", vignette=0.7)

    def lake():
        c = Canvas(W, H, seed=25)
        c.vgradient([(0, "#0e0c18"), (1, "#1e1a2a")])
        # stalactites
        rnd = random.Random(15)
        for i in range(22):
            x = i * 15 + rnd.uniform(-4, 4)
            ln = rnd.uniform(15, 50)
            c.poly([(x - 6, 0), (x + 6, 0), (x, ln)], "#2e2838")
        c.glow(160, 150, 130, "#6a5aa0", 60)
        c.vgradient([(0, "#050408"), (1, "#120e1a")], box=(0, 150, W, H))
        for _ in range(30):
            x, y = rnd.uniform(0, W), rnd.uniform(155, 235)
            c.line([(x, y), (x + rnd.uniform(10, 30), y)], (120, 100, 180, 60), 0.7)
        # the bulge under the surface
        c.ellipse(120, 170, 230, 200, (40, 20, 60, 160))
        # rock shelf with Hesper and Tobias
        c.poly([(220, 160), (260, 120), (320, 115), (W, 165)], "#3a3444", outline="#1a1620")
        c.rect(286, 85, 296, 140, "#4a4254")
        c.poly([(284, 120), (298, 120), (300, 142), (282, 142)], "#d8d0e0")
        c.ellipse(285, 108, 297, 120, "#e0c8b0")
        c.ellipse(283, 104, 299, 114, "#f0f0f0")
        c.poly([(246, 124), (258, 124), (262, 158), (242, 158)], "#3a3a30")
        c.ellipse(245, 112, 259, 126, "#c8b098")
        # the Vellum held out over the water
        c.poly([(224, 122), (246, 130), (242, 142), (220, 134)], "#efe4c8", outline="#8a7a5a")
        c.glow(232, 132, 30, "#fff0c0", 90)
        # glittering words on the walls
        for _ in range(40):
            x, y = rnd.choice([rnd.uniform(0, 70), rnd.uniform(250, W)]), rnd.uniform(40, 150)
            c.text(x, y, rnd.choice("AEIOURSTNM"), 6, (170, 160, 220, 140))
        finish(c, "lake.png", vignette=0.6)

    def wyrm():
        c = Canvas(W, H, seed=26)
        c.vgradient([(0, "#40245a"), (0.7, "#2a1840"), (1, "#120a1c")])
        c.glow(175, 95, 170, "#c080ff", 150)
        # the lake it rises from
        c.vgradient([(0, "#0a0812"), (1, "#1a1226")], box=(0, 200, W, H))
        rnd = random.Random(16)
        for _ in range(24):
            x, y = rnd.uniform(0, W), rnd.uniform(205, 238)
            c.line([(x, y), (x + rnd.uniform(10, 30), y)], (150, 110, 200, 90), 0.7)
        # body: thick discs along an S-curve, rim-lit on the right
        pts = []
        for i in range(90):
            t = i / 89
            x = 95 + t * 80 + math.sin(t * 5.5) * 55
            y = 228 - t * 165
            pts.append((x, y, 30 - t * 14))
        for x, y, r in pts:
            c.ellipse(x - r + 2.5, y - r, x + r + 2.5, y + r, "#9a6ac0")
        for x, y, r in pts:
            c.ellipse(x - r, y - r, x + r, y + r, "#0c0812")
        for x, y, r in pts[::5]:
            c.text(x + rnd.uniform(-r / 3, r / 4), y + rnd.uniform(-r / 3, r / 3), rnd.choice("QWERTYABDFGHKLMNPS"),
                   r * 0.55, (210, 180, 255, 110))
        # head: a wedge with an open mouth full of broken capitals
        hx, hy = pts[-1][0], pts[-1][1]
        head = [(hx - 24, hy + 10), (hx - 18, hy - 20), (hx + 10, hy - 34), (hx + 58, hy - 22), (hx + 66, hy - 8),
                (hx + 30, hy + 4), (hx + 64, hy + 14), (hx + 52, hy + 26), (hx + 8, hy + 24)]
        c.poly([(x + 2.5, y) for x, y in head], "#9a6ac0")
        c.poly(head, "#0c0812")
        c.poly([(hx + 24, hy + 2), (hx + 64, hy - 6), (hx + 62, hy + 13)], "#4a0e32")
        for k, ch in enumerate("VWAMV"):
            c.text(hx + 34 + k * 6, hy - 6 + k * 0.3, ch, 6, "#f4ead0")
            c.text(hx + 34 + k * 6, hy + 10 - k * 0.6, "MAVWA"[k], 6, "#f4ead0")
        # ink dripping from the jaw and body
        for _ in range(30):
            x0, y0, r = rnd.choice(pts[20:])
            x = x0 + rnd.uniform(-r, r)
            y = y0 + r * 0.6
            c.line([(x, y), (x, y + rnd.uniform(5, 16))], "#0c0812", 1.6)
            c.ellipse(x - 1.5, y + 14, x + 1.5, y + 17, "#0c0812")
        finish(c, "wyrm.png", vignette=0.55)

    def dawn():
        c = Canvas(W, H, seed=27)
        sky(c, "#4a6aa8", "#ffcf7a", "#f0a07a")
        c.glow(160, 175, 150, "#fff0a0", 200)
        c.ellipse(135, 150, 185, 200, "#fff6d0")
        hills(c, 165, 12, "#6a7a5a", "#4a5a3e", 21, 1.0)
        tower(c, 80, 150, 22, 70, lit=True)
        for x in (140, 180, 220, 262):
            cottage(c, x, 195 + (x % 3) * 2, 28, 18, lit=True)
        c.vgradient([(0, "#7a9a4a"), (1, "#3a5a2a")], box=(0, 200, W, H))
        rnd = random.Random(17)
        for _ in range(70):
            x, y = rnd.uniform(0, W), rnd.uniform(10, 150)
            c.text(x, y, rnd.choice("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), rnd.uniform(5, 10), (255, 230, 150, 200))
        finish(c, "dawn.png", vignette=0.4)

    def gloom():
        c = Canvas(W, H, seed=28)
        c.vgradient([(0, "#2a2e3a"), (1, "#0e1016")])
        rnd = random.Random(18)
        for _ in range(16):
            x, y, a = rnd.uniform(20, 300), rnd.uniform(120, 230), rnd.uniform(-0.6, 0.6)
            w, h = 34, 24
            ca, sa = math.cos(a), math.sin(a)
            pts = [(x + px * ca - py * sa, y + px * sa + py * ca) for px, py in
                   [(-w / 2, -h / 2), (w / 2, -h / 2), (w / 2, h / 2), (-w / 2, h / 2)]]
            c.poly(pts, mix("#d8d4c8", "#8a8880", rnd.random()), outline="#4a4a50")
        c.rect(150, 90, 170, 118, (140, 120, 90, 255), outline="#2a2a2a", width=1.5)
        c.poly([(148, 90), (160, 80), (172, 90)], "#2a2a2a")
        c.glow(160, 104, 30, "#ffb060", 50)
        for _ in range(20):
            moth(c, rnd.uniform(0, W), rnd.uniform(0, 90), rnd.uniform(2, 4), rnd.uniform(-0.5, 0.5), letters=False)
        finish(c, "gloom.png", vignette=0.7)

    def hero():
        c = Canvas(160, 200, seed=29)
        c.vgradient([(0, "#e8c890"), (1, "#9a6a3a")])
        c.glow(80, 80, 90, "#fff0c0", 120)
        # apprentice: head, hair, apron, lantern
        c.poly([(30, 200), (40, 120), (80, 105), (120, 120), (130, 200)], "#5a6a8a")
        c.poly([(55, 200), (60, 125), (100, 125), (105, 200)], "#d8c8a0", outline="#8a7a5a")
        c.ellipse(55, 50, 105, 110, "#f0c8a0")
        c.poly([(52, 78), (58, 45), (80, 36), (104, 46), (108, 78), (98, 58), (70, 56)], "#6a3a1e")
        c.ellipse(68, 78, 73, 83, "#2a1a10")
        c.ellipse(87, 78, 92, 83, "#2a1a10")
        c.arc(70, 86, 90, 98, 20, 160, "#8a4a3a", 1.5)
        c.glow(125, 150, 30, "#ffc060", 160)
        c.rect(117, 138, 133, 162, (255, 210, 120, 220), outline="#3a2a1a", width=1.5)
        c.line([(125, 130), (125, 138)], "#3a2a1a", 1.5)
        c.grain(8)
        c.vignette(0.45)
        save_png(c.result(), os.path.join(OUT, "hero.png"), 96)

    for f in (bindery, green, mill, inkwood, oak, hut, quill, tower_scene, hall, study, lectern, moths_battle, cave,
              tunnel, lake, wyrm, dawn, gloom, hero):
        f()
        print("picture:", f.__name__)


# =========================================================================
# MIDI
# =========================================================================

NOTE = {"C": 0, "D": 2, "E": 4, "F": 5, "G": 7, "A": 9, "B": 11}


def midi_note(name):
    """'C4', 'F#3', 'Bb5' -> MIDI number (C4 = 60)."""
    n = NOTE[name[0]]
    rest = name[1:]
    while rest and rest[0] in "#b":
        n += 1 if rest[0] == "#" else -1
        rest = rest[1:]
    return 12 * (int(rest) + 1) + n


def vlq(n):
    out = [n & 0x7F]
    n >>= 7
    while n:
        out.append(0x80 | (n & 0x7F))
        n >>= 7
    return bytes(reversed(out))


TPB = 480  # ticks per beat


class Track:
    def __init__(self, channel, program=None, volume=100, pan=64, name=""):
        self.ch = channel
        self.events = []  # (tick, order, bytes)
        if name:
            self.meta(0, 0x03, name.encode("ascii"))
        if program is not None:
            self.events.append((0, 0, bytes([0xC0 | channel, program])))
        self.events.append((0, 0, bytes([0xB0 | channel, 7, volume])))
        self.events.append((0, 0, bytes([0xB0 | channel, 10, pan])))
        self.events.append((0, 0, bytes([0xB0 | channel, 91, 40])))  # a little reverb

    def meta(self, tick, kind, data):
        self.events.append((tick, 0, bytes([0xFF, kind]) + vlq(len(data)) + data))

    def note(self, start_beats, length_beats, pitch, vel=90):
        t0 = int(round(start_beats * TPB))
        t1 = int(round((start_beats + length_beats) * TPB)) - 8
        p = midi_note(pitch) if isinstance(pitch, str) else pitch
        self.events.append((t0, 2, bytes([0x90 | self.ch, p, vel])))
        self.events.append((max(t0 + 1, t1), 1, bytes([0x80 | self.ch, p, 0])))

    def seq(self, start, text, vel=90, gate=1.0):
        """Plays 'C4:1 E4:0.5 r:0.5 [C4,E4,G4]:2' from beat start; returns the beat after."""
        t = start
        for tok in text.split():
            pitch, _, dur = tok.partition(":")
            d = float(dur or 1)
            if pitch != "r":
                for p in pitch.strip("[]").split(","):
                    self.note(t, d * gate, p, vel)
            t += d
        return t

    def chunk(self, end_tick):
        evs = sorted(self.events, key=lambda e: (e[0], e[1]))
        out = b""
        last = 0
        for tick, _, data in evs:
            out += vlq(tick - last) + data
            last = tick
        out += vlq(max(0, end_tick - last)) + b"\xFF\x2F\x00"
        return b"MTrk" + struct.pack(">I", len(out)) + out


def write_midi(name, bpm, tracks, beats):
    tempo = Track(0)
    tempo.events = []
    tempo.meta(0, 0x51, struct.pack(">I", int(60_000_000 / bpm))[1:])
    tempo.meta(0, 0x58, bytes([4, 2, 24, 8]))
    end = int(beats * TPB)
    last = max(e[0] for t in tracks for e in t.events)
    assert last <= end, "%s: notes run %.1f beats past the end" % (name, (last - end) / TPB)
    header = b"MThd" + struct.pack(">IHHH", 6, 1, len(tracks) + 1, TPB)
    body = tempo.chunk(end) + b"".join(t.chunk(end) for t in tracks)
    with open(os.path.join(OUT, name), "wb") as f:
        f.write(header + body)
    print("music: %s  %.1f s" % (name, beats * 60 / bpm))


def music():
    # General MIDI programs used below.
    FLUTE, HARP, STRINGS, CLARINET, OBOE, PIZZ, ORGAN, CHOIR, CELLO = 73, 46, 48, 71, 68, 45, 19, 52, 42
    BRASS, TIMPANI, TRUMPET, HORN, BASSOON, GLOCK, PAD, BELLS = 61, 47, 56, 60, 70, 9, 89, 14

    # Village: a lilting tune in G major, 3/4 feel written in 6 quarter bars.
    mel = Track(0, FLUTE, 100, 70, "Flute")
    harp = Track(1, HARP, 85, 50, "Harp")
    strings = Track(2, STRINGS, 60, 64, "Strings")
    tune = ("G4:1 B4:0.5 C5:0.5 D5:1 B4:1 G4:1 A4:1 B4:1.5 A4:0.5 G4:1 E4:2 D4:1 "
            "G4:1 B4:0.5 C5:0.5 D5:1 E5:1 D5:1 B4:1 C5:1 A4:1 F#4:1 G4:3 ")
    t = mel.seq(0, tune + tune.replace("D5:1 E5:1 D5:1", "D5:1 G5:1 F#5:1"), 96)
    mel.seq(t, "[G4,B4,D5]:3", 80)
    chords = ["G3", "C3", "G3", "D3", "G3", "C3", "D3", "G3"]
    shapes = {"G3": "G3 B3 D4", "C3": "C3 G3 E4", "D3": "D3 A3 F#4"}
    b = 0
    for _ in range(1):
        for ch in chords:
            for k, p in enumerate(shapes[ch].split()):
                harp.note(b + k, 1, p, 70)
            for k, p in enumerate(shapes[ch].split()):
                harp.note(b + 3 + k, 1, p, 60)
            strings.note(b, 6, ch, 55)
            b += 6
    harp.seq(b, "[G2,G3,B3,D4]:3", 70)
    strings.note(b, 3, "G3", 50)
    write_midi("village.mid", 132, [mel, harp, strings], b + 3.5)

    # Forest: mysterious, D dorian, clarinet over pizzicato.
    cl = Track(0, CLARINET, 95, 58, "Clarinet")
    pz = Track(1, PIZZ, 80, 80, "Pizzicato")
    pad = Track(2, PAD, 55, 64, "Pad")
    line = "D4:1.5 F4:0.5 A4:1 G4:1 F4:1.5 E4:0.5 D4:2 C4:1 D4:1 E4:1 F4:1 G4:3 r:1 "
    line2 = "A4:1.5 C5:0.5 B4:1 A4:1 G4:1.5 F4:0.5 E4:2 F4:1 E4:1 D4:1 C#4:1 D4:3 r:1 "
    t = cl.seq(0, line + line2, 88)
    b = 0
    for root in ["D3", "C3", "Bb2", "A2"] * 2:
        n = midi_note(root)
        for k in range(4):
            pz.note(b + k, 0.5, n + [0, 7, 12, 7][k], 70)
        pad.note(b, 4, n + 12, 45)
        pad.note(b, 4, n + 19, 40)
        b += 4
    pad.seq(b, "[D3,A3,D4]:4", 45)
    write_midi("forest.mid", 100, [cl, pz, pad], b + 4.5)

    # Tower: slow organ chorale with choir.
    org = Track(0, ORGAN, 90, 64, "Organ")
    ch = Track(1, CHOIR, 70, 64, "Choir")
    prog = [("A3", "C4", "E4", "A2"), ("F3", "A3", "C4", "F2"), ("G3", "B3", "D4", "G2"), ("E3", "G#3", "B3", "E2"),
            ("A3", "C4", "E4", "A2"), ("D3", "F3", "A3", "D2"), ("E3", "G#3", "B3", "E2"), ("A3", "C4", "E4", "A2")]
    b = 0
    for a1, a2, a3, bass in prog:
        for p in (a1, a2, a3, bass):
            org.note(b, 4, p, 70)
        b += 4
    ch.seq(0, "E5:4 F5:2 E5:2 D5:4 B4:4 C5:4 D5:2 C5:2 B4:4 A4:4", 70)
    write_midi("tower.mid", 72, [org, ch], b + 1)

    # Cave: low, slow cello drones with drips on the glockenspiel.
    cello = Track(0, CELLO, 90, 50, "Cello")
    glock = Track(1, GLOCK, 60, 90, "Drips")
    padc = Track(2, PAD, 60, 64, "Pad")
    cello.seq(0, "E2:4 F2:4 E2:4 D#2:4 E2:4 G2:4 F#2:4 E2:4", 85)
    padc.seq(0, "[E3,B3]:8 [C3,G3]:8 [E3,B3]:8 [D#3,A3]:7", 50)
    rnd = random.Random(21)
    for k in range(16):
        glock.note(k * 2 + rnd.choice([0, 0.5, 1]), 0.5, rnd.choice(["E6", "B5", "G6", "F#6", "D#6"]), 50)
    write_midi("cave.mid", 80, [cello, glock, padc], 32.5)

    # Battle: driving 4/4 in C minor, strings ostinato, brass, drums.
    ost = Track(0, STRINGS, 95, 50, "Strings")
    br = Track(1, BRASS, 100, 78, "Brass")
    bass = Track(2, CELLO, 95, 64, "Low strings")
    drums = Track(9, None, 110, 64, "Drums")
    b = 0
    for root in ["C4", "C4", "Ab3", "G3"] * 4:
        n = midi_note(root)
        for k in range(8):
            ost.note(b + k * 0.5, 0.5, n + [0, 3, 7, 3, 0, 3, 8 if n % 12 == 8 else 7, 3][k], 80)
        bass.note(b, 2, n - 24, 90)
        bass.note(b + 2, 2, n - 12, 80)
        for k in range(8):
            drums.note(b + k * 0.5, 0.25, 42, 60)  # closed hi-hat
        drums.note(b, 0.5, 36, 110)
        drums.note(b + 1.5, 0.5, 36, 90)
        drums.note(b + 1, 0.5, 38, 100)
        drums.note(b + 3, 0.5, 38, 100)
        b += 4
    fan = "C5:1.5 G4:0.5 C5:1 D5:1 Eb5:2 D5:1 C5:1 Ab4:2 Bb4:1 C5:1 G4:4 "
    br.seq(16, fan + fan.replace("G4:4", "B4:2 D5:2"), 100)
    br.seq(b, "[C4,G4,C5]:2", 110)
    ost.seq(b, "[C3,G3,C4]:2", 90)
    drums.note(b, 1, 49, 110)  # crash
    drums.note(b, 1, 36, 110)
    write_midi("battle.mid", 150, [ost, br, bass, drums], b + 2.5)

    # Boss: heavier, slower, timpani and horns in D minor.
    hn = Track(0, HORN, 100, 50, "Horns")
    tim = Track(1, TIMPANI, 110, 70, "Timpani")
    str2 = Track(2, STRINGS, 90, 64, "Strings")
    dr = Track(9, None, 110, 64, "Drums")
    b = 0
    for root in ["D3", "D3", "Bb2", "A2", "D3", "G2", "A2", "A2"]:
        n = midi_note(root)
        for k in range(4):
            tim.note(b + k, 0.5, n - 12 + (7 if k == 3 else 0), 100 if k == 0 else 75)
        for k in range(8):
            str2.note(b + k * 0.5, 0.5, n + 12 + (1 if k % 2 else 0), 75)
        dr.note(b, 0.5, 36, 110)
        dr.note(b + 2, 0.5, 38, 95)
        dr.note(b + 3.5, 0.5, 38, 80)
        b += 4
    hn.seq(0, "D4:2 F4:1 E4:1 D4:2 A3:2 Bb3:2 C4:1 D4:1 A3:4 D4:2 F4:1 G4:1 A4:2 G4:1 F4:1 E4:4 A4:4", 105)
    hn.seq(b, "[D3,A3,D4]:3", 110)
    tim.note(b, 3, "D2", 120)
    dr.note(b, 1, 49, 110)
    write_midi("boss.mid", 112, [hn, tim, str2, dr], b + 3.5)

    # Victory: bright fanfare in D major.
    tr = Track(0, TRUMPET, 105, 64, "Trumpet")
    hs = Track(1, STRINGS, 80, 50, "Strings")
    bl = Track(2, BELLS, 70, 90, "Bells")
    dv = Track(9, None, 100, 64, "Drums")
    tr.seq(0, "D5:0.5 D5:0.5 D5:0.5 F#5:1.5 A5:2 F#5:1 A5:1 D6:4 "
              "B5:1 A5:1 G5:1 F#5:1 E5:1 F#5:1 G5:1 E5:1 D5:1 E5:1 F#5:1 A5:1 D5:4 "
              "D5:0.5 D5:0.5 D5:0.5 F#5:1.5 A5:2 B5:1 C#6:1 D6:4 [A4,D5,F#5]:4", 100)
    b = 0
    D, G, A = ("D4", "F#4", "A4"), ("G3", "B3", "D4"), ("A3", "C#4", "E4")
    for k, ch_ in enumerate([D, D, G, A, D, G, A, D, G, A, D]):
        ln = 2 if k == 10 else 4
        for p in ch_:
            hs.note(b, ln, p, 70)
        bl.note(b, 2, midi_note(ch_[0]) + 24, 60)
        dv.note(b, 0.5, 36, 100)
        if ln == 4:
            dv.note(b + 2, 0.5, 38, 90)
        b += ln
    dv.note(b - 2, 1, 49, 100)
    write_midi("victory.mid", 116, [tr, hs, bl, dv], b + 0.5)

    # Sorrow: a quiet oboe lament in A minor over strings.
    ob = Track(0, OBOE, 90, 64, "Oboe")
    ss = Track(1, STRINGS, 60, 64, "Strings")
    ob.seq(0, "E5:2 D5:1 C5:1 B4:3 A4:1 C5:2 B4:1 A4:1 G#4:4 A4:2 B4:1 C5:1 D5:2 C5:1 B4:1 A4:6", 80)
    ss.seq(0, "[A3,C4,E4]:4 [E3,G#3,B3]:4 [F3,A3,C4]:4 [E3,G#3,B3]:4 [D3,F3,A3]:4 [E3,G#3,B3]:4 [A2,E3,A3]:6", 55)
    write_midi("sorrow.mid", 70, [ob, ss], 30.5)


# =========================================================================
# Sounds
# =========================================================================

def write_wav(path, samples, rate):
    with wave.open(path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(rate)
        w.writeframes(b"".join(struct.pack("<h", max(-32767, min(32767, int(s * 32767)))) for s in samples))


def chime_samples(rate, seconds=1.6):
    """A glassy two-note chime: inharmonic partials with exponential decay."""
    out = []
    notes = [(0.0, 1318.5), (0.18, 1975.5)]  # E6 then B6
    n = int(rate * seconds)
    for i in range(n):
        t = i / rate
        s = 0.0
        for start, f in notes:
            if t >= start:
                u = t - start
                env = math.exp(-u * 3.2) * min(1.0, u * 400)
                s += env * (0.55 * math.sin(2 * math.pi * f * u) + 0.25 * math.sin(2 * math.pi * f * 2.76 * u)
                            * math.exp(-u * 6) + 0.12 * math.sin(2 * math.pi * f * 5.4 * u) * math.exp(-u * 12))
        out.append(s * 0.45 * (1 - i / n) ** 0.3)
    return out


def bell_samples(rate, seconds=3.0):
    """A large, low tower bell: hum, prime, tierce, quint and nominal partials."""
    f0 = 110.0
    partials = [(0.5, 0.35, 0.6), (1.0, 0.5, 0.9), (1.2, 0.35, 1.4), (1.5, 0.2, 1.8), (2.0, 0.3, 2.2),
                (2.5, 0.12, 3.0), (3.0, 0.1, 3.5), (4.07, 0.06, 4.5)]
    out = []
    n = int(rate * seconds)
    for i in range(n):
        t = i / rate
        s = sum(a * math.exp(-t * d) * math.sin(2 * math.pi * f0 * m * t + m) for m, a, d in partials)
        strike = math.exp(-t * 60) * math.sin(2 * math.pi * 2600 * t) * 0.2
        out.append((s * 0.45 + strike) * min(1.0, t * 300) * (1 - i / n) ** 0.5)
    return out


def sounds():
    rate = 22050
    write_wav(os.path.join(OUT, "chime.wav"), chime_samples(rate), rate)
    print("sound: chime.wav")
    with tempfile.TemporaryDirectory() as tmp:
        raw = os.path.join(tmp, "bell.wav")
        write_wav(raw, bell_samples(rate), rate)
        mp3 = os.path.join(OUT, "bell.mp3")
        if shutil.which("lame"):
            subprocess.run(["lame", "--quiet", "-m", "m", "-b", "48", "--resample", "22.05", "--noreplaygain",
                            raw, mp3], check=True)
        else:
            subprocess.run(["ffmpeg", "-v", "error", "-y", "-i", raw, "-ac", "1", "-b:a", "48k", "-map_metadata",
                            "-1", mp3], check=True)
    print("sound: bell.mp3")


# =========================================================================
# Movie
# =========================================================================

def movie():
    from PIL import Image, ImageDraw, ImageFont  # Pillow is needed only here

    fw, fh, fps, seconds = 160, 120, 15, 3.2
    frames = int(fps * seconds)
    rnd = random.Random(31)
    glyphs = [(rnd.uniform(0, fw), rnd.uniform(fh * 0.55, fh), rnd.uniform(0.6, 1.4), rnd.choice("ABCDEFGHKLMNPQRSTW"),
               rnd.uniform(0, 6.28)) for _ in range(45)]
    fnt = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf", 9)
    title = ImageFont.truetype("/usr/share/fonts/truetype/dejavu/DejaVuSerif-Bold.ttf", 13)
    with tempfile.TemporaryDirectory() as tmp:
        for k in range(frames):
            t = k / (frames - 1)
            img = Image.new("RGB", (fw, fh))
            d = ImageDraw.Draw(img, "RGBA")
            # sky brightening from night blue to dawn gold
            for y in range(fh):
                u = y / fh
                top = tuple(int(a + (b - a) * t) for a, b in zip((16, 18, 48), (74, 106, 168)))
                bot = tuple(int(a + (b - a) * t) for a, b in zip((40, 24, 40), (255, 200, 120)))
                d.line([(0, y), (fw, y)], fill=tuple(int(top[i] + (bot[i] - top[i]) * u) for i in range(3)))
            # sun rising
            sy = 110 - 40 * t
            for r in range(30, 0, -3):
                d.ellipse([80 - r, sy - r, 80 + r, sy + r], fill=(255, 240, 180, int(40 * (1 - r / 30) + 10)))
            # open book at the bottom
            d.polygon([(30, 118), (80, 104), (130, 118), (130, 121), (30, 121)], fill=(240, 230, 205))
            d.line([(80, 104), (80, 121)], fill=(150, 130, 100))
            # letters rising from the book in a spiral
            for x0, y0, speed, ch, ph in glyphs:
                p = (t * speed * 1.4 + ph / 6.28) % 1.0
                x = 80 + (x0 - 80) * p + math.sin(ph + p * 9) * 10
                y = 110 - p * 105
                a = int(255 * math.sin(p * math.pi))
                d.text((x, y), ch, font=fnt, fill=(255, 226, 140, a))
            if t > 0.55:
                a = int(255 * min(1.0, (t - 0.55) / 0.3))
                d.text((80, 40), "Quillmere", font=title, fill=(255, 246, 222, a), anchor="mm", stroke_width=1,
                       stroke_fill=(70, 40, 20, a))
            img.save(os.path.join(tmp, "f%03d.png" % k))
        # soundtrack: a rising sparkle of chimes over a soft bell
        rate = 22050
        n = int(rate * seconds)
        chime = chime_samples(rate, 1.2)
        audio = [0.0] * n
        for j, start in enumerate([0.1, 0.7, 1.3, 1.9]):
            off = int(start * rate)
            for i, s in enumerate(chime):
                if off + i < n:
                    audio[off + i] += s * (0.5 + 0.15 * j)
        bell = bell_samples(rate, seconds)
        audio = [max(-1.0, min(1.0, a + b * 0.35)) * min(1.0, (n - i) / (0.3 * rate)) for i, (a, b) in
                 enumerate(zip(audio, bell))]
        wav = os.path.join(tmp, "a.wav")
        write_wav(wav, audio, rate)
        subprocess.run(["ffmpeg", "-v", "error", "-y", "-framerate", str(fps), "-i", os.path.join(tmp, "f%03d.png"),
                        "-i", wav, "-c:v", "mpeg4", "-q:v", "6", "-pix_fmt", "yuv420p", "-vtag", "XVID",
                        "-c:a", "pcm_s16le", "-ar", "22050", "-ac", "1", "-shortest", "-map_metadata", "-1",
                        "-fflags", "+bitexact", "-flags:v", "+bitexact", "-flags:a", "+bitexact",
                        os.path.join(OUT, "dawn.avi")], check=True)
    print("movie: dawn.avi")


def main():
    os.makedirs(OUT, exist_ok=True)
    jobs = {"pictures": pictures, "music": music, "sounds": sounds, "movie": movie}
    wanted = sys.argv[1:] or list(jobs)
    for name in wanted:
        if name not in jobs:
            sys.exit("unknown part %r (choose from %s)" % (name, ", ".join(jobs)))
        jobs[name]()


if __name__ == "__main__":
    main()
