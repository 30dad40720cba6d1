"""BMP files through Pillow, for the image library's tests.

  pil_bmp.py write MODE WIDTH HEIGHT SEED OUT.bmp OUT.raw
      MODE 1, L, RGB or P (8-bit with a palette that starts white); saves
      a seeded pattern at 300 dpi and its pixels as Pillow holds them
      (1: rows of packed bits, most significant first; L and P: one byte
      per pixel, P as palette indices; RGB: red, green, blue).
  pil_bmp.py read IN.bmp OUT.raw
      prints the mode, width and height Pillow reads and writes the pixels
      as levels (1, L and P as gray levels, RGB as red, green, blue).
"""
import random
import sys

from PIL import Image


def pattern(mode, width, height, seed):
    rng = random.Random(seed)
    if mode == "RGB":
        data = bytes(rng.randrange(256) for _ in range(width * height * 3))
        return Image.frombytes("RGB", (width, height), data)
    if mode == "1":
        data = bytes(rng.choice((0, 255)) for _ in range(width * height))
        return Image.frombytes("L", (width, height), data).convert("1", dither=Image.Dither.NONE)
    data = bytes(rng.randrange(256) for _ in range(width * height))
    image = Image.frombytes("L", (width, height), data)
    if mode == "P":
        image = image.convert("P")
        image.putpalette([255 - (i // 3) for i in range(768)])
    return image


def main():
    if sys.argv[1] == "write":
        mode, width, height, seed, bmp, raw = sys.argv[2:8]
        image = pattern(mode, int(width), int(height), int(seed))
        image.save(bmp, format="BMP", dpi=(300, 300))
        with open(raw, "wb") as out:
            out.write(image.tobytes())
    else:
        bmp, raw = sys.argv[2:4]
        image = Image.open(bmp)
        image.load()
        print(image.mode, image.size[0], image.size[1])
        levels = image.convert("RGB" if image.mode == "RGB" else "L")
        with open(raw, "wb") as out:
            out.write(levels.tobytes())


if __name__ == "__main__":
    main()
