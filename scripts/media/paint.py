"""Small procedural painting kit shared by make_media.py and make_art.py.

Pictures are drawn on a canvas twice the final size and scaled down at the end,
which smooths the edges of the flat shapes. All randomness comes from seeded
generators, so re-running the scripts gives the same pictures.

Needs Pillow (Debian package python3-pil); only used to regenerate artwork.
"""

import math
import random

from PIL import Image, ImageDraw, ImageFilter, ImageFont

SS = 2  # supersampling factor

FONT_DIR = "/usr/share/fonts/truetype/dejavu/"


def font(size, bold=False, serif=True, italic=False):
    name = "DejaVuSerif" if serif else "DejaVuSans"
    style = ""
    if bold and italic:
        style = "-BoldItalic" if serif else "-BoldOblique"
    elif bold:
        style = "-Bold"
    elif italic:
        style = "-Italic" if serif else "-Oblique"
    return ImageFont.truetype(FONT_DIR + name + style + ".ttf", int(size * SS))


def rgb(h):
    h = h.lstrip("#")
    return tuple(int(h[i:i + 2], 16) for i in (0, 2, 4))


def mix(a, b, t):
    a, b = (rgb(a) if isinstance(a, str) else a), (rgb(b) if isinstance(b, str) else b)
    return tuple(int(round(a[i] + (b[i] - a[i]) * t)) for i in range(3))


class Canvas:
    """A picture of w x h final pixels; every coordinate is in final pixels."""

    def __init__(self, w, h, bg="#000000", seed=1):
        self.w, self.h = w, h
        fill = rgb(bg) + (255,) if isinstance(bg, str) else tuple(bg)
        self.opaque = len(fill) == 3 or fill[3] == 255
        self.img = Image.new("RGBA", (w * SS, h * SS), fill)
        self.rnd = random.Random(seed)

    # --- coordinates -------------------------------------------------------
    @staticmethod
    def s(v):
        return int(round(v * SS))

    def pts(self, points):
        return [(self.s(x), self.s(y)) for x, y in points]

    def box(self, x0, y0, x1, y1):
        return [self.s(x0), self.s(y0), self.s(x1), self.s(y1)]

    # --- layers --------------------------------------------------------------
    def layer(self):
        return Image.new("RGBA", self.img.size, (0, 0, 0, 0))

    def compose(self, layer, blur=0):
        if blur:
            layer = layer.filter(ImageFilter.GaussianBlur(blur * SS))
        self.img = Image.alpha_composite(self.img, layer)

    def draw(self):
        return ImageDraw.Draw(self.img, "RGBA")

    # --- fills -----------------------------------------------------------------
    def vgradient(self, stops, box=None, mask=None):
        """Vertical gradient through colour stops [(t, colour), ...] over box."""
        x0, y0, x1, y1 = box or (0, 0, self.w, self.h)
        H = max(1, self.s(y1) - self.s(y0))
        col = Image.new("RGBA", (1, H))
        for y in range(H):
            t = y / max(1, H - 1)
            for (ta, ca), (tb, cb) in zip(stops, stops[1:]):
                if ta <= t <= tb:
                    c = mix(ca, cb, (t - ta) / max(1e-9, tb - ta))
                    break
            else:
                c = rgb(stops[-1][1]) if isinstance(stops[-1][1], str) else stops[-1][1]
            col.putpixel((0, y), c + (255,))
        grad = col.resize((max(1, self.s(x1) - self.s(x0)), H))
        full = self.layer()
        full.paste(grad, (self.s(x0), self.s(y0)))
        if mask is not None:
            full.putalpha(Image.composite(full.getchannel("A"), Image.new("L", full.size, 0), mask))
        self.img = Image.alpha_composite(self.img, full)

    def poly_mask(self, points):
        m = Image.new("L", self.img.size, 0)
        ImageDraw.Draw(m).polygon(self.pts(points), fill=255)
        return m

    def ellipse_mask(self, x0, y0, x1, y1):
        m = Image.new("L", self.img.size, 0)
        ImageDraw.Draw(m).ellipse(self.box(x0, y0, x1, y1), fill=255)
        return m

    def glow(self, cx, cy, r, colour, alpha=180):
        layer = self.layer()
        d = ImageDraw.Draw(layer)
        c = rgb(colour) if isinstance(colour, str) else colour
        steps = 24
        for i in range(steps, 0, -1):
            rr = r * i / steps
            a = int(alpha * (1 - i / steps) ** 1.6)
            d.ellipse(self.box(cx - rr, cy - rr, cx + rr, cy + rr), fill=c + (a,))
        self.compose(layer, blur=r / 8)

    def poly(self, points, fill, outline=None, width=1):
        d = self.draw()
        d.polygon(self.pts(points), fill=self.c(fill), outline=self.c(outline) if outline else None)
        if outline and width > 1:
            pp = self.pts(points)
            d.line(pp + [pp[0]], fill=self.c(outline), width=self.s(width), joint="curve")

    def rect(self, x0, y0, x1, y1, fill, outline=None, width=1, radius=0):
        d = self.draw()
        if radius:
            d.rounded_rectangle(self.box(x0, y0, x1, y1), radius=self.s(radius), fill=self.c(fill),
                                outline=self.c(outline) if outline else None, width=self.s(width))
        else:
            d.rectangle(self.box(x0, y0, x1, y1), fill=self.c(fill),
                        outline=self.c(outline) if outline else None, width=self.s(width))

    def ellipse(self, x0, y0, x1, y1, fill=None, outline=None, width=1):
        self.draw().ellipse(self.box(x0, y0, x1, y1), fill=self.c(fill) if fill else None,
                            outline=self.c(outline) if outline else None, width=self.s(width))

    def line(self, points, fill, width=1):
        self.draw().line(self.pts(points), fill=self.c(fill), width=max(1, self.s(width)), joint="curve")

    def arc(self, x0, y0, x1, y1, start, end, fill, width=1):
        self.draw().arc(self.box(x0, y0, x1, y1), start, end, fill=self.c(fill), width=self.s(width))

    def text(self, x, y, s, size, fill, bold=False, serif=True, italic=False, anchor="mm", shadow=None, stroke=0,
             stroke_fill=None):
        d = self.draw()
        f = font(size, bold, serif, italic)
        if shadow:
            d.text((self.s(x + 0.8), self.s(y + 0.8)), s, font=f, fill=self.c(shadow), anchor=anchor)
        d.text((self.s(x), self.s(y)), s, font=f, fill=self.c(fill), anchor=anchor,
               stroke_width=self.s(stroke) if stroke else 0, stroke_fill=self.c(stroke_fill) if stroke_fill else None)

    @staticmethod
    def c(col):
        if col is None:
            return None
        if isinstance(col, str):
            return rgb(col) + (255,)
        if len(col) == 3:
            return tuple(col) + (255,)
        return tuple(col)

    # --- finishing -------------------------------------------------------------
    def grain(self, amount=10, seed=7):
        """Fine paper grain: per-pixel noise blended softly over the picture."""
        rnd = random.Random(seed)
        noise = Image.new("L", (self.w, self.h))
        noise.putdata([max(0, min(255, int(128 + rnd.gauss(0, amount * 0.6)))) for _ in range(self.w * self.h)])
        noise = noise.resize(self.img.size, Image.NEAREST).convert("RGB")
        from PIL import ImageChops
        base = self.img.convert("RGB")
        lit = ImageChops.soft_light(base, noise)
        self.img = Image.merge("RGBA", (*lit.split(), self.img.getchannel("A")))

    def vignette(self, strength=0.55):
        m = Image.new("L", (self.w, self.h), 0)
        px = m.load()
        cx, cy = self.w / 2, self.h / 2
        for y in range(self.h):
            for x in range(self.w):
                dx, dy = (x - cx) / cx, (y - cy) / cy
                d = min(1.0, math.sqrt(dx * dx + dy * dy) / 1.35)
                px[x, y] = int(255 * strength * d ** 2.2)
        m = m.resize(self.img.size, Image.BICUBIC)
        dark = Image.new("RGBA", self.img.size, (20, 10, 5, 255))
        dark.putalpha(m)
        self.img = Image.alpha_composite(self.img, dark)

    def result(self, size=None):
        """The finished picture: RGB when the canvas began opaque, else RGBA."""
        img = self.img
        if self.opaque:
            # Blended strokes can leave the alpha below 255; an opaque picture
            # must stay opaque.
            base = Image.new("RGBA", img.size, (0, 0, 0, 255))
            img = Image.alpha_composite(base, img).convert("RGB")
        return img.resize(size or (self.w, self.h), Image.LANCZOS)


def save_png(img, path, colours=None):
    """Saves img; with colours, as a palette image (much smaller files)."""
    if colours:
        if img.mode == "RGBA" and img.getextrema()[3][0] < 255:
            img = img.quantize(colors=colours, method=Image.FASTOCTREE, dither=Image.FLOYDSTEINBERG)
        else:
            rgb_img = img.convert("RGB")
            palette = rgb_img.quantize(colors=colours, method=Image.MEDIANCUT, kmeans=3)
            img = rgb_img.quantize(palette=palette, dither=Image.FLOYDSTEINBERG)
    img.save(path, optimize=True)
