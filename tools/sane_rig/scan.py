"""scripts/scan's work: a 3-sheet duplex feeder job through the real scanimage.

usage: scan.py BUILD [--mode MODE] [--resolution DPI] [--out DIR] [--quiet]

Writes six PNG files (both sides of three sheets), prints their paths and
checks each against the page the simulator sent: byte-equal pixels where
the page travelled uncompressed, within the simulator's JPEG bound (a PSNR
of at least 30 dB) where it travelled as JPEG. Exits 0 when all six are
there and right.
"""
import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402

JPEG_MIN_PSNR = 30.0
MODES = {"colour": "24bit Color", "gray": "True Gray", "bw": "Black & White"}


def sent_compressions(transcript):
    """Page number -> how it travelled ("raw", "packbits", "jpeg"), from the
    simulator's transcript: each page as its scan asked."""
    found = {}
    current = "raw"
    try:
        with open(transcript) as f:
            for line in f:
                try:
                    record = json.loads(line)
                except ValueError:
                    continue
                if record.get("event") == "scan":
                    current = record.get("compression", "raw")
                elif record.get("event") == "page":
                    found[int(record.get("page", 0))] = current
    except OSError:
        pass
    return found


def psnr(got_path, sent_path):
    """Equal pixels, or the PSNR of the written page against the sent one (cut to its size)."""
    import numpy
    from PIL import Image
    with Image.open(got_path) as got, Image.open(sent_path) as sent:
        got = got.convert("L" if got.mode in ("1", "L") else "RGB")
        sent = sent.convert(got.mode)
        if got.width > sent.width or got.height > sent.height:
            return None, f"{got.width}x{got.height} is larger than the sent {sent.width}x{sent.height}"
        a = numpy.asarray(got, dtype=numpy.int32)
        b = numpy.asarray(sent.crop((0, 0, got.width, got.height)), dtype=numpy.int32)
    mse = float(((a - b) ** 2).mean())
    if mse == 0:
        return float("inf"), ""
    return 10 * numpy.log10(255.0 * 255.0 / mse), ""


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--mode", choices=sorted(MODES), default="colour")
    parser.add_argument("--resolution", type=int, default=300)
    parser.add_argument("--out", help="folder of the PNG files (default: BUILD/pages)")
    parser.add_argument("--quiet", action="store_true", help="print only the paths and the verdict")
    args = parser.parse_args()
    rig.end_on_signals()

    try:
        r = rig.Rig(args.build, os.path.join(args.build, "runs"))
    except rig.RigError as e:
        print(f"scan: {e}", file=sys.stderr)
        return 2
    folder = r.fresh("scan")
    out = os.path.abspath(args.out or os.path.join(args.build, "pages"))
    os.makedirs(out, exist_ok=True)
    for name in os.listdir(out):
        if name.startswith("page") and name.endswith(".png"):
            os.remove(os.path.join(out, name))

    sim_args = ["--profile", "gen2-adf", "--set", "resolutions=100,150,200,300,400,600", "--sheets", "3", "--duplex",
                "--time-scale", "0.1"]
    scan_args = ["--batch=" + os.path.join(out, "page%d.png"), "--format=png", "--source", rig.DUPLEX,
                 "--mode", MODES[args.mode], "--resolution", str(args.resolution)]
    if not args.quiet:
        print(f"scanning 3 sheets, both sides, {args.mode} at {args.resolution} dpi from the simulator ...",
              flush=True)
    try:
        result = r.scan(folder, sim_args, scan_args)
    except rig.RigError as e:
        print(f"scan: {e}", file=sys.stderr)
        return 2
    except KeyboardInterrupt:
        print("scan: interrupted", file=sys.stderr)
        return 130

    pages = []
    while os.path.exists(os.path.join(out, f"page{len(pages) + 1}.png")):
        pages.append(os.path.join(out, f"page{len(pages) + 1}.png"))
    compressions = sent_compressions(os.path.join(folder, "transcript.jsonl"))
    failures = []
    if result.timed_out:
        failures.append("scanimage did not end in time")
    elif result.exit_code != 0:
        failures.append(f"scanimage exited with {result.exit_code}: {result.err.strip()}")
    if len(pages) != 6:
        failures.append(f"{len(pages)} pages written, 6 expected")
    for number, path in enumerate(pages, start=1):
        sent = os.path.join(folder, "sent", f"scan001-page{number:03d}.pnm")
        if not os.path.exists(sent):
            failures.append(f"{path}: the simulator sent no page {number}")
            continue
        value, why = psnr(path, sent)
        compression = compressions.get(number, "raw")
        if args.mode == "bw" and compression == "jpeg":
            compression = "raw"  # one-bit pages never travel as JPEG
        if value is None:
            failures.append(f"{path}: {why}")
            verdict = why
        elif compression == "jpeg":
            verdict = f"JPEG, {value:.1f} dB against the sent page" if value != float("inf") else "JPEG, equal"
            if value < JPEG_MIN_PSNR:
                failures.append(f"{path}: {verdict}, below {JPEG_MIN_PSNR} dB")
        else:
            verdict = f"{compression}, equal to the sent page" if value == float("inf") else f"{value:.1f} dB"
            if value != float("inf"):
                failures.append(f"{path}: {compression} page differs from the sent page ({value:.1f} dB)")
        print(f"{path}  ({verdict})" if not args.quiet else path)
    if failures:
        for failure in failures:
            print(f"scan: {failure}", file=sys.stderr)
        print(f"scan: the run's files are in {folder}", file=sys.stderr)
        return 1
    print(f"{len(pages)} pages scanned in {result.seconds:.1f} s")
    return 0


if __name__ == "__main__":
    sys.exit(main())
