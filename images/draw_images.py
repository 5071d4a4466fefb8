#!/usr/bin/python3
"""Draws the program's artwork: one PNG per image of the list in images/png.

    /usr/bin/python3 images/draw_images.py [OUTPUT_DIR]

Needs Debian's python3-pil, fonts-open-sans and fonts-wqy-microhei. The output
depends only on this script and those packages, so running it again gives the
same files. Shapes are drawn eight times larger and scaled down (colour
premultiplied, box filter), which gives exact edge coverage; edges placed on
whole pixels stay sharp. Text is rendered at its final size so the font's
hinting applies.
"""

import os
import sys

from PIL import Image, ImageChops, ImageDraw, ImageFont

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from pack_images import IMAGES, LANGUAGES  # noqa: E402

OPEN_SANS = "/usr/share/fonts/truetype/open-sans/OpenSans-{}.ttf"
CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
SS = 8  # supersampling factor for shapes

# The word for decompressing (header pictures) and for extracting (buttons).
UNPACK_WORDS = {
    "en": "Decompress", "ru": "Разархивирование", "es": "Descomprimir",
    "it": "Decomprimere", "kz": "Архивтен ашып шығару", "cn": "解压缩",
    "de": "Dekomprimieren", "ua": "Розархівація", "fr": "Decompresser",
}
BUTTON_WORDS = {
    "en": "Extract", "ru": "Извлечь", "es": "Extraer", "it": "Estrai",
    "kz": "Шығару", "cn": "解压", "de": "Extrahieren", "ua": "Видобути",
    "fr": "Extraire",
}

# Palette. The greens follow the window's bottom band, rgb(129,145,90) at its
# top to rgb(94,110,55) at its bottom.
GRADIENT_TOP = (251, 251, 249)
GRADIENT_BOTTOM = (225, 227, 221)
# The header picture is 59 rows high and the filler 60: both end their
# gradient with the same dark line at row 58, so the line runs on unbroken
# across the band, and the filler adds a soft shade below it.
BAND_LINE = (182, 187, 172)
FILLER_SHADE = (210, 213, 204)
WINDOW_GREY = (240, 240, 240)     # the window's background below the header
INK = (52, 60, 38)                # word mark
INK_SOFT = (98, 110, 72)          # words beside the word mark
GREEN_LIGHT = (176, 194, 122)
GREEN = (129, 145, 90)
GREEN_DARK = (94, 110, 55)
GREEN_OUTLINE = (58, 69, 31)
TAPE = (238, 219, 158)
TAPE_SHADE = (208, 189, 128)


# --- helpers -----------------------------------------------------------------

def font(face, size):
    if face == "cjk":
        return ImageFont.truetype(CJK_FONT, size, index=0)
    return ImageFont.truetype(OPEN_SANS.format(face), size)


def font_for(text, face, size):
    """The Open Sans face, or the CJK font for Chinese text; checks that every
    character has a glyph so no picture ever shows boxes."""
    f = font("cjk" if any(ord(c) >= 0x3000 for c in text) else face, size)
    missing = glyph_pixels(f, "\U0010fffd")
    for c in sorted(set(text)):
        if not c.isspace() and glyph_pixels(f, c) == missing:
            raise SystemExit(f"draw_images: no glyph for {c!r} in {f.getname()}")
    return f


def glyph_pixels(f, c):
    img = Image.new("L", (f.size * 2, f.size * 2), 0)
    ImageDraw.Draw(img).text((0, 0), c, font=f, fill=255)
    return img.tobytes()


def fit_font(text, face, largest, smallest, width):
    """The largest size in [smallest, largest] at which text is at most width
    pixels wide."""
    for size in range(largest, smallest - 1, -1):
        f = font_for(text, face, size)
        if text_width(f, text) <= width:
            return f
    raise SystemExit(f"draw_images: {text!r} does not fit in {width} pixels")


def text_width(f, text):
    left, _, right, _ = f.getbbox(text, anchor="ls")
    return right - left


def cap_height(f):
    return -f.getbbox("H", anchor="ls")[1]


def baseline_for(f, text, centre_y):
    """The baseline that puts the middle of the capitals on centre_y, so words
    of every language share one baseline; Chinese, which has no capitals, is
    centred by its ink."""
    if f.path == CJK_FONT:
        _, top, _, bottom = f.getbbox(text, anchor="ls")
        return round(centre_y - (top + bottom) / 2)
    return round(centre_y + cap_height(f) / 2)


def draw_text(img, xy, text, f, fill, alpha=255, embolden=False):
    """Composites text onto an RGBA image (correct over transparent pixels).
    embolden thickens the strokes by a pixel, for a face that has no bold."""
    layer = Image.new("RGBA", img.size, fill + (0,))
    mask = Image.new("L", img.size, 0)
    md = ImageDraw.Draw(mask)
    md.text(xy, text, font=f, fill=alpha, anchor="ls")
    if embolden:
        shifted = Image.new("L", img.size, 0)
        ImageDraw.Draw(shifted).text((xy[0] + 1, xy[1]), text, font=f, fill=alpha, anchor="ls")
        mask = ImageChops.lighter(mask, shifted)
    layer.putalpha(mask)
    img.alpha_composite(layer)


def gradient_row(y):
    t = y / 57
    return tuple(round(a + (b - a) * t) for a, b in zip(GRADIENT_TOP, GRADIENT_BOTTOM))


def header_band(width, height):
    """The light grey gradient of the header band with its bottom line."""
    img = Image.new("RGBA", (width, height))
    d = ImageDraw.Draw(img)
    for y in range(height):
        colour = gradient_row(y) if y < 58 else BAND_LINE if y == 58 else FILLER_SHADE
        d.line([(0, y), (width - 1, y)], fill=colour + (255,))
    return img


def big(width, height):
    return Image.new("RGBA", (width * SS, height * SS), (0, 0, 0, 0))


def small(img, width, height):
    """Scales a supersampled drawing down to its final size."""
    return img.convert("RGBa").resize((width, height), Image.BOX).convert("RGBA")


def scaled(points):
    return [(x * SS, y * SS) for x, y in points]


def inset(polygon, d):
    """A convex polygon (clockwise on screen) moved inwards by d on every side."""
    n = len(polygon)
    lines = []
    for i in range(n):
        (x1, y1), (x2, y2) = polygon[i], polygon[(i + 1) % n]
        length = ((x2 - x1) ** 2 + (y2 - y1) ** 2) ** 0.5
        nx, ny = -(y2 - y1) / length, (x2 - x1) / length
        lines.append(((x1 + nx * d, y1 + ny * d), (x2 - x1, y2 - y1)))
    result = []
    for i in range(n):
        (p, r), (q, s) = lines[i - 1], lines[i]
        cross = r[0] * s[1] - r[1] * s[0]
        t = ((q[0] - p[0]) * s[1] - (q[1] - p[1]) * s[0]) / cross
        result.append((p[0] + r[0] * t, p[1] + r[1] * t))
    return result


def lerp(a, b, t):
    return (a[0] + (b[0] - a[0]) * t, a[1] + (b[1] - a[1]) * t)


# --- the emblem: a green parcel seen from above, tied with tape -----------------

def parcel(img, left, top, width, height, stroke, faces=None, sheen=False):
    """Draws the parcel into a supersampled canvas. The outline of the hexagon
    lies on (left, top, width, height) in final pixels; the slanted edges rise
    one pixel in two. With sheen the faces get a soft light from above."""
    d = ImageDraw.Draw(img)
    faces = faces or (GREEN_LIGHT, GREEN, GREEN_DARK, GREEN_OUTLINE, TAPE, TAPE_SHADE)
    top_face, left_face, right_face, outline, tape_top, tape_side = faces
    cx = left + width / 2
    rise = width / 4
    hexagon = [(cx, top), (left + width, top + rise), (left + width, top + height - rise),
               (cx, top + height), (left, top + height - rise), (left, top + rise)]
    d.polygon(scaled(hexagon), fill=outline + (255,))
    h = inset(hexagon, stroke)
    centre = (cx, h[0][1] + (h[1][1] - h[0][1]) * 2)
    d.polygon(scaled([h[0], h[1], centre, h[5]]), fill=top_face + (255,))
    d.polygon(scaled([h[5], centre, h[3], h[4]]), fill=left_face + (255,))
    d.polygon(scaled([centre, h[1], h[2], h[3]]), fill=right_face + (255,))
    # A band of tape across the lid from the back edge to the front seam, then
    # down the left side.
    band = 0.17
    a0, a1 = lerp(h[0], h[1], 0.5 - band), lerp(h[0], h[1], 0.5 + band)
    b0, b1 = lerp(h[5], centre, 0.5 - band), lerp(h[5], centre, 0.5 + band)
    d.polygon(scaled([a0, a1, b1, b0]), fill=tape_top + (255,))
    c0, c1 = lerp(h[4], h[3], 0.5 - band), lerp(h[4], h[3], 0.5 + band)
    d.polygon(scaled([b0, b1, c1, c0]), fill=tape_side + (255,))
    # Seams between the faces, blended over them.
    overlay = Image.new("RGBA", img.size, (0, 0, 0, 0))
    od = ImageDraw.Draw(overlay)
    seam = max(1, round(stroke * SS * 0.6))
    od.line(scaled([h[5], centre, h[1]]), fill=outline + (120,), width=seam)
    od.line(scaled([centre, h[3]]), fill=outline + (120,), width=seam)
    img.alpha_composite(overlay)
    if sheen:
        light = Image.new("RGBA", img.size, (255, 255, 255, 0))
        ld = ImageDraw.Draw(light)
        y0, y1 = h[0][1] * SS, h[3][1] * SS
        for y in range(int(y0), int(y1)):
            t = (y - y0) / (y1 - y0)
            ld.line([(0, y), (img.width, y)], fill=(255, 255, 255, round(70 * (1 - t) ** 2)))
        clip = Image.new("L", img.size, 0)
        ImageDraw.Draw(clip).polygon(scaled(h), fill=255)
        img.alpha_composite(Image.composite(light, Image.new("RGBA", img.size, 0), clip))


def emblem(size):
    img = big(size, size)
    stroke = max(1.0, size / 30)
    margin = max(1.0, round(size / 16))
    parcel(img, margin, margin * 0.5, size - 2 * margin, size - margin, stroke,
           sheen=size >= 64)
    return small(img, size, size)


def icon(size):
    """Window icons: the parcel with its vertical edges on whole pixels."""
    img = big(size, size)
    parcel(img, 1, 0.5, size - 2, size - 1, 1.0)
    return small(img, size, size)


# --- word mark -----------------------------------------------------------------

WORD_MARK = "Kestrum"


def word_mark(img, x, baseline, size):
    """Writes the word mark; returns its width."""
    f = font_for(WORD_MARK, "Bold", size)
    draw_text(img, (x, baseline), WORD_MARK, f, INK)
    return text_width(f, WORD_MARK)


def word_mark_width(size):
    return text_width(font_for(WORD_MARK, "Bold", size), WORD_MARK)


# --- pictures ------------------------------------------------------------------

def header_picture(lang):
    img = header_band(500, 59)
    centre = 29
    mark = emblem(38)
    img.alpha_composite(mark, (14, centre - 19))
    f = font_for(WORD_MARK, "Bold", 28)
    x = 60
    x += word_mark(img, x, baseline_for(f, WORD_MARK, centre), 28)
    # An engraved separator between the word mark and the word.
    x += 14
    d = ImageDraw.Draw(img)
    d.line([(x, 15), (x, 43)], fill=(196, 200, 188, 255))
    d.line([(x + 1, 15), (x + 1, 43)], fill=(255, 255, 255, 255))
    x += 15
    word = UNPACK_WORDS[lang]
    wf = fit_font(word, "Semibold", 22, 14, 500 - x - 14)
    draw_text(img, (x, baseline_for(wf, word, centre)), word, wf, INK_SOFT)
    return img


def title_picture(lang):
    """The narrower heading: a small parcel and the word alone."""
    img = header_band(453, 59)
    img.alpha_composite(emblem(28), (16, 15))
    word = UNPACK_WORDS[lang]
    wf = fit_font(word, "Semibold", 24, 14, 453 - 58 - 16)
    draw_text(img, (58, baseline_for(wf, word, 29)), word, wf, INK_SOFT)
    return img


def strip_row(y):
    """The window's bottom band, row y (app/make_strip.cpp)."""
    if y == 0:
        return (100, 114, 71)
    if y == 1:
        return (120, 135, 84)
    d = 0.708 * y
    return (int(129 - d), int(145 - d), int(90 - d))


def button_face(lang, width):
    """The Extract button: a rounded green face with a box and the word. The
    button sits 60 pixels above the window's bottom edge, 36 high, so its top
    10 rows lie over the window's grey and the rest over the bottom band; the
    corners outside the rounding show exactly those colours."""
    height = 36
    img = Image.new("RGBA", (width, height))
    d = ImageDraw.Draw(img)
    for y in range(height):
        colour = WINDOW_GREY if y < 10 else strip_row(y - 10)
        d.line([(0, y), (width - 1, y)], fill=colour + (255,))

    face = big(width, height)
    fd = ImageDraw.Draw(face)
    radius = 7 * SS
    fd.rounded_rectangle([0, 0, width * SS - 1, height * SS - 1], radius,
                         fill=(52, 62, 26, 255))
    # The face: a vertical gradient, lighter in its upper half.
    inner = Image.new("RGBA", face.size, (0, 0, 0, 0))
    gd = ImageDraw.Draw(inner)
    top, middle, bottom = (168, 186, 118), (136, 154, 92), (100, 117, 58)
    for y in range(SS, (height - 1) * SS):
        t = (y - SS) / ((height - 2) * SS)
        a, b, u = (top, middle, t / 0.5) if t < 0.5 else (middle, bottom, (t - 0.5) / 0.5)
        gd.line([(0, y), (width * SS, y)],
                fill=tuple(round(p + (q - p) * u) for p, q in zip(a, b)) + (255,))
    clip = Image.new("L", face.size, 0)
    ImageDraw.Draw(clip).rounded_rectangle(
        [SS, SS, (width - 1) * SS - 1, (height - 1) * SS - 1], radius - SS, fill=255)
    face.paste(inner, (0, 0), clip)
    # A soft highlight along the top inside edge.
    ImageDraw.Draw(face).line([(radius, SS + SS // 2), (width * SS - radius, SS + SS // 2)],
                              fill=(214, 226, 178, 255), width=SS)
    img.alpha_composite(small(face, width, height))

    # Box symbol and word, centred together.
    word = BUTTON_WORDS[lang]
    box = 22
    gap = 7
    wf = fit_font(word, "Bold", 17, 11, width - 2 * 10 - box - gap)
    group = box + gap + text_width(wf, word)
    x = (width - group) // 2
    light = ((255, 255, 255), (236, 240, 226), (206, 216, 186), (48, 58, 22),
             (250, 236, 190), (226, 210, 160))
    symbol = big(box, box)
    parcel(symbol, 1, 0.5, box - 2, box - 1, 1.2, faces=light)
    img.alpha_composite(small(symbol, box, box), (x, (height - box) // 2))
    tx = x + box + gap
    baseline = baseline_for(wf, word, 18)
    cjk = wf.path == CJK_FONT  # a single weight: thickened to match the bold
    draw_text(img, (tx, baseline + 1), word, wf, (40, 50, 16), alpha=150, embolden=cjk)
    draw_text(img, (tx, baseline), word, wf, (255, 255, 255), embolden=cjk)
    return img


FOLDER_EDGE = (174, 128, 34)
FOLDER_BACK = (226, 178, 66)
FOLDER_FRONT_TOP = (255, 226, 128)
FOLDER_FRONT_BOTTOM = (244, 196, 80)


def vertical_fill(d, box, top, bottom):
    x0, y0, x1, y1 = box
    for y in range(int(y0), int(y1)):
        t = (y - y0) / max(1, y1 - y0 - 1)
        d.line([(x0, y), (x1 - 1, y)],
               fill=tuple(round(a + (b - a) * t) for a, b in zip(top, bottom)) + (255,))


def folder(opened):
    """16 x 18 folder glyph; the folder fills rows 3 to 15, pixel-aligned."""
    img = big(16, 18)
    d = ImageDraw.Draw(img)

    def rect(x0, y0, x1, y1, colour):
        d.rectangle([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], fill=colour + (255,))

    # Back with its tab.
    rect(1, 3, 7, 6, FOLDER_EDGE)
    rect(2, 4, 6, 6, FOLDER_BACK)
    rect(1, 5, 15, 16, FOLDER_EDGE)
    rect(2, 6, 14, 15, FOLDER_BACK)
    if opened:
        # A sheet of paper, and the front flap tipped forward.
        rect(3, 7, 13, 12, (178, 176, 164))
        rect(4, 8, 12, 12, (255, 255, 252))
        flap = [(4.0, 9.0), (16.0, 9.0), (13.0, 16.0), (0.5, 16.0)]
        d.polygon(scaled(flap), fill=FOLDER_EDGE + (255,))
        inner = inset([(4.0, 9.0), (16.0, 9.0), (13.0, 16.0), (0.5, 16.0)], 1.0)
        grad = big(16, 18)
        vertical_fill(ImageDraw.Draw(grad), (0, 10 * SS, 16 * SS, 15 * SS),
                      FOLDER_FRONT_TOP, FOLDER_FRONT_BOTTOM)
        clip = Image.new("L", img.size, 0)
        ImageDraw.Draw(clip).polygon(scaled(inner), fill=255)
        img.paste(grad, (0, 0), clip)
    else:
        rect(1, 7, 15, 16, FOLDER_EDGE)
        grad = big(16, 18)
        vertical_fill(ImageDraw.Draw(grad), (2 * SS, 8 * SS, 14 * SS, 15 * SS),
                      FOLDER_FRONT_TOP, FOLDER_FRONT_BOTTOM)
        clip = Image.new("L", img.size, 0)
        ImageDraw.Draw(clip).rectangle([2 * SS, 8 * SS, 14 * SS - 1, 15 * SS - 1], fill=255)
        img.paste(grad, (0, 0), clip)
        rect(2, 8, 14, 9, (255, 238, 170))
    return small(img, 16, 18)


def word_mark_with_emblem(width, height):
    """The parcel at the left and the word mark beside it, transparent."""
    img = Image.new("RGBA", (width, height), (0, 0, 0, 0))
    size = 150
    img.alpha_composite(emblem(size), (14, (height - size) // 2))
    x = 14 + size + 14
    f = fit_font(WORD_MARK, "Bold", 80, 20, width - x - 12)
    draw_text(img, (x, baseline_for(f, WORD_MARK, height / 2)), WORD_MARK, f, INK)
    return img


def word_mark_alone(width, height):
    img = Image.new("RGBA", (width, height), (0, 0, 0, 0))
    f = fit_font(WORD_MARK, "Bold", 80, 20, width - 16)
    x = (width - text_width(f, WORD_MARK)) // 2 - f.getbbox(WORD_MARK, anchor="ls")[0]
    draw_text(img, (x, baseline_for(f, WORD_MARK, height / 2)), WORD_MARK, f, INK)
    return img


def logo():
    """The logo over the window's grey: the parcel above the word mark."""
    width, height = 329, 293
    img = Image.new("RGBA", (width, height), WINDOW_GREY + (255,))
    size = 176
    img.alpha_composite(emblem(size), ((width - size) // 2, 18))
    f = font_for(WORD_MARK, "Bold", 54)
    x = (width - text_width(f, WORD_MARK)) // 2 - f.getbbox(WORD_MARK, anchor="ls")[0]
    draw_text(img, (x, 262), WORD_MARK, f, INK)
    return img


def banner():
    """600 x 60: the filler band with the parcel and word mark in the middle."""
    img = header_band(600, 60)
    f = font_for(WORD_MARK, "Bold", 28)
    group = 38 + 10 + word_mark_width(28)
    x = (600 - group) // 2
    img.alpha_composite(emblem(38), (x, 10))
    word_mark(img, x + 48, baseline_for(f, WORD_MARK, 29), 28)
    return img


def draw(name, width, height):
    for lang in LANGUAGES:
        if name == "unpack_" + lang:
            return header_picture(lang)
        if name == "title_" + lang:
            return title_picture(lang)
        if name == "button_" + lang:
            return button_face(lang, width)
    makers = {
        "folder_opened": lambda: folder(True),
        "folder_closed": lambda: folder(False),
        "Kestrum_original": lambda: word_mark_with_emblem(width, height),
        "Kestrum_text": lambda: word_mark_alone(width, height),
        "empty": lambda: header_band(width, height),
        "KX_logo": logo,
        "MinIcon": lambda: icon(16),
        "MaxIcon": lambda: icon(32),
        "banner": banner,
    }
    return makers[name]()


def main(argv):
    out_dir = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(__file__), "png")
    os.makedirs(out_dir, exist_ok=True)
    for name, width, height in IMAGES:
        img = draw(name, width, height)
        if img.size != (width, height):
            raise SystemExit(f"draw_images: {name} came out {img.size}, wants {width}x{height}")
        if img.getextrema()[3][0] == 255:
            img = img.convert("RGB")  # opaque pictures need no alpha channel
        img.save(os.path.join(out_dir, name + ".png"), optimize=True)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
