"""The whole pipeline's speed: simulator -> libvelloc-net -> engine ->
backend -> scanimage, for A4 colour pages at 300 dpi with 1, 2 and 4 pages
in flight (fixed through VEXMOR_BENCH_PAGES_IN_FLIGHT, a hook of the test
build).

usage: pipeline.py BUILD [--pages N] [--flow native|converted]

The native flow's device has 300 dpi among its resolutions (rig.A4_FEEDER).
The converted flow's device has only the simulator's built-in ones (100,
150, 200, 400 and 600), so it scans at 200 dpi and the engine enlarges each
page to 300 dpi after its enhancement.

The simulator runs without its device delays (--time-scale 0). The stack
has fixed waits of its own: each status query of the engine sleeps 100 ms
and the backend polls every 200 ms, so a page costs at least 100 ms as
shipped. Each count is measured as shipped and with those waits divided by
10 (VEXMOR_TEST_TIME_SCALE=10, which also shortens the time-outs), the rate
beyond the fixed delays. Each measure runs batches of 2 and of 2 + N
sheets, best of two as shipped and of three with the waits divided; pages/s
is N over the difference of their times, which takes the set-up of a run
(loading, discovery, the device's queries) out.
The peak RSS is scanimage's own (ru_maxrss of the longer run as shipped),
beside the bound 2 x page x in flight + 200 MiB (the share of finished
pages the engine keeps in memory while the front end is behind) + 2 pages
in the backend's queue + 50 MiB. The CPU per page is
scanimage's user and system time (rusage of the child) beyond the fixed
waits, the 2 + N sheet batch less the 2-sheet one (the one of the three runs
with the least CPU each), over N. The minor page faults per page are
scanimage's (ru_minflt, from the same rusage) in the same runs, the longer
batch less the shorter one over N, the median of the three pairs: the
pages of memory the kernel had to map and zero for the pages beyond the
first two, a figure the machine's load hardly moves; beside it the page's
own size in 4-KiB pages (its pixel bytes, from the first page's PNM
header). A longer batch also holds more pages at once (the engine reads
ahead of a slower front end), and their memory is new however well it is
reused; so the faults are also given less the growth of the peak RSS
between the two batches (in 4-KiB pages, same pairs, same median): the
memory each page maps afresh once the pages held at once stop growing, the
steady state. The three pairs' faults and CPU per page go to standard
error. Prints one line per count:
  pipeline N in flight: R pages/s, S pages/s beyond the fixed waits, peak RSS M MiB, bound B MiB,
  CPU per page U ms user, Y ms system, minor faults per page F, beyond the peak RSS growth G,
  page P 4-KiB pages
(on one line).
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402

SPILL_THRESHOLD = 0xC800000  # finished pages the engine keeps in memory


FLOWS = {"native": rig.A4_FEEDER, "converted": rig.A4_BUILT_IN}


def batch(r, flow, sheets, in_flight, scale):
    folder = r.fresh(f"pipeline-{flow}-{in_flight}-{sheets}")
    sim_args = FLOWS[flow] + ["--sheets", str(sheets), "--time-scale", "0"]
    scan_args = ["--batch=page%d.pnm", "--format=pnm", "--source", rig.SIMPLEX, "--mode", "24bit Color",
                 "--resolution", "300", "-x", "210", "-y", "297"]
    env = {"VEXMOR_BENCH_PAGES_IN_FLIGHT": str(in_flight)}
    if scale != 1:
        env["VEXMOR_TEST_TIME_SCALE"] = str(scale)
    result = r.scan(folder, sim_args, scan_args, env=env, timeout=600, dumps=False)
    first = os.path.join(folder, "page1.pnm")
    result.page_bytes = rig.pnm_pixel_bytes(first) if os.path.exists(first) else 0
    rig.drop_pages(folder, result, sheets, ".pnm", f"{sheets} sheets with {in_flight} in flight")
    return result


def median(values):
    return sorted(values)[len(values) // 2]


def cpu(result):
    return result.user_seconds + result.system_seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--pages", type=int, default=10)
    parser.add_argument("--flow", choices=sorted(FLOWS), default="native")
    args = parser.parse_args()
    rig.end_on_signals()
    try:
        r = rig.Rig(args.build, os.path.join(args.build, "runs"))
        for in_flight in (1, 2, 4):
            rates = {}
            for scale in (1, 10):
                runs = 2 if scale == 1 else 3
                shorts = [batch(r, args.flow, 2, in_flight, scale) for _ in range(runs)]
                longs = [batch(r, args.flow, 2 + args.pages, in_flight, scale) for _ in range(runs)]
                short = min(shorts, key=lambda x: x.seconds)
                long = min(longs, key=lambda x: x.seconds)
                rates[scale] = args.pages / max(long.seconds - short.seconds, 1e-6)
                if scale == 1:
                    rss = long.peak_rss_kib / 1024
                else:
                    least = (min(shorts, key=cpu), min(longs, key=cpu))
                    user = (least[1].user_seconds - least[0].user_seconds) * 1000 / args.pages
                    system = (least[1].system_seconds - least[0].system_seconds) * 1000 / args.pages
                    pairs = list(zip(shorts, longs))
                    faults = median([(b.minor_faults - a.minor_faults) / args.pages for a, b in pairs])
                    print(f"{args.flow} {in_flight} in flight, pairs: minor faults per page "
                          + ", ".join(f"{(b.minor_faults - a.minor_faults) / args.pages:.0f}" for a, b in pairs)
                          + "; CPU ms per page "
                          + ", ".join(f"{(cpu(b) - cpu(a)) * 1000 / args.pages:.1f}" for a, b in pairs),
                          file=sys.stderr, flush=True)
                    steady = median([(b.minor_faults - a.minor_faults - (b.peak_rss_kib - a.peak_rss_kib) / 4)
                                     / args.pages for a, b in pairs])
                page = long.page_bytes
            bound = (2 * page * in_flight + SPILL_THRESHOLD + 2 * page + 50 * 1024 * 1024) / (1024 * 1024)
            print(f"pipeline {in_flight} in flight: {rates[1]:.2f} pages/s, {rates[10]:.2f} pages/s beyond the "
                  f"fixed waits, peak RSS {rss:.0f} MiB, bound {bound:.0f} MiB, CPU per page {user:.1f} ms user, "
                  f"{system:.1f} ms system, minor faults per page {faults:.0f}, beyond the peak RSS growth "
                  f"{steady:.0f}, page {(page + 4095) // 4096} 4-KiB pages", flush=True)
    except rig.RigError as e:
        print(f"pipeline: {e}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("pipeline: interrupted", file=sys.stderr)
        return 130
    return 0


if __name__ == "__main__":
    sys.exit(main())
