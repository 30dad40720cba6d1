"""Runs the real scanimage against the scanner simulator, without root.

A build configured with its fixed folders under the build tree (see
scripts/scan) holds the backend, the engine and the device-access
libraries. A run writes the registration and model files the backend reads
into those folders, starts scanner-sim on a free 127.0.0.x address (its
SNMP agent on a free UDP port the test build is told of), runs scanimage
with SANE_CONFIG_DIR at a dll.conf naming "vordane5" and LD_LIBRARY_PATH
at the build's libraries, and ends every process it started by its process
id, also on Ctrl-C. Nothing is written outside the run's folder and the
build tree.

Used by scripts/scan, scripts/faults and scripts/bench.
"""
import os
import re
import shutil
import signal
import socket
import subprocess
import time

MODEL = "SIM-DS2"
MODEL_LINE = '[Support Model]\n0x0400,1,2,"SIM-DS2"\n'
DEVICE = "vordane5:net1;dev0"
DUPLEX = "Automatic Document Feeder(left aligned,Duplex)"
SIMPLEX = "Automatic Document Feeder(left aligned)"


class RigError(Exception):
    """A set-up step failed (not the scan under test)."""


def configured_paths(build):
    """The fixed folders the build was configured with."""
    header = os.path.join(build, "generated", "vexmor_paths.h")
    try:
        with open(header) as f:
            text = f.read()
    except OSError as e:
        raise RigError(f"{header}: {e.strerror}; configure the build first") from e
    # The first definition of each name counts; fallbacks follow it.
    paths = {}
    for name, value in re.findall(r'#define (VEXMOR_\w+_DIR) "([^"]*)"', text):
        paths.setdefault(name, value)
    for key in ("VEXMOR_ETC_DIR", "VEXMOR_OPT_DIR"):
        if key not in paths:
            raise RigError(f"{header} names no {key}")
    return paths


def free_udp_port(address):
    """A UDP port no one listens on at address (the simulator binds it next)."""
    with socket.socket(socket.AF_INET, socket.SOCK_DGRAM) as s:
        s.bind((address, 0))
        return s.getsockname()[1]


def _terminated(signum, frame):
    raise KeyboardInterrupt(f"signal {signum}")


def end_on_signals():
    """SIGTERM and SIGHUP end a run as Ctrl-C does: through the handlers
    that end every process it started. Main thread, at start."""
    for signum in (signal.SIGTERM, signal.SIGHUP):
        signal.signal(signum, _terminated)
    if signal.getsignal(signal.SIGINT) is signal.SIG_IGN:
        # Started in the background of a shell: still end cleanly on it.
        signal.signal(signal.SIGINT, signal.default_int_handler)


class Processes:
    """Every process a run starts, ended by its id when the run ends."""

    def __init__(self):
        self.started = []

    def start(self, argv, **kwargs):
        # A session of its own: a Ctrl-C at the terminal reaches this script,
        # which ends the children itself, in order.
        proc = subprocess.Popen(argv, start_new_session=True, **kwargs)
        self.started.append(proc)
        return proc

    def end_all(self):
        for proc in reversed(self.started):
            if proc.poll() is None:
                try:
                    os.killpg(proc.pid, signal.SIGTERM)
                except ProcessLookupError:
                    pass
        deadline = time.monotonic() + 5
        for proc in reversed(self.started):
            try:
                proc.wait(timeout=max(0.1, deadline - time.monotonic()))
            except subprocess.TimeoutExpired:
                try:
                    os.killpg(proc.pid, signal.SIGKILL)
                except ProcessLookupError:
                    pass
                proc.wait()
        self.started = []


class Result:
    def __init__(self):
        self.exit_code = None   # scanimage's exit status; -N after signal N
        self.timed_out = False
        self.seconds = 0.0
        self.out = ""
        self.err = ""
        self.peak_rss_kib = 0   # scanimage's, from its own accounting
        self.user_seconds = 0.0  # scanimage's CPU time in user mode
        self.system_seconds = 0.0  # and in the kernel on its behalf
        self.minor_faults = 0   # pages it touched that the kernel had to map (ru_minflt)
        self.sim_log = ""
        self.ended_at = 0.0     # when scanimage's end was seen, time.time()


# The simulator's A4 feeder, as the benchmark runs use it.
A4_FEEDER = ["--profile", "gen2-adf", "--set", "resolutions=100,150,200,300,400,600", "--set", "sheet=A4"]
# The same feeder with the simulator's built-in resolutions (100, 150, 200,
# 400, 600): a 300-dpi request is scanned at 200 dpi and enlarged by the
# engine.
A4_BUILT_IN = ["--profile", "gen2-adf", "--set", "sheet=A4"]


def pnm_pixel_bytes(path):
    """The pixel bytes of a binary PNM page (P4, P5 or P6) by its header."""
    with open(path, "rb") as f:
        head = f.read(64)
    fields = re.sub(rb"#[^\n]*\n", b" ", head).split()
    if len(fields) < 3 or fields[0] not in (b"P4", b"P5", b"P6"):
        raise RigError(f"{path}: not a binary PNM page")
    width, height = int(fields[1]), int(fields[2])
    if fields[0] == b"P4":
        return (width + 7) // 8 * height
    return width * height * (3 if fields[0] == b"P6" else 1)


def drop_pages(folder, result, expected, ending, what):
    """Removes the pages a batch wrote (pageN.ENDING, tens of MiB each) and
    raises RigError unless scanimage exited 0 after writing expected."""
    pages = [n for n in os.listdir(folder) if n.startswith("page") and n.endswith(ending)]
    for n in pages:
        os.remove(os.path.join(folder, n))
    if result.exit_code != 0 or len(pages) != expected:
        raise RigError(f"{what}: exit {result.exit_code}, {len(pages)} pages written: {result.err.strip()[-300:]}")


class Rig:
    """One folder of runs: build is the scan tree, work a folder under it."""

    def __init__(self, build, work):
        self.build = os.path.abspath(build)
        self.work = os.path.abspath(work)
        paths = configured_paths(self.build)
        self.etc = paths["VEXMOR_ETC_DIR"]
        self.opt = paths["VEXMOR_OPT_DIR"]
        for folder in (self.etc, self.opt):
            if not os.path.abspath(folder).startswith(self.build + os.sep):
                raise RigError(f"{folder} lies outside {self.build}: configure the scan tree with its "
                               "folders under it (scripts/scan does)")
        self.temp = [paths[k] for k in ("VEXMOR_TEMP_DIR", "VEXMOR_PRIVATE_TMP_DIR") if k in paths]
        self.lib = os.path.join(self.build, "lib")
        self.sim = os.path.join(self.build, "tools", "scanner_sim", "scanner-sim")
        for needed in (os.path.join(self.lib, "libsane-vordane5.so.1"), os.path.join(self.lib, "libvexmor.so.3"),
                       self.sim):
            if not os.path.exists(needed):
                raise RigError(f"{needed} is not built")
        self.procs = Processes()

    def fresh(self, name):
        """An empty folder for one run, under the rig's folder."""
        folder = os.path.join(self.work, name)
        shutil.rmtree(folder, ignore_errors=True)
        os.makedirs(folder)
        return folder

    def _fixtures(self, folder, address):
        os.makedirs(os.path.join(self.opt, "models"), exist_ok=True)
        os.makedirs(self.etc, exist_ok=True)
        for t in self.temp:
            os.makedirs(t, exist_ok=True)
        settings = os.path.join(self.etc, "kavrun5.ini")
        if not os.path.exists(settings):
            shutil.copy(os.path.join(os.path.dirname(__file__), "..", "..", "backend_source", "kavrun5.ini"),
                        settings)
        with open(os.path.join(self.etc, "tolmexnetdevice.cfg"), "w") as f:
            f.write(f"DEVICE=sim , {MODEL} , 1 , IP-ADDRESS={address}\n")
        with open(os.path.join(self.opt, "models", "sim.ini"), "w") as f:
            f.write(MODEL_LINE)
        sane = os.path.join(folder, "sane")
        os.makedirs(sane, exist_ok=True)
        with open(os.path.join(sane, "dll.conf"), "w") as f:
            f.write("vordane5\n")

    def start_simulator(self, folder, sim_args, dumps=True):
        """Starts scanner-sim; returns (address, snmp port). With dumps, it
        writes each page as sent to folder/sent and its transcript beside."""
        record = []
        if dumps:
            os.makedirs(os.path.join(folder, "sent"), exist_ok=True)
            record = ["--dump-dir", os.path.join(folder, "sent"), "--transcript",
                      os.path.join(folder, "transcript.jsonl")]
        log = open(os.path.join(folder, "sim.log"), "w")
        # The SNMP port is picked on 127.0.0.1's side of the loopback
        # network: each 127.0.0.x shares it.
        snmp = free_udp_port("127.0.0.1")
        proc = self.procs.start([self.sim, "--port", "54921", "--snmp-port", str(snmp)] + record + sim_args,
                                stdout=log, stderr=subprocess.STDOUT)
        log.close()
        address = None
        deadline = time.monotonic() + 10
        while address is None and proc.poll() is None and time.monotonic() < deadline:
            with open(os.path.join(folder, "sim.log"), errors="replace") as f:
                m = re.search(r"^listening on ([0-9.]+):", f.read(), re.M)
            if m:
                address = m.group(1)
            else:
                time.sleep(0.02)
        if address is None:
            with open(os.path.join(folder, "sim.log"), errors="replace") as f:
                raise RigError("the simulator did not start: " + f.read().strip())
        return address, snmp

    def environment(self, folder, snmp, extra=None):
        env = {k: v for k, v in os.environ.items() if not k.startswith(("SANE_", "LD_", "VEXMOR_"))}
        env.update({
            "SANE_CONFIG_DIR": os.path.join(folder, "sane"),
            "LD_LIBRARY_PATH": self.lib,
            "VEXMOR_TEST_SNMP_PORT": str(snmp),
            # No engine logs, no replay recordings: that home does not exist.
            "HOME": os.path.join(folder, "no-home"),
            "TMPDIR": self.temp[0] if self.temp else folder,
        })
        env.update(extra or {})
        return env

    def scan(self, folder, sim_args, scanimage_args, env=None, timeout=120, wrapper=None, interrupt_after=None,
             dumps=True):
        """Starts the simulator, runs scanimage in folder, ends both.

        interrupt_after: a callable polled while scanimage runs; once it
        returns true scanimage gets SIGINT, as from Ctrl-C."""
        result = Result()
        try:
            address, snmp = self.start_simulator(folder, sim_args, dumps)
            self._fixtures(folder, address)
            argv = (wrapper or []) + ["scanimage", "-d", DEVICE] + scanimage_args
            out = open(os.path.join(folder, "scanimage.out"), "w")
            err = open(os.path.join(folder, "scanimage.err"), "w")
            start = time.monotonic()
            proc = self.procs.start(argv, cwd=folder, env=self.environment(folder, snmp, env), stdout=out,
                                    stderr=err)
            out.close()
            err.close()
            interrupted = False
            while True:
                try:
                    waited = os.wait4(proc.pid, os.WNOHANG)
                except ChildProcessError:
                    break
                if waited[0] == proc.pid:
                    status, usage = waited[1], waited[2]
                    result.exit_code = os.waitstatus_to_exitcode(status)
                    result.peak_rss_kib = usage.ru_maxrss
                    result.user_seconds = usage.ru_utime
                    result.system_seconds = usage.ru_stime
                    result.minor_faults = usage.ru_minflt
                    proc.returncode = result.exit_code
                    break
                elapsed = time.monotonic() - start
                if elapsed > timeout:
                    result.timed_out = True
                    os.killpg(proc.pid, signal.SIGKILL)
                if interrupt_after is not None and not interrupted and interrupt_after():
                    interrupted = True
                    # To scanimage alone, as a terminal sends it to the
                    # program, not to a valgrind wrapper's helpers.
                    os.killpg(proc.pid, signal.SIGINT)
                time.sleep(0.01)
            result.seconds = time.monotonic() - start
            result.ended_at = time.time()
            with open(os.path.join(folder, "scanimage.out"), errors="replace") as f:
                result.out = f.read()
            with open(os.path.join(folder, "scanimage.err"), errors="replace") as f:
                result.err = f.read()
        finally:
            self.procs.end_all()
        with open(os.path.join(folder, "sim.log"), errors="replace") as f:
            result.sim_log = f.read()
        return result
