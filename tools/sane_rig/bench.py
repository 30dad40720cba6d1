"""The benchmark table behind scripts/bench: runs the benchmark tools of a
Release scan tree and the whole-pipeline and slow-front-end runs, measures
the anchors, and prints one Markdown table with every figure beside an
anchor of the same run, their ratio and the goal; writes the table and a
PNG chart of pages/s against pages in flight to OUT.

usage: bench.py BUILD OUT ROOT
"""
import os
import re
import subprocess
import sys
import tempfile
import time

build, out, root = sys.argv[1], sys.argv[2], sys.argv[3]
tools = os.path.join(build, "tools")
rows = []  # (figure, ours, anchor, anchor figure, ratio, goal, met)


def run(name, argv, env=None):
    """Runs a tool, keeps its output in out/NAME.txt, returns it."""
    print(f"running {name} ...", file=sys.stderr, flush=True)
    full_env = dict(os.environ, **(env or {}))
    done = subprocess.run(argv, env=full_env, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    with open(os.path.join(out, name + ".txt"), "w") as f:
        f.write(done.stdout)
    if done.returncode != 0:
        print(f"{name} exited with {done.returncode}; see {out}/{name}.txt", file=sys.stderr)
    return done.stdout


def row(figure, ours, anchor, anchor_figure, ratio, goal, met):
    verdict = "" if met is None else ("met" if met else "**not met**")
    rows.append((figure, ours, anchor, anchor_figure, f"{ratio:.2f}" if ratio is not None else "-", goal, verdict))


def no_figure(figure, anchor, why):
    rows.append((figure, why, anchor, "-", "-", "", "**not measured**"))


# Own JPEG decoder against libjpeg-turbo with SIMD and with JSIMD_FORCENONE=1.
text = run("bench_jpeg_decode", [os.path.join(tools, "bench_jpeg_decode", "bench_jpeg_decode")])
found = False
for line in text.splitlines():
    fields = line.split()
    if len(fields) < 9 or not line.startswith("A4 "):
        continue
    jd, band, simd, scalar = (float(v) for v in fields[-8:-4])
    page = " ".join(fields[:-8])
    found = True
    for what, ours in (("own decoder", jd), ("own decoder, band reads", band)):
        row(f"JPEG decode, {page}: {what}", f"{ours:.1f} MP/s", "libjpeg-turbo SIMD", f"{simd:.1f} MP/s",
            ours / simd, "≥ 0.5", ours / simd >= 0.5)
        row(f"JPEG decode, {page}: {what}", f"{ours:.1f} MP/s", "libjpeg-turbo JSIMD_FORCENONE=1",
            f"{scalar:.1f} MP/s", ours / scalar, "≥ 1.0", ours / scalar >= 1.0)
if not found:
    no_figure("JPEG decode", "libjpeg-turbo", "the tool printed no figures")

# ImageMagick's anchors get memory enough to keep a 600-dpi page's pixel
# cache in memory: Debian's policy (256 MiB) moves it to disk, which would
# time the disk rather than the resampling.
policy = os.path.join(out, "magick")
os.makedirs(policy, exist_ok=True)
with open(os.path.join(policy, "policy.xml"), "w") as f:
    f.write('<policymap>\n'
            '  <policy domain="resource" name="memory" value="4GiB"/>\n'
            '  <policy domain="resource" name="map" value="8GiB"/>\n'
            '  <policy domain="resource" name="area" value="1GP"/>\n'
            '</policymap>\n')
magick_env = {"MAGICK_CONFIGURE_PATH": policy}

# Resolution change: the scan decoder against ImageMagick and libvips, each
# on one thread and less its own load-and-save run (the tool does that).
text = run("bench_scan_decode", [os.path.join(tools, "bench_scan_decode", "bench_scan_decode"), "2"], magick_env)
pattern = re.compile(r"^\S+ (\d+) -> (\d+)\s+(\d+)-bit\s+([\d.]+)s\s+(-?[\d.]+)s\s+(-?[\d.]+)s")
found = False
resize = {}  # (dpi in, dpi out, bits) -> the scan decoder's seconds
for line in text.splitlines():
    m = pattern.match(line)
    if not m:
        continue
    found = True
    dpi_in, dpi_out, bits = m.group(1), m.group(2), m.group(3)
    ours = float(m.group(4))
    resize[(int(dpi_in), int(dpi_out), int(bits))] = ours
    for anchor, seconds in (("ImageMagick -resize, 1 thread", float(m.group(5))),
                            ("libvips resize, 1 thread", float(m.group(6)))):
        figure = f"resolution change A4 {dpi_in} → {dpi_out} dpi, {bits}-bit"
        if seconds <= 0:
            no_figure(figure, anchor, "anchor did not run")
            continue
        ratio = seconds / ours
        row(figure, f"{ours:.3f} s", anchor, f"{seconds:.3f} s", ratio, "≥ 0.5", ratio >= 0.5)
if not found:
    no_figure("resolution change", "ImageMagick, libvips", "the tool printed no figures")

# Rotation by 2 degrees (bilinear): the image library's figure from
# bench_imagelib, the anchors timed here on a page of the same size and
# depth, less their load-and-save-only runs.
text = run("bench_imagelib", [os.path.join(tools, "bench_imagelib", "bench_imagelib"), "1"])
ours_rotation = {}
for line in text.splitlines():
    m = re.match(r"^rotate 2 deg (\d+) to \d+ A4 (\d+) dpi\s+([\d.]+) pages/s", line)
    if m:
        ours_rotation[(int(m.group(2)), int(m.group(1)))] = float(m.group(3))


def best_of(argv, runs, env=None):
    best = None
    for _ in range(runs):
        start = time.perf_counter()
        done = subprocess.run(argv, env=dict(os.environ, **(env or {})), stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL)
        if done.returncode != 0:
            return None
        elapsed = time.perf_counter() - start
        best = elapsed if best is None else min(best, elapsed)
    return best


def write_page(path, dpi, bits):
    """A4 at dpi: a white page with dark lines of 'text' and a grey patch."""
    width, height = 2480 * dpi // 300, 3508 * dpi // 300
    channels = 3 if bits == 24 else 1
    row_bytes = bytearray(b"\xf8" * (width * channels))
    text_row = bytearray(row_bytes)
    for x in range(width // 10, width * 9 // 10):
        if (x // (dpi // 30)) % 3 != 2:
            text_row[x * channels:(x + 1) * channels] = b"\x20" * channels
    with open(path, "wb") as f:
        f.write(f"P{6 if channels == 3 else 5}\n{width} {height}\n255\n".encode())
        for y in range(height):
            in_text = (y // (dpi // 12)) % 2 == 0 and height // 10 < y < height * 9 // 10
            f.write(text_row if in_text and (y // (dpi // 100)) % 3 != 0 else row_bytes)


print("running rotation anchors ...", file=sys.stderr, flush=True)
with tempfile.TemporaryDirectory() as scratch:
    for dpi in (300, 600):
        for bits in (24, 8):
            ours = ours_rotation.get((dpi, bits))
            figure = f"rotation 2° A4 {dpi} dpi, {bits}-bit"
            page = os.path.join(scratch, "page.ppm" if bits == 24 else "page.pgm")
            result = os.path.join(scratch, "out.ppm" if bits == 24 else "out.pgm")
            write_page(page, dpi, bits)
            magick = ["convert", "-limit", "thread", "1", page]
            vips_env = {"VIPS_CONCURRENCY": "1"}
            anchors = (
                ("ImageMagick -distort SRT (bilinear), 1 thread",
                 best_of(magick + ["-virtual-pixel", "white", "-interpolate", "bilinear", "-filter", "point",
                                   "-distort", "SRT", "2", result], 2, magick_env),
                 best_of(magick + [result], 2, magick_env)),
                ("libvips rotate (bilinear), 1 thread",
                 best_of(["vips", "rotate", page, result, "2"], 2, vips_env),
                 best_of(["vips", "copy", page, result], 2, vips_env)),
            )
            for anchor, turned, copied in anchors:
                if ours is None:
                    no_figure(figure, anchor, "bench_imagelib printed no rotation figure")
                elif turned is None or copied is None:
                    no_figure(figure, anchor, "anchor did not run")
                else:
                    seconds = max(turned - copied, 1e-6)
                    ratio = ours * seconds
                    row(figure, f"{1 / ours:.3f} s", anchor, f"{seconds:.3f} s", ratio, "≥ 0.5", ratio >= 0.5)

# Loopback reads through libvelloc and its network plug-in against a plain
# recv loop on the same scripted scanner.
text = run("net-throughput", [os.path.join(tools, "net_throughput", "net-throughput"), "--bytes", "256M",
                              "--rounds", "5"])
rates = dict(re.findall(r"^(baseline|plug-in)\s+received .* ([\d.]+) MB/s;", text, re.M))
if "baseline" in rates and "plug-in" in rates:
    ours, anchor = float(rates["plug-in"]), float(rates["baseline"])
    row("loopback read through libvelloc", f"{ours:.0f} MB/s", "plain socket reader", f"{anchor:.0f} MB/s",
        ours / anchor, "≥ 0.8", ours / anchor >= 0.8)
else:
    no_figure("loopback read through libvelloc", "plain socket reader", "the tool printed no figures")

# sane_read of a 600-dpi A4 colour page against memcpy of it in the same chunks.
text = run("bench_sane_read", [os.path.join(tools, "bench_sane_read", "bench_sane_read")])
m = re.search(r"sane_read ([\d.]+) MB/s, memcpy ([\d.]+) MB/s", text)
if m:
    ours, anchor = float(m.group(1)), float(m.group(2))
    row("sane_read, A4 600 dpi colour, 32 KiB buffer", f"{ours:.0f} MB/s", "memcpy of the page",
        f"{anchor:.0f} MB/s", ours / anchor, "≥ 0.5", ours / anchor >= 0.5)
else:
    no_figure("sane_read", "memcpy of the page", "the tool printed no figures")

# The per-page scheduler with the real decode and enhancement tasks: pages/s
# with 1, 2 and 4 pages in flight (beside 1 in flight) and the peak RSS
# beside 2 x page x (in flight + 1) + 50 MiB: each page in flight holds its
# device data and bitmap, the producer the next page, the consumer the one
# it takes.
text = run("bench_image_processor", [os.path.join(tools, "bench_image_processor", "bench_image_processor"), "20"])
pattern = re.compile(r"^(\d+) dpi (gray|colour), (\d) in flight\s+([\d.]+)\s+\d+\s+\d+\s+(\d+) MiB\s+\d+ MiB\s+"
                     r"(\d+) MiB")
scheduler = {}
for line in text.splitlines():
    m = pattern.match(line)
    if m:
        scheduler[(int(m.group(1)), m.group(2), int(m.group(3)))] = (float(m.group(4)), float(m.group(5)),
                                                                     float(m.group(6)))
if (300, "colour", 1) in scheduler:
    single = scheduler[(300, "colour", 1)][0]
    for n in (1, 2, 4):
        if (300, "colour", n) not in scheduler:
            continue
        rate, rss, bound = scheduler[(300, "colour", n)]
        figure = f"scheduler, A4 300 dpi colour raw lines, {n} in flight"
        goal = "≥ 10 pages/s" if n == 4 else ""
        row(figure + ": pages/s", f"{rate:.1f} pages/s", "1 in flight", f"{single:.1f} pages/s", rate / single,
            goal, rate >= 10 if n == 4 else None)
        row(figure + ": peak RSS", f"{rss:.0f} MiB", "2 × page × (in flight + 1) + 50 MiB", f"{bound:.0f} MiB",
            rss / bound, "≤ 1.0", rss <= bound)
else:
    no_figure("scheduler", "1 in flight", "the tool printed no figures")

# The floor of a page's CPU: libjpeg-turbo decoding the JPEG stream the
# simulator sends for the pipeline's page, plus one memcpy of the decoded
# page, in buffers already faulted in; the least any driver must do. At 300
# dpi for the native flow; at 200 dpi, the page the converted flow's device
# sends, plus the scan decoder's own enlargement 200 -> 300 dpi above for
# that flow, whose engine enlarges every page so.
floors = {}
for dpi in (300, 200):
    text = run(f"bench_page_floor_{dpi}", [os.path.join(tools, "bench_page_floor", "bench_page_floor"), "--dpi",
                                            str(dpi)])
    m = re.search(rf"^floor A4 {dpi} dpi colour: ([\d.]+) ms CPU per page", text, re.M)
    if m:
        floors[dpi] = float(m.group(1))
floor = floors.get(300)
converted_floor = floors[200] + 1000 * resize[(200, 300, 24)] if 200 in floors and (200, 300, 24) in resize else None


def pipeline_rows(flow, text, cpu_anchor, cpu_floor, alone=None, cpu_bound=False):
    """Rows of one flow of the whole pipeline from pipeline.py's output, its
    pages/s at one in flight also beside alone (the scheduler's) when given;
    with cpu_bound, one page at a time may fall short of 10 pages/s by what
    the CPU anchor's work costs one thread. Returns {in flight: (pages/s as
    shipped, beyond the fixed waits)}."""
    figures = {}
    for m in re.finditer(r"^pipeline (\d) in flight: ([\d.]+) pages/s, ([\d.]+) pages/s beyond the fixed waits, "
                         r"peak RSS (\d+) MiB, bound (\d+) MiB, CPU per page (-?[\d.]+) ms user, (-?[\d.]+) ms "
                         r"system, minor faults per page (-?\d+), beyond the peak RSS growth (-?\d+), page (\d+) "
                         r"4-KiB pages", text, re.M):
        figures[int(m.group(1))] = tuple(float(m.group(i)) for i in range(2, 11))
    if 1 not in figures:
        no_figure(f"whole pipeline simulator → scanimage, {flow}", "as shipped", "the run failed; see its output")
        return {}
    for n, (shipped, beyond, rss, bound, user, system, faults, steady, pages) in sorted(figures.items()):
        figure = f"whole pipeline simulator → scanimage, {flow}, {n} in flight"
        # One page at a time of a flow bound by its CPU: the goal is the row below.
        single = n == 1 and cpu_bound and cpu_floor
        row(figure + ": pages/s beyond the fixed waits", f"{beyond:.1f} pages/s", "as shipped (100 ms per "
            "status query, 200 ms poll)", f"{shipped:.1f} pages/s", beyond / shipped, "" if single else "≥ 10 pages/s",
            None if single else beyond >= 10)
        if single:
            # One thread doing the anchor's work, page after page, reaches
            # no more than this.
            ceiling = 1000 / cpu_floor
            row(figure + ": pages/s beyond the fixed waits", f"{beyond:.1f} pages/s", "one thread at the CPU anchor",
                f"{ceiling:.1f} pages/s", beyond / ceiling, "≥ 0.9, or ≥ 10 pages/s",
                beyond >= 10 or beyond >= 0.9 * ceiling)
        if n == 1 and alone is not None:
            row(figure + ": pages/s beyond the fixed waits", f"{beyond:.1f} pages/s", "scheduler alone, 1 in flight",
                f"{alone:.1f} pages/s", beyond / alone, "≥ 0.9, or ≥ 10 pages/s", beyond >= 10 or beyond >= 0.9 * alone)
        row(figure + ": peak RSS", f"{rss:.0f} MiB", "2 × page × in flight + 200 MiB + 2 pages + 50 MiB",
            f"{bound:.0f} MiB", rss / bound, "≤ 1.0", rss <= bound)
        total = user + system
        share = f"{100 * system / total:.0f} %" if total > 0 else "-"
        if cpu_floor is None:
            no_figure(figure + ": CPU per page", cpu_anchor, "bench_page_floor or bench_scan_decode printed no figure")
        else:
            row(figure + ": CPU per page, user + system", f"{total:.1f} ms (system {share})", cpu_anchor,
                f"{cpu_floor:.1f} ms", cpu_floor / total if total > 0 else None, "≥ 0.33 (within 3 × the floor)",
                total <= 3 * cpu_floor)
        row(figure + ": system CPU per page", f"{system:.1f} ms", "user CPU per page", f"{user:.1f} ms",
            user / system if system > 0 else None, "≥ 1.0 (system ≤ user)", system <= user)
        row(figure + ": minor page faults per page", f"{faults:.0f}", "the page's 4-KiB pages", f"{pages:.0f}",
            faults / pages, "", None)
        row(figure + ": minor page faults per page beyond the peak RSS growth (steady state)", f"{steady:.0f}",
            "the page's 4-KiB pages", f"{pages:.0f}", steady / pages, "≤ 0.10", steady <= 0.1 * pages)
    return {n: (v[0], v[1]) for n, v in figures.items()}


# The whole pipeline, scanner simulator -> scanimage, A4 300 dpi colour,
# with 1, 2 and 4 pages in flight, without the device's delays: pages/s as
# shipped, and beyond the stack's fixed waits (the status query's 100 ms and
# the backend's 200 ms poll divided by 10; goal >= 10, or at one page in
# flight within 10 % of the scheduler alone), scanimage's peak RSS beside
# 2 x page x in flight + the engine's share of finished pages (200 MiB) + 2
# pages in the backend's queue + 50 MiB, and scanimage's CPU per page beyond the
# fixed waits beside the floor (goal: within 3 x) with its system share
# (goal: system no more than user), and scanimage's minor page faults per
# page beside the page's own 4-KiB pages, as measured and less the growth of
# the peak RSS between the batches (goal for the latter, the steady state: at
# most a tenth of them, the decoded page landing in memory already mapped).
# Twice: the native flow, 300 dpi among the device's resolutions, and the
# converted flow, the simulator's built-in resolutions, where the device
# scans at 200 dpi and the engine enlarges each page to 300 dpi; its CPU
# stands beside the floor of the 200-dpi page plus that enlargement.
text = run("pipeline", [sys.executable, os.path.join(root, "tools", "sane_rig", "pipeline.py"), build])
pipeline = pipeline_rows("A4 300 dpi colour", text, "floor: libjpeg-turbo decode + one memcpy", floor,
                         scheduler.get((300, "colour", 1), (None,))[0])
text = run("pipeline_converted", [sys.executable, os.path.join(root, "tools", "sane_rig", "pipeline.py"), build,
                                  "--flow", "converted"])
pipeline_rows("A4 300 dpi colour scanned at 200 dpi and enlarged", text,
              "floor at 200 dpi + the scan decoder's enlargement 200 → 300 dpi, 24-bit", converted_floor,
              cpu_bound=True)
pipeline_shipped = {n: v[0] for n, v in pipeline.items()}
pipeline = {n: v[1] for n, v in pipeline.items()}

# A front end slower than the scanner (scanimage writing PNG, duplex A4
# colour, the simulator without delays): scanimage's peak RSS for short and
# long batches beside the bound 2 x page x in flight + the engine's share of
# finished pages (200 MiB) + 2 queued pages + 50 MiB; goal: within the
# bound, and the longest batch within one page of the next shorter one.
text = run("memory", [sys.executable, os.path.join(root, "tools", "sane_rig", "memory.py"), build])
found = False
for m in re.finditer(r"^slow front end (\d+) dpi: (.*), bound (\d+) MiB, (ok|over)$", text, re.M):
    found = True
    batches = re.findall(r"(\d+) sheets (\d+) MiB \(temp (\d+) MiB\)", m.group(2))
    bound = float(m.group(3))
    longest = max(float(rss) for _, rss, _ in batches)
    figures = ", ".join(f"{sheets} sheets {rss} MiB" for sheets, rss, _ in batches)
    temp = max(int(t) for _, _, t in batches)
    row(f"slow front end (PNG), A4 {m.group(1)} dpi colour duplex: peak RSS", figures + f" (temporary files "
        f"at most {temp} MiB)", "2 × page × in flight + 200 MiB + 2 pages + 50 MiB", f"{bound:.0f} MiB",
        longest / bound, "≤ 1.0, longest batch within a page of the next", m.group(4) == "ok")
if not found:
    no_figure("slow front end (PNG)", "bound", "the run failed; see memory.txt")

# The largest pages (memory.py too): one A4 colour duplex sheet at 1200 dpi,
# scanimage writing PNM, its peak RSS (the highest of the runs) beside 3.1
# times the page: pages moved to temporary files must free their memory.
m = re.search(r"^one sheet 1200 dpi duplex: peak RSS ([\d, ]+) MiB, page ([\d.]+) MiB, bound (\d+) MiB, (ok|over)$",
              text, re.M)
if m:
    peaks = [int(v) for v in m.group(1).split(",")]
    page, bound = float(m.group(2)), float(m.group(3))
    row("one A4 colour duplex sheet at 1200 dpi (PNM): peak RSS", f"{max(peaks)} MiB ({max(peaks) / page:.2f} × the "
        f"page of {page:.1f} MiB; runs {m.group(1)} MiB)", "3.1 × the page", f"{bound:.0f} MiB", max(peaks) / bound,
        "≤ 1.0", m.group(4) == "ok")
else:
    no_figure("one A4 colour duplex sheet at 1200 dpi: peak RSS", "3.1 × the page", "the run failed; see memory.txt")

# Ending a job while the engine holds pages it read ahead: scanimage stops
# after two pages and after one of a 100-sheet duplex A4 colour feeder sent
# at full speed; goal: exit within 2 s of the last page, both generations.
text = run("cancel_cost", [sys.executable, os.path.join(root, "tools", "sane_rig", "cancel_cost.py"), build])
found = False
for m in re.finditer(r"^cancel (\S+) (\S+): exit ([\d.]+) s after the last page, (\d+) pages sent, temp (\d+) MiB, "
                     r"(ok|slow)$", text, re.M):
    found = True
    seconds = float(m.group(3))
    row(f"cancel with pages read ahead, {m.group(1)} {m.group(2)}: exit after the last page",
        f"{seconds:.2f} s ({m.group(4)} pages sent, temporary files at most {m.group(5)} MiB)", "goal", "2 s",
        seconds / 2.0, "≤ 1.0", m.group(6) == "ok")
if not found:
    no_figure("cancel with pages read ahead", "goal", "the run failed; see cancel_cost.txt")

lines = ["| Figure | Ours | Anchor (same run) | Anchor's figure | Ratio | Goal | |",
         "|---|---:|---|---:|---:|---|---|"]
lines += ["| " + " | ".join(r) + " |" for r in rows]
lines.append("")
lines.append("Ratio: ours over the anchor as speeds (above 1: faster than the anchor); for peak RSS, ours over "
             "the bound; for CPU per page, the anchor's time over ours; for page faults, ours over the page's 4-KiB "
             "pages. Times are per page, best of the runs; "
             "anchors run on one thread, less their load-and-save-only runs, ImageMagick with memory enough for a "
             "600-dpi page. CPU per page is scanimage's user and system time, a 12-sheet batch less a 2-sheet one "
             "over 10 pages, beyond the fixed waits; minor page faults per page likewise, the median of three "
             "such pairs, and once more less the growth of the peak RSS between the two batches in 4-KiB pages "
             "(the pages a longer batch holds at once are new memory however well it is reused).")
table = "\n".join(lines) + "\n"
with open(os.path.join(out, "bench.md"), "w") as f:
    f.write(table)

# The chart: pages/s against pages in flight, one line per page kind.
data = os.path.join(out, "pages_in_flight.dat")
with open(data, "w") as f:
    for dpi, kind in ((300, "gray"), (300, "colour"), (600, "gray"), (600, "colour")):
        f.write(f'"scheduler, {dpi} dpi {kind}"\n')
        for n in (1, 2, 4):
            if (dpi, kind, n) in scheduler:
                f.write(f"{n} {scheduler[(dpi, kind, n)][0]}\n")
        f.write("\n\n")
    if pipeline:
        f.write('"whole pipeline, 300 dpi colour, beyond the fixed waits"\n')
        for n, rate in sorted(pipeline.items()):
            f.write(f"{n} {rate}\n")
        f.write("\n\n")
        f.write('"whole pipeline, 300 dpi colour, as shipped"\n')
        for n, rate in sorted(pipeline_shipped.items()):
            f.write(f"{n} {rate}\n")
        f.write("\n\n")
chart = os.path.join(out, "pages_in_flight.png")
series = 4 + (2 if pipeline else 0)
script = f"""set terminal pngcairo size 800,500
set output '{chart}'
set title 'Pages per second against pages in flight (A4)'
set xlabel 'pages in flight'
set ylabel 'pages/s'
set xtics (1, 2, 4)
set key left top
set grid
plot for [i=0:{series - 1}] '{data}' index i using 1:2 with linespoints lw 2 title columnheader(1)
"""
done = subprocess.run(["gnuplot"], input=script, text=True, stderr=subprocess.PIPE)
if done.returncode != 0:
    print("gnuplot failed: " + done.stderr, file=sys.stderr)

print(table)
print(f"written: {os.path.join(out, 'bench.md')}, {chart}")
