"""Memory with a front end slower than the scanner: scanimage writing PNG
(its encoding is slower than the simulator without device delays) from a
duplex feeder of A4 sheets in colour, at 300 dpi with 5, 30 and 60 sheets
and at 600 dpi with 3, 12 and 24, the engine choosing its pages in flight as
shipped (4 at 300 dpi, 1 at 600 on this machine's processors). Then the
largest pages: one A4 colour duplex sheet at 1200 dpi (among the device's
resolutions), written as PNM.

usage: memory.py BUILD [--runs N] [--only slow|1200]

Each count runs N times (3) and keeps the lowest peak RSS of scanimage.
While it runs, the engine's temporary folder is measured every 10 ms; it
must be empty once scanimage has ended. A resolution passes when the
longest batch's peak is within one page of the next shorter one's (memory
stops growing once the engine is as far ahead of the front end as its
share of finished pages lets it be, which a short batch never reaches),
and every peak is within
2 x page x in flight + 200 MiB (the share of finished pages the engine keeps
in memory before it moves them to temporary files) + 2 queued pages + 50
MiB. Prints one line per resolution:
  slow front end R dpi: S sheets M MiB (temp T MiB), ..., bound B MiB, ok|over
For the 1200-dpi sheet, scanimage's peak RSS of each run beside the page (its
pixel bytes, from the PNM header) and the bound of 3.1 pages, checked on the
highest run (memory freed while the sheet's pages are processed, a page moved
to a temporary file among them, must not be held until the job ends):
  one sheet 1200 dpi duplex: peak RSS M, M, M MiB, page P MiB, bound B MiB, ok|over
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402

MIB = 1024 * 1024
SPILL_THRESHOLD = 0xC800000  # finished pages the engine keeps in memory
# dpi, sheets of each batch, pages in flight
RUNS = ((300, (5, 30, 60), 4), (600, (3, 12, 24), 1))
SHEET_1200 = ["--profile", "gen2-adf", "--set", "resolutions=100,150,200,300,400,600,1200", "--set", "sheet=A4"]
PAGES_BOUND_1200 = 3.1


def page_bytes(dpi):
    width = int(dpi * 210 / 25.4 + 0.5) // 16 * 16
    height = int(dpi * 297 / 25.4 + 0.5) // 16 * 16
    return width * height * 3


def engine_temp_bytes(temp):
    """Bytes in the engine's temporary folders under temp (one per process,
    "Vexmor.FileManager.Temporary.NNNNNNNNNN")."""
    total = 0
    try:
        folders = [n for n in os.listdir(temp) if n.startswith("Vexmor.FileManager.Temporary.")]
    except OSError:
        return 0
    for folder in folders:
        for base, _, names in os.walk(os.path.join(temp, folder)):
            for name in names:
                try:
                    total += os.lstat(os.path.join(base, name)).st_size
                except OSError:
                    pass
    return total


def batch(r, dpi, sheets):
    """(peak RSS in bytes, peak of the temporary folder in bytes)."""
    folder = r.fresh(f"slow-{dpi}-{sheets}")
    temp = r.temp[0] if r.temp else "/tmp"
    sim_args = rig.A4_FEEDER + ["--sheets", str(sheets), "--time-scale", "0"]
    scan_args = ["--batch=page%d.png", "--format=png", "--source", rig.DUPLEX, "--mode", "24bit Color",
                 "--resolution", str(dpi), "-x", "210", "-y", "297"]
    peak_temp = [0]

    def watch():
        peak_temp[0] = max(peak_temp[0], engine_temp_bytes(temp))
        return False

    result = r.scan(folder, sim_args, scan_args, timeout=900, dumps=False, interrupt_after=watch)
    rig.drop_pages(folder, result, 2 * sheets, ".png", f"{sheets} sheets at {dpi} dpi")
    left = engine_temp_bytes(temp)
    if left:
        raise rig.RigError(f"{left} bytes left in {temp} after {sheets} sheets at {dpi} dpi")
    return result.peak_rss_kib * 1024, peak_temp[0]


def slow_front_end(r, runs):
    """Prints the slow front end's line per resolution; 0 when all are ok."""
    status = 0
    for dpi, counts, in_flight in RUNS:
        page = page_bytes(dpi)
        bound = 2 * page * in_flight + SPILL_THRESHOLD + 2 * page + 50 * MIB
        peaks = [min((batch(r, dpi, sheets) for _ in range(runs)), key=lambda x: x[0]) for sheets in counts]
        ok = peaks[-1][0] <= peaks[-2][0] + page and all(rss <= bound for rss, _ in peaks)
        status |= 0 if ok else 1
        figures = ", ".join(f"{sheets} sheets {rss / MIB:.0f} MiB (temp {temp / MIB:.0f} MiB)"
                            for sheets, (rss, temp) in zip(counts, peaks))
        print(f"slow front end {dpi} dpi: {figures}, bound {bound / MIB:.0f} MiB, {'ok' if ok else 'over'}",
              flush=True)
    return status


def sheet_1200(r, runs):
    """Prints the 1200-dpi sheet's line; 0 when every run is within the bound."""
    peaks = []
    page = 0
    for _ in range(runs):
        folder = r.fresh("sheet-1200")
        sim_args = SHEET_1200 + ["--sheets", "1", "--time-scale", "0"]
        scan_args = ["--batch=page%d.pnm", "--format=pnm", "--source", rig.DUPLEX, "--mode", "24bit Color",
                     "--resolution", "1200", "-x", "210", "-y", "297"]
        result = r.scan(folder, sim_args, scan_args, timeout=900, dumps=False)
        first = os.path.join(folder, "page1.pnm")
        page = rig.pnm_pixel_bytes(first) if os.path.exists(first) else 0
        rig.drop_pages(folder, result, 2, ".pnm", "one sheet at 1200 dpi")
        peaks.append(result.peak_rss_kib * 1024)
    bound = PAGES_BOUND_1200 * page
    ok = max(peaks) <= bound
    print(f"one sheet 1200 dpi duplex: peak RSS {', '.join(f'{rss / MIB:.0f}' for rss in peaks)} MiB, "
          f"page {page / MIB:.1f} MiB, bound {bound / MIB:.0f} MiB, {'ok' if ok else 'over'}", flush=True)
    return 0 if ok else 1


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--only", choices=("slow", "1200"), help="run one of the two parts")
    args = parser.parse_args()
    rig.end_on_signals()
    status = 0
    try:
        r = rig.Rig(args.build, os.path.join(args.build, "runs"))
        if args.only != "1200":
            status |= slow_front_end(r, args.runs)
        if args.only != "slow":
            status |= sheet_1200(r, args.runs)
    except rig.RigError as e:
        print(f"memory: {e}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("memory: interrupted", file=sys.stderr)
        return 130
    return status


if __name__ == "__main__":
    sys.exit(main())
