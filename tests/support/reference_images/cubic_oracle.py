"""Reference cubic resampling in double precision for the resolution tests.

Usage: cubic_oracle.py IN WIDTH HEIGHT CHANNELS XN XM YN YM OUTW OUTH OUT

Output pixel (x, y) samples the input at (x * XN / XM, y * YN / YM): the
grid is aligned at the top-left corner. The kernel is cubic convolution
with a = -1 over a 4 x 4 block; pixels beyond an edge repeat the edge.
Values are rounded to the nearest integer and clipped to 0..255.
"""
import sys

import numpy as np


def kernel(x):
    a = np.abs(x)
    near = a * a * a - 2.0 * a * a + 1.0
    far = -a * a * a + 5.0 * a * a - 8.0 * a + 4.0
    return np.where(a < 1.0, near, np.where(a < 2.0, far, 0.0))


def weights(count, n, m, size):
    """Source indices (count x 4) and weights (count x 4) along one axis."""
    pos = np.arange(count, dtype=np.float64) * n / m
    base = np.floor(pos)
    taps = base[:, None] + np.arange(-1, 3)[None, :]
    w = kernel(pos[:, None] - taps)
    return np.clip(taps, 0, size - 1).astype(np.int64), w


def main():
    src, width, height, channels, xn, xm, yn, ym, out_w, out_h, dst = sys.argv[1:]
    width, height, channels = int(width), int(height), int(channels)
    xn, xm, yn, ym = int(xn), int(xm), int(yn), int(ym)
    out_w, out_h = int(out_w), int(out_h)
    image = np.fromfile(src, dtype=np.uint8).astype(np.float64)
    image = image.reshape(height, width, channels)
    xi, xw = weights(out_w, xn, xm, width)
    yi, yw = weights(out_h, yn, ym, height)
    # Vertical first: rows (out_h x width x channels), then columns.
    rows = np.einsum("yk,ykxc->yxc", yw, image[yi])
    result = np.einsum("xk,yxkc->yxc", xw, rows[:, xi])
    np.clip(np.rint(result), 0, 255).astype(np.uint8).tofile(dst)


if __name__ == "__main__":
    main()
