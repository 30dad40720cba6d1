"""OpenCV references for the image library's conversion tests.

  cv_reference.py gray IN.raw WIDTH HEIGHT STRIDE OUT.raw
      cvtColor(COLOR_BGR2GRAY) of 24-bit rows (bytes blue, green, red);
      writes WIDTH x HEIGHT bytes.
  cv_reference.py rotate IN.raw WIDTH HEIGHT STRIDE CHANNELS C S CX CY OUTW OUTH OUT.raw MASK.raw
      warpAffine(INTER_LINEAR | WARP_INVERSE_MAP, white border) with the
      output-to-source map x' = (C x - S y) / 1024 + CX,
      y' = (S x + C y) / 1024 + CY; writes OUTW x OUTH x CHANNELS bytes and
      a mask of OUTW x OUTH bytes, 1 where the source point lies at least
      one pixel inside the input's border.
"""
import sys

import cv2
import numpy as np


def rows(path, width, height, stride, channels):
    data = np.fromfile(path, dtype=np.uint8).reshape((height, stride))[:, : width * channels]
    shape = (height, width, channels) if channels > 1 else (height, width)
    return np.ascontiguousarray(data.reshape(shape))


def main():
    cv2.setNumThreads(1)
    op = sys.argv[1]
    if op == "gray":
        src, width, height, stride, out = sys.argv[2:7]
        image = rows(src, int(width), int(height), int(stride), 3)
        cv2.cvtColor(image, cv2.COLOR_BGR2GRAY).tofile(out)
        return
    src, width, height, stride, channels, c, s, cx, cy, outw, outh, out, mask = sys.argv[2:15]
    width, height, channels, outw, outh = int(width), int(height), int(channels), int(outw), int(outh)
    c, s, cx, cy = int(c) / 1024.0, int(s) / 1024.0, float(cx), float(cy)
    image = rows(src, width, height, int(stride), channels)
    matrix = np.array([[c, -s, cx], [s, c, cy]], dtype=np.float64)
    white = (255,) * channels if channels > 1 else 255
    warped = cv2.warpAffine(image, matrix, (outw, outh), flags=cv2.INTER_LINEAR | cv2.WARP_INVERSE_MAP,
                            borderMode=cv2.BORDER_CONSTANT, borderValue=white)
    warped.tofile(out)
    ys, xs = np.mgrid[0:outh, 0:outw].astype(np.float64)
    sx = c * xs - s * ys + cx
    sy = s * xs + c * ys + cy
    inside = (sx >= 1) & (sx <= width - 2) & (sy >= 1) & (sy <= height - 2)
    inside.astype(np.uint8).tofile(mask)


if __name__ == "__main__":
    main()
