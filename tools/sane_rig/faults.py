"""The fault matrix: the real scanimage, through the backend, the engine,
libvelloc and libvelloc-net, against the scanner simulator once per
injected fault, under valgrind.

usage: faults.py BUILD [--check] [--only NAME] [--no-valgrind]

Prints one Markdown row per fault: the SANE status expected, the status
seen (scanimage's message), the seconds until scanimage exited beside the
row's time-out, the pages written and the bytes valgrind reports lost. A
row passes when the status is the expected one, scanimage ended on its own
within the row's time-out, no more pages were written than the device sent
whole (each equal to what it sent, within the JPEG bound), every page the
backend took from the engine was given back exactly once (its debug log
names both), a row that stops early told the device to stop and it fed at
most one more sheet (a row at full speed only reports the sheets moved),
and valgrind found no leak and no error. With --check the exit status is 1
when a row fails.

No outcome depends on the machine's speed: a device that is to be
interrupted holds its stream until it is told to stop, and the product's
time-outs are the shipped ones except in a row that waits for one to
expire, where VEXMOR_TEST_TIME_SCALE divides them (the scan tree is a test
build) by a factor that still leaves a healthy page seconds under valgrind
on a busy machine. The command layer's answer time-outs never scale: a row
that waits one out has a time-out of its own to match.
"""
import argparse
import json
import os
import re
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import rig  # noqa: E402
import scan  # noqa: E402

# SANE status texts (sane_strstatus) as scanimage prints them.
STATUS_TEXT = {
    "GOOD": "Success",
    "UNSUPPORTED": "Operation not supported",
    "CANCELLED": "Operation was cancelled",
    "DEVICE_BUSY": "Device busy",
    "INVAL": "Invalid argument",
    "EOF": "End of file reached",
    "JAMMED": "Document feeder jammed",
    "NO_DOCS": "Document feeder out of documents",
    "COVER_OPEN": "Scanner cover is open",
    "IO_ERROR": "Error during device I/O",
    "NO_MEM": "Out of memory",
    "ACCESS_DENIED": "Access to resource has been denied",
}


class Fault:
    def __init__(self, name, sim, expect, pages, sheets=3, interrupt=False, timeout=60, one_file=False,
                 profile="gen2-adf", options=(), batch_count=0, full_speed=False, time_scale=1):
        self.name = name
        self.sim = sim              # scanner-sim options
        self.profile = profile      # the simulator's profile
        self.options = options      # scanimage options beyond the common ones
        self.expect = expect        # the SANE status scanimage must report
        self.pages = pages          # pages the device sends whole before the fault
        self.sheets = sheets
        self.interrupt = interrupt  # Ctrl-C once page 2 is under way
        # Seconds until scanimage must have ended: at least twice what the
        # row takes under valgrind on a busy machine.
        self.timeout = timeout
        self.one_file = one_file    # scanimage -o: one page, then a cancel
        self.batch_count = batch_count  # scanimage --batch-count: that many pages, then a cancel
        # A feeder without pauses: the device streams on while the host
        # stops, so how many sheets it moved depends on speed and is only
        # reported.
        self.full_speed = full_speed
        # VEXMOR_TEST_TIME_SCALE: the product's time-outs divided by it.
        self.time_scale = time_scale

    def stops_early(self):
        return self.interrupt or self.one_file or self.batch_count > 0


FULL_SPEED = ["--set", "sheet-ms=0", "--fault", "stall-until-stop@page=200"]
# A full-speed row lasts as long as the engine takes with the pages it read
# ahead before the stop, which under valgrind varies from run to run (8 to
# 28 s on a busy machine).
FULL_SPEED_TIMEOUT = 120
FAULTS = [
    Fault("busy greeting", ["--fault", "greeting-busy=always"], "DEVICE_BUSY", 0),
    Fault("refused connection", ["--fault", "refuse=600000"], "IO_ERROR", 0),
    Fault("reset while opening", ["--fault", "rst-after-greeting@connect=1"], "IO_ERROR", 0),
    # The lone byte holds SSP for its answer time-out, 35 s, a constant of
    # the command layer that the time scale leaves alone: under valgrind on
    # a busy machine the row takes about 38 s, and its time-out is more than
    # twice that.
    Fault("garbage answer", ["--fault", "lone-83@cmd=SSP"], "IO_ERROR", 0, timeout=120),
    Fault("truncated answer", ["--fault", "cut-short@cmd=SSP"], "IO_ERROR", 0),
    Fault("wrong echo", ["--fault", "wrong-echo@cmd=SSP"], "IO_ERROR", 0),
    Fault("disconnect in the middle of a page", ["--fault", "fin@page=2,line=60"], "IO_ERROR", 1),
    # A page time-out of 2.5 s, then the stop's acknowledgement time-out.
    Fault("stall after a page", ["--fault", "stall@page=2"], "IO_ERROR", 1, time_scale=4),
    Fault("paper jam", ["--fault", "jam@page=2,line=20"], "JAMMED", 1),
    Fault("cover open", ["--fault", "cover-open@page=2,line=5"], "COVER_OPEN", 1),
    Fault("empty feeder", [], "NO_DOCS", 0, sheets=0),
    # A double feed stops only a scan that asks the device to detect them.
    Fault("double feed", ["--fault", "double-feed@page=2,line=20"], "JAMMED", 1,
          profile="gen2-adf-detect", options=("--MultifeedDetection=yes",)),
    Fault("corrupt JPEG", ["--fault", "jpeg-corrupt@page=2"], "IO_ERROR", 1),
    # Lines shorter than their rows from line 30 of page 2 on, in line art.
    Fault("short lines (generation 2)", ["--fault", "short-lines@page=2,line=30"], "IO_ERROR", 1,
          options=("--mode", "Black & White")),
    Fault("short lines (generation 1)", ["--fault", "short-lines@page=2,line=30"], "IO_ERROR", 1,
          profile="gen1-adf", options=("--mode", "Black & White")),
    Fault("the device's stop key", ["--fault", "stop-key@page=2,line=20"], "CANCELLED", 1),
    # The device holds page 2 until it is told to stop, however long the
    # interrupt takes to come.
    Fault("Ctrl-C in the middle of a page", ["--fault", "stall-until-stop@page=2,line=40"], "CANCELLED", 1,
          interrupt=True),
    # Five seconds a sheet: the stop reaches the device long before the
    # third sheet, however slow the host.
    Fault("one page of a full feeder (-o)", ["--set", "sheet-ms=50000"], "GOOD", 1, sheets=4, one_file=True),
    # A hundred duplex sheets and no feeder pause: the engine reads ahead
    # while the front end stops, and ending the job must not cost a page
    # read back for every page it holds. The last page waits for the stop,
    # so a slow host still finds the scan running when it stops it.
    Fault("two pages of a full feeder at full speed (generation 2)", FULL_SPEED, "GOOD", 2,
          sheets=100, batch_count=2, full_speed=True, options=("--source", rig.DUPLEX),
          timeout=FULL_SPEED_TIMEOUT),
    Fault("two pages of a full feeder at full speed (generation 1)", FULL_SPEED, "GOOD", 2,
          sheets=100, batch_count=2, full_speed=True, profile="gen1-adf", options=("--source", rig.DUPLEX),
          timeout=FULL_SPEED_TIMEOUT),
    Fault("one page of a full feeder at full speed (-o)", FULL_SPEED, "GOOD", 1, sheets=100,
          one_file=True, full_speed=True, options=("--source", rig.DUPLEX), timeout=FULL_SPEED_TIMEOUT),
]
# The backend's debug log names the engine's page of every read and give-back.
PAGE_READ = re.compile(r"engine page (-?\d+) read: 0\b")
PAGE_GIVEN_BACK = re.compile(r"engine page (-?\d+) given back")

# scanimage's lines that carry a status: "scanimage: sane_start: TEXT",
# "scanimage: sane_read: TEXT", "scanimage: open of device D failed: TEXT".
STATUS_LINE = re.compile(r"^scanimage: (?:sane_\w+|open of device .* failed): (.+)$", re.M)


def seen_status(result):
    """The SANE status scanimage reported (GOOD when it reported none)."""
    found = STATUS_LINE.findall(result.err)
    if not found:
        return "GOOD", ""
    text = found[-1].strip()
    # A batch ends at the first sane_start that finds the feeder empty:
    # after a page that is scanimage's normal end (exit status 0).
    if text == STATUS_TEXT["NO_DOCS"] and result.exit_code == 0 and "Batch terminated" in result.err:
        return "GOOD", "batch ended by an empty feeder"
    for name, status_text in STATUS_TEXT.items():
        # Some libsane builds spell it "canceled".
        if text == status_text or (name == "CANCELLED" and text == "Operation was canceled"):
            return name, text
    return "?", text


def page_started(folder, number):
    """Whether the simulator began sending page number (its transcript says so)."""
    try:
        with open(os.path.join(folder, "transcript.jsonl")) as f:
            for line in f:
                if '"event":"page"' in line and json.loads(line).get("page") == number:
                    return True
    except (OSError, ValueError):
        pass
    return False


def pages_not_given_back_once(stderr):
    """The engine's pages the backend read but did not give back exactly once,
    or gave back without having read them."""
    read = {}
    for page in PAGE_READ.findall(stderr):
        read[page] = read.get(page, 0) + 1
    given = {}
    for page in PAGE_GIVEN_BACK.findall(stderr):
        given[page] = given.get(page, 0) + 1
    return sorted(p for p in set(read) | set(given) if read.get(p, 0) != 1 or given.get(p, 0) != 1)


def transcript_lines(folder):
    try:
        with open(os.path.join(folder, "transcript.jsonl")) as f:
            return f.read().splitlines()
    except OSError:
        return []


def valgrind_findings(log):
    """(bytes definitely and indirectly lost, errors) from valgrind's log."""
    try:
        with open(log, errors="replace") as f:
            text = f.read()
    except OSError:
        return None, None
    lost = 0
    for kind in ("definitely", "indirectly"):
        m = re.search(kind + r" lost: ([\d,]+) bytes", text)
        if m:
            lost += int(m.group(1).replace(",", ""))
    m = re.search(r"ERROR SUMMARY: ([\d,]+) errors", text)
    errors = int(m.group(1).replace(",", "")) if m else None
    return lost, errors


def run_fault(r, fault, use_valgrind):
    folder = r.fresh("fault-" + re.sub(r"[^a-z0-9]+", "-", fault.name.lower()).strip("-"))
    sim_args = ["--profile", fault.profile, "--sheets", str(fault.sheets), "--time-scale", "0.1"] + fault.sim
    output = ["-o", "out1.pnm"] if fault.one_file else ["--batch=out%d.pnm"]
    if fault.batch_count:
        output.append(f"--batch-count={fault.batch_count}")
    scan_args = output + ["--format=pnm", "--source", rig.SIMPLEX, "--mode", "True Gray",
                          "--resolution", "100", "-x", "105", "-y", "148"] + list(fault.options)
    wrapper = None
    log = os.path.join(folder, "valgrind.log")
    if use_valgrind:
        wrapper = ["valgrind", "--leak-check=full", "--show-leak-kinds=definite,indirect",
                   "--errors-for-leak-kinds=definite,indirect", "--log-file=" + log]
    interrupt = (lambda: page_started(folder, 2)) if fault.interrupt else None
    result = r.scan(folder, sim_args, scan_args, env={"VEXMOR_TEST_TIME_SCALE": str(fault.time_scale),
                                                      "kavrun5_debuglog": "2"},
                    timeout=fault.timeout, wrapper=wrapper, interrupt_after=interrupt)
    status, text = seen_status(result)
    written = 0
    while os.path.exists(os.path.join(folder, f"out{written + 1}.pnm")):
        written += 1
    problems = []
    if result.timed_out:
        problems.append(f"no end within {fault.timeout} s")
    elif result.exit_code is not None and result.exit_code < 0:
        problems.append(f"ended by signal {-result.exit_code}")
    if status != fault.expect:
        problems.append(f"status {status}")
    if status != "GOOD" and result.exit_code == 0:
        problems.append("exit status 0 after an error")
    if written > fault.pages:
        problems.append(f"{written} pages written, the device sent {fault.pages} whole")
    elif written < fault.pages and not fault.interrupt:
        problems.append(f"{written} pages written of the {fault.pages} the device sent whole")
    kept = pages_not_given_back_once(result.err)
    if kept:
        problems.append("engine pages not given back exactly once: " + ", ".join(kept))
    transcript = transcript_lines(folder)
    moved = sum('"event":"sheet"' in line for line in transcript)
    if fault.stops_early():
        if not any('"command":"ABT"' in line or '"command":"R"' in line for line in transcript):
            problems.append("the device was not told to stop")
        if moved > fault.pages + 1 and not fault.full_speed:
            problems.append(f"{moved} sheets moved for {fault.pages} page(s)")
    if fault.full_speed and written != fault.pages:
        problems.append(f"{written} pages written of the {fault.pages} asked for")
    for number in range(1, written + 1):
        value, why = scan.psnr(os.path.join(folder, f"out{number}.pnm"),
                               os.path.join(folder, "sent", f"scan001-page{number:03d}.pnm"))
        if value is None or value < scan.JPEG_MIN_PSNR:
            problems.append(f"page {number} is not the page sent ({why or f'{value:.1f} dB'})")
    lost, errors = valgrind_findings(log) if use_valgrind else (None, None)
    if use_valgrind:
        if lost is None or errors is None:
            problems.append("no valgrind summary")
        else:
            if lost:
                problems.append(f"{lost} bytes lost")
            if errors:
                problems.append(f"{errors} valgrind errors")
    return {
        "fault": fault.name,
        "expected": fault.expect,
        "seen": f"{status} ({text})" if text else status,
        "seconds": result.seconds,
        "timeout": fault.timeout,
        "pages": written,
        "sheets": moved,
        "leaks": "-" if not use_valgrind else ("?" if lost is None else f"{lost} B"),
        "verdict": "ok" if not problems else "**" + "; ".join(problems) + "**",
        "passed": not problems,
        "folder": folder,
    }


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("--check", action="store_true", help="exit 1 when a row fails")
    parser.add_argument("--only", help="run the faults whose name holds this text")
    parser.add_argument("--no-valgrind", action="store_true")
    args = parser.parse_args()
    rig.end_on_signals()
    use_valgrind = not args.no_valgrind
    if use_valgrind and not os.path.exists("/usr/bin/valgrind"):
        print("faults: no /usr/bin/valgrind; install it (scripts/setup) or pass --no-valgrind", file=sys.stderr)
        return 2
    try:
        r = rig.Rig(args.build, os.path.join(args.build, "runs"))
    except rig.RigError as e:
        print(f"faults: {e}", file=sys.stderr)
        return 2
    rows = []
    started = time.monotonic()
    try:
        for fault in FAULTS:
            if args.only and args.only not in fault.name:
                continue
            print(f"fault: {fault.name} ...", file=sys.stderr, flush=True)
            rows.append(run_fault(r, fault, use_valgrind))
    except KeyboardInterrupt:
        print("faults: interrupted", file=sys.stderr)
        return 130
    except rig.RigError as e:
        print(f"faults: {e}", file=sys.stderr)
        return 2
    lines = ["| Fault | Expected status | Status seen | Seconds | Time-out | Pages written | Sheets moved "
             "| Lost (valgrind) | |",
             "|---|---|---|---:|---:|---:|---:|---:|---|"]
    for row in rows:
        lines.append(f"| {row['fault']} | {row['expected']} | {row['seen']} | {row['seconds']:.1f} | "
                     f"{row['timeout']} | {row['pages']} | {row['sheets']} | {row['leaks']} | {row['verdict']} |")
    table = "\n".join(lines) + "\n"
    with open(os.path.join(r.work, "faults.md"), "w") as f:
        f.write(table)
    print(table)
    failed = [row for row in rows if not row["passed"]]
    print(f"{len(rows) - len(failed)} of {len(rows)} rows as expected in {time.monotonic() - started:.0f} s; "
          f"table in {os.path.join(r.work, 'faults.md')}")
    for row in failed:
        print(f"faults: {row['fault']}: see {row['folder']}", file=sys.stderr)
    return 1 if failed and args.check else 0


if __name__ == "__main__":
    sys.exit(main())
