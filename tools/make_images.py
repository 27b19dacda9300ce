#!/usr/bin/env python3
"""Draws the pictures of SETUP.EXE and writes them in the formats setup.rc links in.

    splash.bmp           bitmap 123: the backdrop picture, 426 x 253, 16 colours
    express_raised.ico   icon 106    express_pressed.ico  icon 107
    custom_pressed.ico   icon 108    custom_raised.ico    icon 109
    custom_focus.ico     icon 120    express_focus.ico    icon 121
    hourglass.cur        cursor 125: monochrome hourglass, hot spot (10, 15)

Every picture is drawn with palette indices only, never with true colour that
would need quantising, and text is rendered without anti-aliasing, so two runs
write the same bytes. The files are packed here with struct rather than through
PIL's writers, whose header defaults (resolution, colour counts, palette size)
change between versions and which cannot write 16-colour icons at all.

Usage: make_images.py [--out DIR] [--previews DIR]
  --out       where the resource files go (default: src/resources/images)
  --previews  also save enlarged PNG previews there, for looking at the art
"""

import argparse
import os
import struct
import sys

from PIL import Image, ImageDraw, ImageFont

# The standard Windows 16-colour palette in VGA order. The display driver of a
# 16-colour Windows 95 screen has exactly these colours, so a picture that uses
# only them is shown without dithering.
PALETTE = (
    (0x00, 0x00, 0x00), (0x80, 0x00, 0x00), (0x00, 0x80, 0x00), (0x80, 0x80, 0x00),
    (0x00, 0x00, 0x80), (0x80, 0x00, 0x80), (0x00, 0x80, 0x80), (0xC0, 0xC0, 0xC0),
    (0x80, 0x80, 0x80), (0xFF, 0x00, 0x00), (0x00, 0xFF, 0x00), (0xFF, 0xFF, 0x00),
    (0x00, 0x00, 0xFF), (0xFF, 0x00, 0xFF), (0x00, 0xFF, 0xFF), (0xFF, 0xFF, 0xFF),
)
(BLACK, DARK_RED, DARK_GREEN, DARK_YELLOW, DARK_BLUE, DARK_MAGENTA, DARK_CYAN, LIGHT_GREY,
 DARK_GREY, RED, GREEN, YELLOW, BLUE, MAGENTA, CYAN, WHITE) = range(16)

# Index of "nothing drawn here" in the layers that are composed onto a face.
CLEAR = 255

SPLASH_WIDTH, SPLASH_HEIGHT = 426, 253
ICON_SIZE = 32
CURSOR_HOTSPOT = (10, 15)

FONT_DIR = "/usr/share/fonts/truetype/dejavu"

# 4 x 4 ordered-dither thresholds (0..15): a level of n/16 lights n cells of
# every 4 x 4 block in a fixed, even pattern.
BAYER4 = ((0, 8, 2, 10), (12, 4, 14, 6), (3, 11, 1, 9), (15, 7, 13, 5))


def new_canvas(width, height, fill):
    image = Image.new("P", (width, height), fill)
    flat = [c for rgb in PALETTE for c in rgb]
    image.putpalette(flat + [0] * (768 - len(flat)))
    return image


def font(name, size):
    return ImageFont.truetype(os.path.join(FONT_DIR, name), size)


def text_mask(text, face, stroke=0):
    """The text as a two-level mask, so no blended edge colours appear."""
    left, top, right, bottom = face.getbbox(text, stroke_width=stroke)
    mask = Image.new("1", (right - left, bottom - top), 0)
    draw = ImageDraw.Draw(mask)
    draw.fontmode = "1"
    draw.text((-left, -top), text, font=face, fill=1, stroke_width=stroke, stroke_fill=1)
    return mask


def stamp(canvas, mask, x, y, index):
    canvas.paste(index, (x, y, x + mask.width, y + mask.height), mask)


def dither(level, x, y):
    """True where a 0..16 mix level picks the second colour at (x, y)."""
    return BAYER4[y & 3][x & 3] < level


def fill_gradient(canvas, box, stops):
    """Vertical gradient through (row, colour) stops, each band dithered 4 x 4."""
    pixels = canvas.load()
    x0, y0, x1, y1 = box
    for y in range(y0, y1):
        for (ya, ca), (yb, cb) in zip(stops, stops[1:]):
            if ya <= y < yb:
                level = (y - ya) * 16 // (yb - ya)
                for x in range(x0, x1):
                    pixels[x, y] = cb if dither(level, x, y) else ca
                break


def fill_mixed(canvas, polygon, first, second, level):
    """Fills a polygon with an even 4 x 4 mix of two colours."""
    mask = Image.new("1", canvas.size, 0)
    ImageDraw.Draw(mask).polygon(polygon, fill=1)
    pixels, inside = canvas.load(), mask.load()
    for y in range(canvas.height):
        for x in range(canvas.width):
            if inside[x, y]:
                pixels[x, y] = second if dither(level, x, y) else first


# ---------------------------------------------------------------- the splash

def draw_landscape(canvas):
    fill_gradient(canvas, (0, 0, SPLASH_WIDTH, 150),
                  ((0, DARK_BLUE), (40, BLUE), (95, CYAN), (150, WHITE)))
    draw = ImageDraw.Draw(canvas)
    # The sun, low over the hills on the right, with a ring of dithered glow.
    sun = (322, 64, 366, 108)
    glow = Image.new("1", canvas.size, 0)
    ImageDraw.Draw(glow).ellipse((sun[0] - 8, sun[1] - 8, sun[2] + 8, sun[3] + 8), fill=1)
    pixels, ring = canvas.load(), glow.load()
    for y in range(sun[1] - 8, sun[3] + 9):
        for x in range(sun[0] - 8, sun[2] + 9):
            if ring[x, y] and dither(8, x, y):
                pixels[x, y] = YELLOW
    draw.ellipse(sun, fill=YELLOW)
    draw.ellipse((sun[0] + 8, sun[1] + 6, sun[0] + 22, sun[1] + 18), fill=WHITE)
    # Far hills in a blue haze, near hills in green, each with a lit crest.
    far = [(0, 126), (40, 112), (85, 118), (130, 100), (175, 110), (220, 96), (262, 108),
           (300, 104), (345, 114), (390, 98), (426, 106), (426, 160), (0, 160)]
    fill_mixed(canvas, far, DARK_CYAN, DARK_BLUE, 5)
    near = [(0, 142), (50, 130), (100, 138), (150, 124), (205, 134), (250, 128),
            (300, 140), (350, 126), (400, 134), (426, 130), (426, 170), (0, 170)]
    fill_mixed(canvas, near, DARK_GREEN, GREEN, 4)
    draw.line(near[:10], fill=GREEN)
    # A few dark pines on the near hills.
    for x, y in ((60, 131), (72, 134), (180, 128), (268, 133), (281, 136), (372, 130)):
        draw.polygon([(x, y - 14), (x - 5, y + 2), (x + 5, y + 2)], fill=DARK_GREEN)
        draw.line([(x, y - 14), (x - 5, y + 2)], fill=BLACK)
        draw.line([(x, y + 2), (x, y + 5)], fill=DARK_RED)


def draw_desk(canvas):
    draw = ImageDraw.Draw(canvas)
    top = 168
    # The desk top: wood in dark yellow with dark-red grain, lighter at the back.
    fill_gradient(canvas, (0, top, SPLASH_WIDTH, SPLASH_HEIGHT),
                  ((top, YELLOW), (top + 14, DARK_YELLOW), (SPLASH_HEIGHT, DARK_YELLOW)))
    draw.line([(0, top), (SPLASH_WIDTH - 1, top)], fill=BLACK)
    draw.line([(0, top + 1), (SPLASH_WIDTH - 1, top + 1)], fill=WHITE)
    for y, x0, x1 in ((186, 0, 150), (191, 200, 426), (199, 30, 260), (207, 120, 426),
                      (214, 0, 95), (221, 180, 330), (229, 0, 210), (236, 260, 426),
                      (244, 40, 300)):
        for x in range(x0, x1):
            if (x * 7 + y) % 23 < 17:
                canvas.putpixel((x, y), DARK_RED)
    # A mouse pad seen in perspective, with a shadow on the desk.
    pad = [(38, 182), (150, 182), (168, 236), (16, 236)]
    draw.polygon([(x + 4, y + 3) for x, y in pad], fill=BLACK)
    draw.polygon(pad, fill=DARK_BLUE)
    draw.line(pad + [pad[0]], fill=BLUE)
    # The mouse on the pad: grey body, two buttons, highlight, cord to the back.
    draw.line([(92, 196), (94, 186), (106, 178), (136, 172), (176, 170)], fill=BLACK, width=2)
    draw.ellipse((68, 198, 120, 232), fill=BLACK)
    draw.ellipse((64, 192, 116, 228), fill=DARK_GREY)
    draw.ellipse((65, 192, 114, 225), fill=LIGHT_GREY)
    draw.line([(90, 193), (90, 208)], fill=DARK_GREY)
    draw.line([(67, 208), (113, 208)], fill=DARK_GREY)
    draw.arc((70, 195, 96, 220), 190, 260, fill=WHITE)
    draw.arc((71, 196, 97, 221), 190, 250, fill=WHITE)


def draw_logo_mark(draw, x, y):
    """The brand's mark: a mouse seen from above whose button split is a V."""
    draw.line([(x + 18, y), (x + 18, y - 4), (x + 24, y - 8), (x + 30, y - 6)], fill=BLACK, width=2)
    draw.ellipse((x + 2, y + 2, x + 38, y + 52), fill=BLACK)
    draw.ellipse((x, y, x + 36, y + 50), fill=DARK_BLUE)
    draw.ellipse((x + 2, y + 2, x + 34, y + 48), fill=BLUE)
    draw.arc((x + 4, y + 4, x + 30, y + 40), 190, 250, fill=CYAN, width=2)
    # The V: two bold strokes that part the buttons, meeting in the palm.
    draw.polygon([(x + 5, y + 5), (x + 12, y + 5), (x + 18, y + 28), (x + 24, y + 5),
                  (x + 31, y + 5), (x + 20, y + 36), (x + 16, y + 36)], fill=YELLOW)
    draw.line([(x + 5, y + 5), (x + 16, y + 36)], fill=DARK_YELLOW)


def draw_logo(canvas):
    draw = ImageDraw.Draw(canvas)
    plate = (10, 10, 176, 72)
    draw.rectangle((plate[0] + 3, plate[1] + 3, plate[2] + 3, plate[3] + 3), fill=DARK_BLUE)
    draw.rectangle(plate, fill=WHITE, outline=BLACK)
    draw.line([(plate[0] + 1, plate[3] - 1), (plate[2] - 1, plate[3] - 1)], fill=LIGHT_GREY)
    draw.line([(plate[2] - 1, plate[1] + 1), (plate[2] - 1, plate[3] - 1)], fill=LIGHT_GREY)
    draw_logo_mark(draw, 17, 16)
    name = text_mask("Vantrix", font("DejaVuSans-Bold.ttf", 26))
    stamp(canvas, name, 62, 18, DARK_BLUE)
    draw.line([(62, 49), (62 + name.width, 49)], fill=RED, width=2)
    maker = text_mask("Ulvane Systems", font("DejaVuSans.ttf", 11))
    stamp(canvas, maker, 63, 55, BLACK)


def draw_caption(canvas):
    face = font("DejaVuSerif-BoldItalic.ttf", 30)
    text = "Vantrix Setup...."
    outline = text_mask(text, face, stroke=2)
    letters = text_mask(text, face)
    # Right edge well inside the last column, which the backdrop never shows.
    x = SPLASH_WIDTH - 14 - outline.width
    y = SPLASH_HEIGHT - 12 - outline.height
    stamp(canvas, outline, x + 3, y + 3, BLACK)
    stamp(canvas, outline, x, y, DARK_BLUE)
    stamp(canvas, letters, x + 2, y + 2, WHITE)


def make_splash():
    canvas = new_canvas(SPLASH_WIDTH, SPLASH_HEIGHT, WHITE)
    draw_landscape(canvas)
    draw_desk(canvas)
    draw_logo(canvas)
    draw_caption(canvas)
    return canvas


# ---------------------------------------------------------- the button faces

def new_layer():
    return new_canvas(ICON_SIZE, ICON_SIZE, CLEAR)


def draw_firecracker(draw, x, y, height):
    """A red paper cylinder, 9 px wide, its top at (x, y), lit from the left."""
    bottom = y + height
    draw.rectangle((x, y + 1, x + 8, bottom), fill=RED)
    draw.line([(x, y + 1), (x, bottom)], fill=DARK_RED)
    draw.line([(x + 2, y + 2), (x + 2, bottom - 1)], fill=WHITE)
    draw.rectangle((x + 6, y + 1, x + 7, bottom), fill=DARK_RED)
    draw.line([(x + 8, y + 1), (x + 8, bottom)], fill=BLACK)
    draw.line([(x, bottom), (x + 8, bottom)], fill=BLACK)
    for band in (y + 4, bottom - 3):
        draw.line([(x + 1, band), (x + 7, band)], fill=YELLOW)
    # The closed top, seen slightly from above.
    draw.line([(x + 1, y), (x + 7, y)], fill=DARK_RED)
    draw.line([(x + 2, y + 1), (x + 6, y + 1)], fill=LIGHT_GREY)


def draw_spark(draw, cx, cy):
    for dx, dy in ((0, -4), (0, 4), (-4, 0), (4, 0), (-3, -3), (3, -3), (-3, 3), (3, 3)):
        draw.line([(cx + dx // 2, cy + dy // 2), (cx + dx, cy + dy)], fill=RED)
    draw.rectangle((cx - 1, cy - 1, cx + 1, cy + 1), fill=YELLOW)
    draw.point([(cx, cy - 2), (cx, cy + 2), (cx - 2, cy), (cx + 2, cy)], fill=YELLOW)
    draw.point((cx, cy), fill=WHITE)
    draw.point([(cx - 5, cy + 1), (cx + 2, cy - 4), (cx + 5, cy + 2)], fill=YELLOW)


def express_motif():
    """A firecracker whose fuse burns with a bright spark."""
    layer = new_layer()
    draw = ImageDraw.Draw(layer)
    draw_firecracker(draw, 8, 13, 14)
    draw.line([(12, 12), (12, 11), (13, 10), (15, 10), (16, 9)], fill=BLACK)
    draw.point((17, 9), fill=DARK_GREY)
    draw_spark(draw, 20, 9)
    return layer


def custom_motif():
    """An unlit firecracker beside a burning match."""
    layer = new_layer()
    draw = ImageDraw.Draw(layer)
    draw_firecracker(draw, 5, 14, 13)
    draw.line([(9, 13), (9, 10), (10, 9), (11, 8)], fill=BLACK)
    # The match: a wooden stick leaning left, its red head and the flame above.
    draw.line([(23, 27), (20, 15)], fill=DARK_YELLOW, width=2)
    draw.line([(24, 27), (21, 15)], fill=BLACK)
    draw.ellipse((18, 12, 22, 16), fill=DARK_RED)
    draw.point([(19, 13), (20, 13)], fill=RED)
    draw.polygon([(20, 5), (17, 9), (17, 11), (19, 12), (21, 12), (23, 10), (22, 7)], fill=RED)
    draw.polygon([(20, 7), (18, 10), (19, 11), (21, 11), (22, 9)], fill=YELLOW)
    draw.point([(20, 9), (20, 10)], fill=WHITE)
    return layer


def draw_border(draw, light_outer, light_inner, dark_inner, dark_outer):
    """A two-pixel 3-D frame: outer and inner colours of top-left and bottom-right."""
    last = ICON_SIZE - 1
    draw.line([(0, last), (0, 0), (last, 0)], fill=light_outer)
    draw.line([(1, last - 1), (1, 1), (last - 1, 1)], fill=light_inner)
    draw.line([(0, last), (last, last), (last, 0)], fill=dark_outer)
    draw.line([(1, last - 1), (last - 1, last - 1), (last - 1, 1)], fill=dark_inner)


def compose_face(motif, state):
    face = new_canvas(ICON_SIZE, ICON_SIZE, LIGHT_GREY)
    shift = 1 if state == "pressed" else 0
    mask = motif.point(lambda index: 0 if index == CLEAR else 255, "L")
    face.paste(motif, (shift, shift), mask)
    draw = ImageDraw.Draw(face)
    if state == "pressed":
        # Sunken: the shadow moves to the top-left, the light to the bottom-right.
        draw_border(draw, BLACK, DARK_GREY, LIGHT_GREY, WHITE)
    else:
        draw_border(draw, WHITE, LIGHT_GREY, DARK_GREY, BLACK)
    if state == "focus":
        # The dotted focus rectangle just inside the frame, every other pixel.
        for i in range(3, ICON_SIZE - 3):
            for x, y in ((i, 3), (i, ICON_SIZE - 4), (3, i), (ICON_SIZE - 4, i)):
                if (x + y) % 2 == 0:
                    face.putpixel((x, y), BLACK)
    return face


# ------------------------------------------------------------ the hourglass

def make_hourglass():
    """Indices 0 = see-through, 1 = black, 2 = white; the neck on the hot spot."""
    layer = Image.new("P", (ICON_SIZE, ICON_SIZE), 0)
    pixels = layer.load()
    cx, cy = CURSOR_HOTSPOT
    # Caps top and bottom, 21 px wide and centred on the hot spot's column.
    for top in (cy - 15, cy + 13):
        for x in range(cx - 10, cx + 11):
            for y in range(top, top + 3):
                inner = y == top + 1 and cx - 10 < x < cx + 10
                pixels[x, y] = 2 if inner else 1
    # The glass, row by row: straight walls at both ends, a one-pixel neck
    # on the hot spot's row.
    for y in range(cy - 12, cy + 13):
        distance = abs(y - cy)
        inset = 1 if distance >= 9 else min(9, 10 - distance)
        left, right = cx - 10 + inset, cx + 10 - inset
        pixels[left, y] = pixels[right, y] = 1
        for x in range(left + 1, right):
            # Half-tone sand keeps off the walls, so the glass keeps its outline.
            half_tone = (x + y) % 2 == 1 and left + 1 < x < right - 1
            upper_sand = cy - 6 <= y < cy
            heap = y >= cy + 5 and abs(x - cx) <= 2 * (y - cy - 5)
            stream = x == cx and cy <= y < cy + 7
            pixels[x, y] = 1 if stream or ((upper_sand or heap) and half_tone) else 2
    return layer


# ---------------------------------------------------------------- file forms

def nibble_rows(image):
    """4-bit rows, bottom-up, two pixels a byte (left one high), padded to 4 bytes."""
    width, height = image.size
    pixels = image.load()
    stride = (width * 4 + 31) // 32 * 4
    rows = []
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            index = pixels[x, y]
            if not 0 <= index < 16:
                raise ValueError("pixel (%d, %d) is not in the palette" % (x, y))
            row[x // 2] |= index << (4 if x % 2 == 0 else 0)
        rows.append(bytes(row))
    return b"".join(rows)


def bit_rows(image, is_set):
    """1-bit rows, bottom-up, left pixel in the high bit, padded to 4 bytes."""
    width, height = image.size
    pixels = image.load()
    stride = (width + 31) // 32 * 4
    rows = []
    for y in reversed(range(height)):
        row = bytearray(stride)
        for x in range(width):
            if is_set(pixels[x, y]):
                row[x // 8] |= 0x80 >> (x % 8)
        rows.append(bytes(row))
    return b"".join(rows)


def info_header(width, height, bit_count, image_size, colours_used):
    # BITMAPINFOHEADER: no compression (BI_RGB), no stated resolution.
    return struct.pack("<IiiHHIIiiII", 40, width, height, 1, bit_count, 0,
                       image_size, 0, 0, colours_used, 0)


def colour_table(colours):
    return b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in colours)


def bmp_file(image):
    pixels = nibble_rows(image)
    table = colour_table(PALETTE)
    offset = 14 + 40 + len(table)
    header = struct.pack("<2sIHHI", b"BM", offset + len(pixels), 0, 0, offset)
    return header + info_header(image.width, image.height, 4, len(pixels), 16) + table + pixels


def single_image_directory(kind, colour_count, planes_or_x, bits_or_y, image_data):
    # ICONDIR and its one ICONDIRENTRY; the image follows at once, at offset 22.
    return (struct.pack("<HHH", 0, kind, 1)
            + struct.pack("<BBBBHHII", ICON_SIZE, ICON_SIZE, colour_count, 0,
                          planes_or_x, bits_or_y, len(image_data), 6 + 16)
            + image_data)


def ico_file(face):
    xor = nibble_rows(face)
    # The face covers the whole button, so the AND mask is clear: fully opaque.
    and_mask = bytes(ICON_SIZE * ICON_SIZE // 8)
    # The header's height counts the colour image and the mask together.
    data = (info_header(ICON_SIZE, 2 * ICON_SIZE, 4, len(xor) + len(and_mask), 0)
            + colour_table(PALETTE) + xor + and_mask)
    return single_image_directory(1, 16, 1, 4, data)


def cur_file(layer):
    xor = bit_rows(layer, lambda index: index == 2)
    and_mask = bit_rows(layer, lambda index: index == 0)
    data = (info_header(ICON_SIZE, 2 * ICON_SIZE, 1, len(xor) + len(and_mask), 0)
            + colour_table(((0, 0, 0), (0xFF, 0xFF, 0xFF))) + xor + and_mask)
    # A cursor entry keeps its hot spot where an icon entry keeps planes and bit count.
    return single_image_directory(2, 2, CURSOR_HOTSPOT[0], CURSOR_HOTSPOT[1], data)


# ------------------------------------------------------------------ previews

def save_previews(folder, splash, faces, hourglass):
    os.makedirs(folder, exist_ok=True)
    splash.convert("RGB").resize((SPLASH_WIDTH * 2, SPLASH_HEIGHT * 2), Image.NEAREST).save(
        os.path.join(folder, "splash.png"))
    scale = 4
    sheet = Image.new("RGB", (3 * (ICON_SIZE + 4) * scale, 2 * (ICON_SIZE + 4) * scale),
                      PALETTE[LIGHT_GREY])
    for name, face in faces.items():
        big = face.convert("RGB").resize((ICON_SIZE * scale, ICON_SIZE * scale), Image.NEAREST)
        big.save(os.path.join(folder, name.replace(".ico", ".png")))
        column = ("raised", "pressed", "focus").index(name.split("_")[1][:-4])
        row = 0 if name.startswith("express") else 1
        sheet.paste(big, ((column * (ICON_SIZE + 4) + 2) * scale, (row * (ICON_SIZE + 4) + 2) * scale))
    sheet.save(os.path.join(folder, "faces.png"))
    # The cursor over a checked background, so that see-through pixels show.
    cursor = Image.new("RGB", (ICON_SIZE, ICON_SIZE))
    pixels, source = cursor.load(), hourglass.load()
    for y in range(ICON_SIZE):
        for x in range(ICON_SIZE):
            value = source[x, y]
            if value == 0:
                pixels[x, y] = (0x80, 0xC0, 0x80) if (x // 4 + y // 4) % 2 else (0xC0, 0xFF, 0xC0)
            else:
                pixels[x, y] = (0, 0, 0) if value == 1 else (0xFF, 0xFF, 0xFF)
    pixels[CURSOR_HOTSPOT] = (0xFF, 0, 0)
    cursor.resize((ICON_SIZE * 8, ICON_SIZE * 8), Image.NEAREST).save(
        os.path.join(folder, "hourglass.png"))


def main(argv):
    repo = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description="Draws the pictures of SETUP.EXE.")
    parser.add_argument("--out", default=os.path.join(repo, "src", "resources", "images"))
    parser.add_argument("--previews")
    args = parser.parse_args(argv)

    splash = make_splash()
    express, custom = express_motif(), custom_motif()
    faces = {
        "express_raised.ico": compose_face(express, "raised"),
        "express_pressed.ico": compose_face(express, "pressed"),
        "custom_pressed.ico": compose_face(custom, "pressed"),
        "custom_raised.ico": compose_face(custom, "raised"),
        "custom_focus.ico": compose_face(custom, "focus"),
        "express_focus.ico": compose_face(express, "focus"),
    }
    hourglass = make_hourglass()

    files = [("splash.bmp", bmp_file(splash))]
    files += [(name, ico_file(face)) for name, face in faces.items()]
    files.append(("hourglass.cur", cur_file(hourglass)))
    os.makedirs(args.out, exist_ok=True)
    for name, data in files:
        with open(os.path.join(args.out, name), "wb") as out:
            out.write(data)
    if args.previews:
        save_previews(args.previews, splash, faces, hourglass)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
