#!/usr/bin/env python3
"""Makes the game screen's artwork under engine/ui/art/ and its art.qrc.

    make_art.py

The pictures are looked up by the forms as ":/art/<name>.png":

    choose            Picture1, the picture "Choose" button (a wax seal with an arrow)
    inventory         Picture3, the satchel that opens the inventory
    menu_background   Picture2, the menu panel (a writing desk under lamplight)
    load_quest        Image1      load_game   Image2      menu     Image4
    resume            Image5      save        Image6      about    Image7
    create            Image8      credits     Image9      quit     Image10
    book              Image11, the "New Game" book
    credits_roll      FrmCredits Image1, the scrolling credits
    no_picture        the empty page-picture frame
    app_icon          the application icon (64x64)

The icons carry no words: the buttons show their caption and hover text
themselves. All drawings are our own. Needs python3 and Pillow (Debian
python3-pil) and the DejaVu fonts (fonts-dejavu-core, fonts-dejavu-extra), and
only to regenerate the artwork.
"""

import math
import os
import random
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
ROOT = os.path.normpath(os.path.join(HERE, "..", ".."))
OUT = os.path.join(ROOT, "engine", "ui", "art")
sys.dont_write_bytecode = True  # keep the source tree free of __pycache__
sys.path.insert(0, HERE)

from paint import Canvas, mix, rgb, save_png  # noqa: E402

CREAM = "#f6e2a8"
GOLD_LIGHT = "#fbe6a2"
GOLD = "#d8b05a"
GOLD_DARK = "#7a5418"
INK = "#2a170a"
LEATHER = "#6d3b22"
LEATHER_DARK = "#2c160c"
WAX = "#a8242a"
WAX_DARK = "#5a0e14"

TRANSPARENT = (0, 0, 0, 0)


def save(img, name, colours=None):
    save_png(img, os.path.join(OUT, name + ".png"), colours)
    print("art:", name)


# ---------------------------------------------------------------------------
# Medallion icons: drawn in a 100x100 box.
# ---------------------------------------------------------------------------

def medallion(c, face_top=LEATHER, face_bottom=LEATHER_DARK, rim_top=GOLD_LIGHT, rim_bottom=GOLD_DARK):
    c.ellipse(4, 6, 98, 100, (0, 0, 0, 90))  # soft drop shadow
    c.vgradient([(0, rim_top), (0.5, GOLD), (1, rim_bottom)], box=(2, 2, 96, 96), mask=c.ellipse_mask(2, 2, 96, 96))
    c.ellipse(2, 2, 96, 96, outline=INK, width=1.6)
    c.vgradient([(0, face_top), (1, face_bottom)], box=(11, 11, 87, 87), mask=c.ellipse_mask(11, 11, 87, 87))
    c.ellipse(11, 11, 87, 87, outline=(40, 22, 8, 255), width=1.4)
    # a row of tiny studs on the rim
    for k in range(24):
        a = k * math.pi / 12
        x, y = 49 + 42.5 * math.cos(a), 49 + 42.5 * math.sin(a)
        c.ellipse(x - 1.1, y - 1.1, x + 1.1, y + 1.1, (255, 244, 200, 170))
    c.arc(16, 14, 82, 80, 200, 320, (255, 230, 170, 70), 2.5)  # sheen on the face


def glyph_line(c, pts, width=6.0, colour=CREAM):
    c.line([(x + 1.2, y + 1.6) for x, y in pts], (0, 0, 0, 130), width)
    c.line(pts, colour, width)


def glyph_poly(c, pts, colour=CREAM, outline=None):
    c.poly([(x + 1.2, y + 1.6) for x, y in pts], (0, 0, 0, 130))
    c.poly(pts, colour, outline=outline)


def icon(name, draw, size=96, **kw):
    c = Canvas(100, 100, bg=TRANSPARENT, seed=hash(name) & 0xFFFF)
    medallion(c, **kw)
    draw(c)
    save(c.result((size, size)), name)


def g_load_quest(c):
    # An unrolled scroll.
    glyph_poly(c, [(34, 30), (66, 30), (66, 70), (34, 70)])
    c.ellipse(30, 25, 70, 35, CREAM, outline=INK, width=1)
    c.ellipse(30, 65, 70, 75, CREAM, outline=INK, width=1)
    c.ellipse(28, 26, 36, 34, "#d8bf86", outline=INK, width=1)
    c.ellipse(64, 66, 72, 74, "#d8bf86", outline=INK, width=1)
    for k, ln in enumerate([24, 20, 24, 14]):
        c.line([(38, 41 + k * 6.5), (38 + ln, 41 + k * 6.5)], "#7a5a30", 2)


def g_load_game(c):
    # A closed book with a ribbon bookmark hanging from it.
    glyph_poly(c, [(30, 28), (66, 24), (70, 66), (34, 72)])
    c.poly([(30, 28), (36, 27), (40, 71), (34, 72)], "#d8bf86")
    c.poly([(44, 36), (62, 34), (63, 44), (45, 46)], "#c89a4a")
    c.poly([(56, 68), (62, 67), (63, 82), (59.5, 78), (57, 83)], "#c0343a", outline="#5a0e14")


def g_menu(c):
    for y in (35, 49, 63):
        glyph_line(c, [(31, y), (67, y)], 8)


def g_resume(c):
    glyph_poly(c, [(38, 28), (72, 49), (38, 70)])
    c.poly([(38, 28), (72, 49), (38, 70)], None, outline=(90, 60, 20, 255))


def g_save(c):
    # A letter closed with a wax seal.
    glyph_poly(c, [(24, 32), (74, 32), (74, 68), (24, 68)])
    c.line([(24, 32), (49, 52), (74, 32)], "#8a6a3a", 2)
    c.ellipse(38, 42, 60, 64, WAX, outline=WAX_DARK, width=1.2)
    c.ellipse(43, 47, 55, 59, None, outline="#e07070", width=1)
    c.poly([(44, 62), (40, 74), (47, 69)], WAX)
    c.poly([(54, 62), (58, 74), (51, 69)], WAX)


def g_about(c):
    c.text(50.8, 51.6, "i", 50, (0, 0, 0, 130), bold=True)
    c.text(49.5, 50, "i", 50, CREAM, bold=True)


def g_create(c):
    # A quill with its barbs, writing a line.
    shaft = [(30, 74), (70, 24)]
    for k in range(16):
        t = 0.35 + k * 0.04
        x, y = 30 + 40 * t, 74 - 50 * t
        ln = 13 * math.sin((t - 0.3) / 0.72 * math.pi)
        c.line([(x, y), (x - ln * 0.2 - 2, y - ln)], CREAM, 2.4)
        c.line([(x, y), (x + ln, y + ln * 0.2 - 2)], "#e8cc88", 2.4)
    glyph_line(c, shaft, 3)
    c.poly([(28, 77), (33, 69), (31, 75)], "#3a2a1a")
    glyph_line(c, [(24, 80), (46, 80)], 2.2, "#e8cc88")


def g_credits(c):
    # A laurel wreath around a star.
    for side in (-1, 1):
        for k in range(7):
            a = math.radians(110 + k * 22) if side < 0 else math.radians(70 - k * 22)
            x, y = 49 + 27 * math.cos(a), 52 + 27 * math.sin(a)
            rot = a + side * 0.9
            pts = [(x + 7 * math.cos(rot + d) * (1 if d == 0 else 0.4), y + 7 * math.sin(rot + d) * (1 if d == 0 else 0.4))
                   for d in (0, 1.57, 3.14, 4.71)]
            c.poly(pts, "#e8cc88")
    star = []
    for k in range(10):
        a = -math.pi / 2 + k * math.pi / 5
        r = 17 if k % 2 == 0 else 7
        star.append((49 + r * math.cos(a), 50 + r * math.sin(a)))
    glyph_poly(c, star)


def g_quit(c):
    # An open arched door and an arrow leaving through it.
    door = [(28, 74), (28, 42)] + [(41 + 13 * math.cos(math.radians(a)), 42 - 13 * math.sin(math.radians(a)))
                                   for a in range(180, -1, -15)] + [(54, 74)]
    glyph_poly(c, door, "#2a170a", outline=None)
    c.line(door, CREAM, 4)
    c.poly([(54, 74), (54, 29), (44, 36), (44, 78)], "#b08850", outline=INK)
    glyph_line(c, [(52, 56), (76, 56)], 5)
    glyph_poly(c, [(70, 46), (82, 56), (70, 66)])


def g_choose(c):
    glyph_line(c, [(26, 50), (64, 50)], 9, GOLD_LIGHT)
    glyph_poly(c, [(56, 30), (78, 50), (56, 70)], GOLD_LIGHT)


# ---------------------------------------------------------------------------
# Other pictures
# ---------------------------------------------------------------------------

def wax_seal_button():
    c = Canvas(100, 100, bg=TRANSPARENT, seed=5)
    c.ellipse(6, 8, 98, 100, (0, 0, 0, 100))
    # an irregular blob of wax
    rnd = random.Random(3)
    pts = []
    for k in range(36):
        a = k * math.pi / 18
        r = 45 + rnd.uniform(-2.5, 2.5)
        pts.append((50 + r * math.cos(a), 49 + r * math.sin(a)))
    c.vgradient([(0, "#d0424a"), (1, WAX_DARK)], box=(2, 2, 98, 98), mask=c.poly_mask(pts))
    c.poly(pts, None, outline="#3a060a")
    c.ellipse(17, 16, 83, 82, None, outline="#6a141a", width=3)
    c.ellipse(19, 18, 81, 80, None, outline="#e06a70", width=1)
    c.arc(20, 18, 80, 78, 200, 300, (255, 200, 200, 110), 3)
    g_choose(c)
    save(c.result((96, 96)), "choose")


def satchel():
    c = Canvas(100, 100, bg=TRANSPARENT, seed=6)
    c.ellipse(12, 84, 92, 98, (0, 0, 0, 90))
    # strap
    c.arc(24, 6, 76, 62, 180, 360, "#4a2812", 6)
    c.arc(24, 6, 76, 62, 185, 355, "#8a5a30", 2)
    # body
    c.vgradient([(0, "#9a5e32"), (1, "#4a2410")], box=(12, 34, 88, 92), mask=c.poly_mask(
        [(14, 40), (86, 40), (90, 84), (84, 92), (16, 92), (10, 84)]))
    c.poly([(14, 40), (86, 40), (90, 84), (84, 92), (16, 92), (10, 84)], None, outline="#2a1206")
    # stitching
    for x in range(18, 84, 5):
        c.line([(x, 88), (x + 2.5, 88)], "#e8c890", 1)
    # flap
    c.vgradient([(0, "#b06e3a"), (1, "#6a3418")], box=(12, 32, 88, 70), mask=c.poly_mask(
        [(12, 38), (88, 38), (84, 62), (56, 70), (44, 70), (16, 62)]))
    c.poly([(12, 38), (88, 38), (84, 62), (56, 70), (44, 70), (16, 62)], None, outline="#2a1206")
    for x in range(18, 84, 5):
        c.line([(x, 41), (x + 2.5, 41)], "#e8c890", 1)
    # buckle
    c.rect(42, 60, 58, 76, None, outline=GOLD, width=3)
    c.rect(42, 60, 58, 76, None, outline=GOLD_DARK, width=1)
    c.line([(50, 60), (50, 70)], GOLD_LIGHT, 2)
    save(c.result((96, 96)), "inventory")


def book():
    W, H = 260, 170
    c = Canvas(W, H, bg=TRANSPARENT, seed=7)
    c.ellipse(20, 140, 240, 168, (0, 0, 0, 90))
    c.glow(130, 80, 120, "#ffe6a0", 120)
    # cover
    c.poly([(14, 30), (130, 40), (246, 30), (252, 146), (130, 156), (8, 146)], "#6e1e18", outline="#2a0c06")
    c.poly([(10, 142), (130, 152), (250, 142), (252, 146), (130, 157), (8, 146)], "#4a120c")
    # page stacks
    for k in range(4):
        off = 4 - k
        c.poly([(20 + off, 30 + off), (130, 40 + off), (130, 148 - off), (18 + off, 138 - off)], mix("#d8c49a", "#f8eed6", k / 3),
               outline="#9a8460")
        c.poly([(240 - off, 30 + off), (130, 40 + off), (130, 148 - off), (242 - off, 138 - off)],
               mix("#d8c49a", "#f8eed6", k / 3), outline="#9a8460")
    # left page: illuminated initial and lines
    c.rect(34, 46, 58, 72, "#8a1e1a", outline=GOLD_DARK, width=1.2)
    c.text(46, 59.5, "F", 19, GOLD_LIGHT, bold=True)
    for k in range(9):
        y = 50 + k * 9
        x0 = 64 if k < 3 else 32
        c.line([(x0, y + (130 - x0) * 0.03), (118, y + 2.5)], "#8a7452", 1.2)
    # right page: a tiny map with a dotted road and a tower
    c.line([(150, 120), (170, 100), (190, 110), (210, 80), (226, 62)], "#8a5a2a", 1.4)
    for k in range(10):
        x, y = 150 + k * 8, 120 - k * 6
        c.ellipse(x - 0.8, y - 0.8, x + 0.8, y + 0.8, "#5a3a1a")
    c.rect(222, 50, 230, 66, "#7a6a5a", outline="#3a2a1a")
    c.poly([(220, 50), (226, 42), (232, 50)], "#8a2a20")
    for x, y in [(160, 70), (172, 64), (182, 72)]:
        c.poly([(x - 6, y + 8), (x, y - 4), (x + 6, y + 8)], "#6a8a4a", outline="#3a5a2a")
    c.text(196, 128, "~ ~ ~", 8, "#5a7aa0")
    # gutter shadow and ribbon
    c.line([(130, 40), (130, 150)], (90, 60, 30, 160), 3)
    c.poly([(134, 142), (142, 142), (144, 168), (138, 162), (132, 168)], "#c0343a", outline="#5a0e14")
    # sparkles rising from the pages
    rnd = random.Random(8)
    for _ in range(16):
        x, y, r = rnd.uniform(40, 220), rnd.uniform(6, 40), rnd.uniform(0.8, 2.0)
        c.line([(x - r * 2.5, y), (x + r * 2.5, y)], (255, 240, 190, 230), 0.7)
        c.line([(x, y - r * 2.5), (x, y + r * 2.5)], (255, 240, 190, 230), 0.7)
    save(c.result(), "book")


def menu_background():
    # The panel shows this picture cropped to cover it, at shapes from wide to
    # nearly square, with its title at the top, the book in the middle and a
    # row of buttons across the lower fifth: the props keep to the corners and
    # the left and right edges, clear of all three.
    W, H = 1024, 720
    c = Canvas(W, H, seed=9)
    # walnut desk with a long, soft grain
    c.vgradient([(0, "#2a160a"), (0.5, "#4a2a14"), (1, "#26140a")])
    rnd = random.Random(10)
    for k in range(46):
        y0 = rnd.uniform(-20, H + 20)
        wl, amp, ph = rnd.uniform(180, 420), rnd.uniform(3, 9), rnd.uniform(0, 6.3)
        pts = [(x, y0 + amp * math.sin(x / wl + ph)) for x in range(-20, W + 40, 24)]
        c.line(pts, (18, 8, 2, rnd.randint(18, 40)), rnd.uniform(0.8, 1.6))
    for k in range(24):
        y0 = rnd.uniform(0, H)
        wl, ph = rnd.uniform(200, 400), rnd.uniform(0, 6.3)
        pts = [(x, y0 + 5 * math.sin(x / wl + ph)) for x in range(-20, W + 40, 24)]
        c.line(pts, (170, 110, 60, 26), 1.0)
    # loose pages at the upper left
    for ang, (x, y) in [(-0.25, (60, 60)), (0.16, (120, 120))]:
        ca, sa = math.cos(ang), math.sin(ang)
        pts = [(x + px * ca - py * sa, y + px * sa + py * ca) for px, py in [(-70, -50), (70, -50), (70, 50), (-70, 50)]]
        c.poly(pts, "#e8d8b0", outline="#8a7450")
        for k in range(7):
            py = -35 + k * 11
            a = (x + (-55) * ca - py * sa, y + (-55) * sa + py * ca)
            b = (x + 55 * ca - py * sa, y + 55 * sa + py * ca)
            c.line([a, b], (120, 90, 60, 140), 1)
    # a map along the left edge, under the pages
    mp = [(-30, 250), (150, 236), (176, 520), (-30, 540)]
    c.vgradient([(0, "#ecdcb0"), (1, "#c8b080")], box=(-30, 236, 176, 540), mask=c.poly_mask(mp))
    c.poly(mp, None, outline="#6a5030", width=1.5)
    c.line([(10, 480), (40, 430), (80, 440), (110, 360), (140, 300)], "#8a4a2a", 2)
    for x, y in [(30, 330), (52, 322), (74, 334), (40, 400)]:
        c.poly([(x - 9, y + 10), (x, y - 6), (x + 9, y + 10)], "#6a8a4a", outline="#3a5a2a")
    c.rect(136, 278, 146, 300, "#8a7a6a", outline="#3a2a1a")
    c.poly([(134, 278), (141, 268), (148, 278)], "#8a2a20")
    c.text(78, 505, "Inkwood", 13, "#6a4a2a", italic=True)
    # a brass key beside the map
    c.ellipse(40, 570, 64, 594, None, outline="#c89a3a", width=4)
    c.line([(64, 582), (110, 578)], "#c89a3a", 4)
    c.line([(100, 578), (100, 590)], "#c89a3a", 4)
    # candle at the upper right, a few coins at its foot
    c.glow(940, 130, 260, "#ffc870", 170)
    c.ellipse(900, 240, 980, 262, "#8a6a3a", outline="#3a2a1a")
    c.rect(925, 150, 955, 250, "#f0e4c8", outline="#9a8a6a")
    c.ellipse(925, 144, 955, 156, "#fff6e0")
    c.ellipse(932, 110, 948, 144, "#fff0a0")
    c.ellipse(936, 124, 944, 142, "#ffffff")
    for x, y in [(870, 262), (884, 272), (858, 276)]:
        c.ellipse(x - 12, y - 7, x + 12, y + 7, "#d8b05a", outline="#7a5418")
    # inkwell and quill along the right edge
    c.ellipse(900, 500, 1000, 530, (0, 0, 0, 110))
    c.vgradient([(0, "#3a3a52"), (1, "#101018")], box=(905, 440, 995, 520), mask=c.poly_mask(
        [(910, 515), (912, 465), (930, 452), (970, 452), (988, 465), (990, 515)]))
    c.ellipse(930, 444, 970, 458, "#0a0a10", outline="#5a5a72")
    for k in range(18):
        t = k / 18
        x, y = 950 + t * 50, 450 - t * 150
        ln = 22 * math.sin(t * math.pi) + 4
        c.line([(x, y), (x - ln, y - ln * 0.15)], "#f4ecd8", 3)
        c.line([(x, y), (x + ln * 0.4, y + ln * 0.6)], "#e0d4b8", 3)
    c.line([(950, 452), (1000, 300)], "#fff8e8", 3)
    # lamplight over the middle, where the book and buttons sit
    c.glow(512, 330, 440, "#ffd890", 50)
    c.vignette(0.55)
    save(c.result(), "menu_background", 256)


def credits_roll():
    W, H = 400, 1400
    c = Canvas(W, H, seed=11)
    c.vgradient([(0, "#e6d2a2"), (0.5, "#f2e4be"), (1, "#e0c896")])
    rnd = random.Random(12)
    for _ in range(40):  # faint foxing along the edges, clear of the text
        x, y, r = rnd.choice([rnd.uniform(26, 60), rnd.uniform(W - 60, W - 26)]), rnd.uniform(30, H - 30), rnd.uniform(3, 10)
        c.glow(x, y, r, (150, 110, 60), 40)
    # ornamental border
    c.rect(14, 14, W - 14, H - 14, None, outline="#7a5418", width=3)
    c.rect(22, 22, W - 22, H - 22, None, outline="#b08a40", width=1)
    for x, y in [(14, 14), (W - 14, 14), (14, H - 14), (W - 14, H - 14)]:
        c.ellipse(x - 7, y - 7, x + 7, y + 7, GOLD, outline=GOLD_DARK)

    y = 90

    def flourish(y):
        c.line([(110, y), (180, y)], "#7a5418", 1.5)
        c.line([(220, y), (290, y)], "#7a5418", 1.5)
        c.poly([(200, y - 6), (206, y), (200, y + 6), (194, y)], "#a8242a")

    def heading(text, y):
        c.text(200, y, text, 17, "#7a1e18", bold=True)
        return y + 36

    def line(text, y, size=14, colour="#2a170a", italic=False, bold=False):
        c.text(200, y, text, size, colour, italic=italic, bold=bold)
        return y + size + 10

    c.text(200, y, "Fablecraft 2004", 30, "#5a1410", bold=True, shadow=(200, 170, 110, 255))
    y += 46
    y = line("Credits", y, 18, "#7a5418", italic=True)
    flourish(y + 10)
    y += 60
    y = heading("Made by", y)
    y = line("The Fablecraft team", y, 16)
    y += 40
    y = heading("The default adventure", y)
    y = line("The Vellum Adventure:", y, 15, italic=True)
    y = line("The Unwritten Morning", y, 15, italic=True)
    y = line("story, pictures, music and sounds", y, 13)
    y = line("by the Fablecraft team", y, 13)
    y += 30
    flourish(y)
    y += 50
    y = heading("Built with", y)
    for name, licence in [("Qt 6", "LGPL-3.0"), ("FluidSynth", "LGPL-2.1"), ("TimGM6mb SoundFont", "GPL-2"),
                          ("GStreamer", "LGPL-2.1"), ("GoogleTest", "BSD-3-Clause"),
                          ("Google Benchmark", "Apache-2.0")]:
        y = line(name, y, 16, bold=True)
        y = line(licence, y, 13, "#7a5418", italic=True)
        y += 14
    y += 10
    y = heading("Lettering", y)
    y = line("DejaVu fonts", y, 16, bold=True)
    y = line("Bitstream Vera licence", y, 13, "#7a5418", italic=True)
    y += 30
    flourish(y)
    y += 70
    y = line("Every quest is a page", y, 15, italic=True)
    y = line("waiting to be written.", y, 15, italic=True)
    y += 40
    # a small quill-and-inkwell vignette
    c.ellipse(170, y + 40, 230, y + 60, (0, 0, 0, 40))
    c.vgradient([(0, "#3a3a52"), (1, "#101018")], box=(175, y, 225, y + 55), mask=c.poly_mask(
        [(178, y + 52), (180, y + 18), (190, y + 10), (210, y + 10), (220, y + 18), (222, y + 52)]))
    c.line([(200, y + 12), (250, y - 70)], "#5a4a3a", 2)
    for k in range(12):
        t = k / 12
        x, yy = 200 + t * 50, y + 12 - t * 82
        ln = 16 * math.sin(t * math.pi) + 3
        c.line([(x, yy), (x - ln, yy - ln * 0.2)], "#7a6a5a", 1.5)
    y += 110
    y = line("Thank you for playing!", y, 18, "#5a1410", bold=True)
    save(c.result(), "credits_roll", 256)


def no_picture():
    W, H = 320, 240
    c = Canvas(W, H, seed=13)
    c.vgradient([(0, "#efe0ba"), (1, "#dcc696")])
    c.rect(8, 8, W - 8, H - 8, None, outline=(120, 90, 50, 120), width=1)
    # a faint ink sketch: hills, a sun and a tower, as on an empty page
    col = (120, 90, 50, 90)
    c.ellipse(198, 62, 238, 102, None, outline=col, width=2)
    c.line([(30, 180), (90, 120), (140, 160), (190, 110), (290, 180)], col, 2)
    c.rect(110, 100, 126, 150, None, outline=col, width=2)
    c.poly([(106, 100), (118, 84), (130, 100)], None, outline=col)
    c.line([(40, 200), (280, 200)], col, 1.2)
    c.grain(5)
    c.vignette(0.35)
    save(c.result(), "no_picture", 128)


def app_icon(size=64, out=None):
    c = Canvas(100, 100, bg=TRANSPARENT, seed=14)
    medallion(c)
    # an open book with a quill
    c.poly([(20, 36), (49, 42), (49, 74), (20, 68)], CREAM, outline=INK)
    c.poly([(78, 36), (49, 42), (49, 74), (78, 68)], "#efd9a0", outline=INK)
    for k in range(4):
        c.line([(25, 44 + k * 6), (44, 48 + k * 6)], "#8a6a3a", 1.5)
    c.line([(56, 66), (80, 22)], GOLD_LIGHT, 3)
    for k in range(8):
        t = 0.3 + k * 0.08
        x, y = 56 + 24 * t, 66 - 44 * t
        c.line([(x, y), (x + 8 * math.sin(t * 3), y + 1)], GOLD_LIGHT, 2)
    if out is None:
        save(c.result((size, size)), "app_icon")
    else:
        save_png(c.result((size, size)), out)
        print("art:", os.path.relpath(out, ROOT))


# Desktop icons of an installation, drawn from the same picture at a finer
# supersampling so the large sizes stay sharp.
ICON_SIZES = (16, 24, 32, 48, 64, 128, 256)


def desktop_icons():
    import paint
    folder = os.path.join(ROOT, "packaging", "icons")
    os.makedirs(folder, exist_ok=True)
    old = paint.SS
    paint.SS = 6
    try:
        for size in ICON_SIZES:
            app_icon(size, os.path.join(folder, "fablecraft-%d.png" % size))
    finally:
        paint.SS = old


ICONS = {
    "load_quest": g_load_quest,
    "load_game": g_load_game,
    "resume": g_resume,
    "save": g_save,
    "about": g_about,
    "create": g_create,
    "credits": g_credits,
    "quit": g_quit,
}


def write_qrc(names):
    lines = ['<!DOCTYPE RCC><RCC version="1.0">', '<qresource prefix="/art">']
    lines += ['    <file>%s.png</file>' % n for n in sorted(names)]
    lines += ["</qresource>", "</RCC>", ""]
    with open(os.path.join(OUT, "art.qrc"), "w", newline="\n") as f:
        f.write("\n".join(lines))
    print("art: art.qrc")


def main():
    os.makedirs(OUT, exist_ok=True)
    for name, draw in ICONS.items():
        icon(name, draw)
    icon("menu", g_menu, size=64)
    wax_seal_button()
    satchel()
    book()
    menu_background()
    credits_roll()
    no_picture()
    app_icon()
    desktop_icons()
    write_qrc(list(ICONS) + ["menu", "choose", "inventory", "book", "menu_background", "credits_roll", "no_picture",
                             "app_icon"])


if __name__ == "__main__":
    main()
