"""What ending a job costs when the device has read far ahead of the front
end: scanimage (no valgrind) stops after two pages (--batch-count=2) and
after one (-o) of a 100-sheet duplex feeder of A4 sheets at 200 dpi in
colour that the simulator sends without feeder pauses, for both protocol
generations. The engine reads ahead while scanimage writes its pages; the
job must end as fast however many pages it holds.

usage: cancel_cost.py BUILD

Prints one line per run:
  cancel GEN OUTPUT: exit S s after the last page, D pages sent, temp T MiB, ok|slow
where S is measured from the last page file's change, D is the pages the
simulator began (its own count) and T the peak of the engine's temporary folder, which
must be empty once scanimage has ended. A run is ok when S is at most 2 s.
"""
import argparse
import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import memory  # noqa: E402
import rig  # noqa: E402

MIB = 1024 * 1024
GOAL_SECONDS = 2.0
OUTPUTS = (("--batch-count=2", ["--batch=page%d.pnm", "--batch-count=2"], 2), ("-o", ["-o", "page1.pnm"], 1))


def run(r, profile, what, output, pages):
    folder = r.fresh(f"cancel-{profile}-{what.strip('-')}")
    temp = r.temp[0] if r.temp else "/tmp"
    sim_args = ["--profile", profile, "--set", "sheet=A4", "--set", "sheet-ms=0", "--sheets", "100",
                "--time-scale", "0"]
    scan_args = output + ["--format=pnm", "--source", rig.DUPLEX, "--mode", "24bit Color", "--resolution", "200",
                          "-x", "210", "-y", "297"]
    peak_temp = [0]

    def watch():
        peak_temp[0] = max(peak_temp[0], memory.engine_temp_bytes(temp))
        return False

    result = r.scan(folder, sim_args, scan_args, timeout=300, interrupt_after=watch, dumps=False)
    files = [os.path.join(folder, f"page{n}.pnm") for n in range(1, pages + 1)]
    if result.exit_code != 0 or not all(os.path.exists(f) for f in files):
        raise rig.RigError(f"{profile} {what}: scanimage exited {result.exit_code}: {result.err[-400:]}")
    after = result.ended_at - max(os.path.getmtime(f) for f in files)
    # The simulator's summary line at its end: "..., N pages, ...".
    found = re.search(r"(\d+) pages,", result.sim_log)
    sent = int(found.group(1)) if found else -1
    for f in files:
        os.remove(f)
    left = memory.engine_temp_bytes(temp)
    if left:
        raise rig.RigError(f"{left} bytes left in {temp} after {profile} {what}")
    return after, sent, peak_temp[0]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    args = parser.parse_args()
    rig.end_on_signals()
    status = 0
    try:
        r = rig.Rig(args.build, os.path.join(args.build, "runs"))
        for profile in ("gen2-adf", "gen1-adf"):
            for what, output, pages in OUTPUTS:
                after, sent, temp = run(r, profile, what, output, pages)
                ok = after <= GOAL_SECONDS
                status |= 0 if ok else 1
                print(f"cancel {profile} {what}: exit {after:.2f} s after the last page, {sent} pages sent, "
                      f"temp {temp / MIB:.0f} MiB, {'ok' if ok else 'slow'}", flush=True)
    except rig.RigError as e:
        print(f"cancel_cost: {e}", file=sys.stderr)
        return 1
    except KeyboardInterrupt:
        print("cancel_cost: interrupted", file=sys.stderr)
        return 130
    return status


if __name__ == "__main__":
    sys.exit(main())
