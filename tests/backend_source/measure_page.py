"""Measures a page a front end wrote, apart from the project's own code:
its size in millimetres at the given resolution (Pillow), and, against the
page the device sent, the peak signal-to-noise ratio (numpy).

usage: measure_page.py DPI PAGE [SENT]

Prints "WIDTH_MM HEIGHT_MM PSNR"; PSNR is "inf" for equal pixels, "-" with
no SENT page, and "size" when the page is larger than the one sent. A page
smaller than the one sent (a width the device rounded up, cut back) is
compared with the sent page's top left part of its size.
"""
import sys

import numpy
from PIL import Image


def main():
    if len(sys.argv) not in (3, 4):
        print(__doc__, file=sys.stderr)
        return 2
    dpi = float(sys.argv[1])
    with Image.open(sys.argv[2]) as page:
        page.load()
    width_mm = page.width * 25.4 / dpi
    height_mm = page.height * 25.4 / dpi
    psnr = "-"
    if len(sys.argv) == 4:
        with Image.open(sys.argv[3]) as sent:
            sent.load()
        mode = "L" if page.mode in ("1", "L") else "RGB"
        a = numpy.asarray(page.convert(mode), dtype=numpy.float64)
        b = numpy.asarray(sent.convert(mode), dtype=numpy.float64)
        if a.shape[0] > b.shape[0] or a.shape[1] > b.shape[1]:
            psnr = "size"
        else:
            mse = float(((a - b[: a.shape[0], : a.shape[1]]) ** 2).mean())
            psnr = "inf" if mse == 0 else f"{10 * numpy.log10(255.0 ** 2 / mse):.2f}"
    print(f"{width_mm:.2f} {height_mm:.2f} {psnr}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
