"""The emulated unit as the bench sees it: QEMU's versatilepb (an ARM926EJ-S
like the unit's processor) with 128 MiB, the board's 64 MiB CFI NOR flash
in one file that survives power-off, an SD card in the slot, the board's
display, and three UARTs: the console, the transcript (the update tool's
output, copied by the unit's init) and the service port (a root shell).

The boot chain is played by boot/boot-loader, which hands QEMU the kernel,
device tree and command line that the unit's flash (or, through the ROM's
fallback, its card) holds. Power-off is what the operator does: the plug
is pulled (SIGKILL), whatever the unit is doing.
"""

import os
import re
import shlex
import signal
import subprocess
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
EMULATOR = os.path.dirname(HERE)
BOOT_LOADER = os.path.join(EMULATOR, "boot", "boot-loader")
MEMORY = "128M"
# The display's window in the board's framebuffer, and the picture taken of it.
WINDOW = (479, 272)
FIRMWARE_LINE = re.compile(r"unit: (firmware|recovery) ([^ ]*)")
LAST_LINE = re.compile(r"^FLASH (COMPLETE|FAILED)$", re.M)


class NoBoot(Exception):
    """The unit does not boot: the boot chain finds nothing, or the kernel
    does not come up in time."""


def make_card(card_dir, image):
    """A card like the operator's: a partition table and a vfat partition 1
    from 1 MiB on, holding CARD_DIR's files. The emulated card wants a
    power-of-two size. No loop device: sfdisk, mkfs.vfat and mtools."""
    size = sum(os.path.getsize(os.path.join(d, f)) for d, _, fs in os.walk(card_dir) for f in fs)
    mib = 32
    while mib * 2**20 < size * 11 // 10 + 4 * 2**20:
        mib *= 2
    with open(image, "wb") as f:
        f.truncate(mib * 2**20)
    subprocess.run(["sfdisk", "-q", image], input=b"start=2048, type=c\n", check=True)
    subprocess.run(["mkfs.vfat", "-n", "LUMOCARD", "--offset", "2048", image, str((mib - 1) * 1024)],
                   check=True, stdout=subprocess.DEVNULL)
    entries = [os.path.join(card_dir, e) for e in sorted(os.listdir(card_dir))]
    if entries:
        subprocess.run(["mcopy", "-s", "-i", image + "@@1M"] + entries + ["::/"], check=True,
                       env=dict(os.environ, MTOOLS_SKIP_CHECK="1"))


class Unit:
    def __init__(self, job, card=None, extra_bootargs=""):
        self.job, self.card, self.extra = job, card, extra_bootargs
        self.qemu = None
        self.started = None
        self.boot_source = None
        self.firmware = None
        self.service_seq = 0
        self.lock = threading.Lock()
        os.makedirs(job, exist_ok=True)

    def path(self, name):
        return os.path.join(self.job, name)

    def flash(self):
        return self.path("flash.img")

    # --- power ------------------------------------------------------------

    def power_on(self, boot_timeout=120):
        """Boots the unit; returns the firmware (or recovery) version it
        reports on its console. Raises NoBoot."""
        boot_dir = self.path("boot")
        chain = subprocess.run([BOOT_LOADER, self.flash(), boot_dir, self.card or "", self.extra],
                               capture_output=True, text=True)
        self.boot_source = chain.stdout.strip()
        if chain.returncode == 3:
            raise NoBoot(self.boot_source)
        if chain.returncode != 0:
            raise RuntimeError("boot-loader failed: %s%s" % (chain.stdout, chain.stderr))
        self.start_qemu(boot_dir)
        match = self.wait_for("console.log", FIRMWARE_LINE, boot_timeout)
        if match is None:
            self.power_off()
            raise NoBoot("the kernel did not bring up the unit's init within %d s" % boot_timeout)
        self.booted = time.monotonic()
        self.firmware = match.group(2)
        return self.firmware

    def start_qemu(self, boot_dir, incoming=None):
        for fifo in ("service.in", "service.out", "monitor.in", "monitor.out"):
            if os.path.exists(self.path(fifo)):
                os.remove(self.path(fifo))
            os.mkfifo(self.path(fifo))
        for log in ("console.log", "transcript.log", "service.log", "monitor.log"):
            open(self.path(log), "wb").close()
        args = ["qemu-system-arm", "-M", "versatilepb", "-m", MEMORY, "-nodefaults", "-no-reboot",
                "-display", "none",
                "-drive", "if=pflash,format=raw,file=%s" % self.flash(),
                "-kernel", os.path.join(boot_dir, "kernel"), "-dtb", os.path.join(boot_dir, "dtb"),
                "-append", open(os.path.join(boot_dir, "cmdline")).read(),
                "-chardev", "file,id=console,path=%s" % self.path("console.log"),
                "-chardev", "file,id=transcript,path=%s" % self.path("transcript.log"),
                "-chardev", "pipe,id=service,path=%s" % self.path("service"),
                "-serial", "chardev:console", "-serial", "chardev:transcript",
                "-serial", "chardev:service",
                "-monitor", "pipe:%s" % self.path("monitor")]
        if os.path.exists(os.path.join(boot_dir, "initrd")):
            args += ["-initrd", os.path.join(boot_dir, "initrd")]
        if self.card:
            args += ["-drive", "if=sd,format=raw,file=%s" % self.card]
        if incoming:
            args += ["-incoming", "exec:cat %s" % shlex.quote(incoming)]
        self.started = time.monotonic()
        self.qemu = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=open(self.path("qemu.log"), "wb"),
                                     stderr=subprocess.STDOUT)
        for name in ("service", "monitor"):
            threading.Thread(target=self.drain, args=(name,), daemon=True).start()

    def hold_at(self, log, pattern, timeout):
        """Stops the unit as soon as LOG shows PATTERN; the match, or None."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.running():
            match = pattern.search(self.text(log))
            if match:
                self.monitor("stop")
                self.ask_monitor("info status", re.compile(r"VM status: paused\r?\n"))
                return match
            time.sleep(0.01)
        return None

    def save_state(self, path):
        """Saves the stopped unit whole (memory, devices, the flash as the
        processor sees it) to PATH; the card is the caller's to copy."""
        self.monitor('migrate "exec:cat > %s"' % shlex.quote(path))
        if "completed" not in self.ask_monitor("info migrate", re.compile(r"Migration status: (completed|failed)")):
            raise RuntimeError("the unit's state was not saved; see %s" % self.path("monitor.log"))

    def resume(self, state, boot_dir, firmware):
        """Powers the unit on where SAVE_STATE left it: the saved flash is
        written back over flash.img, and the unit runs on from there."""
        self.start_qemu(boot_dir, incoming=state)
        self.ask_monitor("info status", re.compile(r"VM status: paused\r?\n"))
        self.monitor("cont")
        self.booted = time.monotonic()
        self.firmware = firmware

    def ask_monitor(self, command, answer, timeout=120):
        """Repeats COMMAND on the monitor until it gives ANSWER."""
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline and self.running():
            start = len(self.text("monitor.log"))
            self.monitor(command)
            match = self.wait_for("monitor.log", answer, 0.5, start)
            if match:
                return match.group(0)
        raise RuntimeError("no answer from the monitor to: %s" % command)

    def drain(self, name):
        with open(self.path(name + ".out"), "rb") as pipe, open(self.path(name + ".log"), "ab") as log:
            while True:
                data = pipe.read1(65536)
                if not data:
                    return
                log.write(data)
                log.flush()

    def power_off(self):
        """Pulls the plug: the unit stops wherever it is."""
        if self.qemu and self.qemu.poll() is None:
            self.qemu.send_signal(signal.SIGKILL)
            self.qemu.wait()
        self.qemu = None

    def running(self):
        return self.qemu is not None and self.qemu.poll() is None

    def cpu_seconds(self):
        """The processor time QEMU has spent so far."""
        with open("/proc/%d/stat" % self.qemu.pid) as stat:
            fields = stat.read().rsplit(")", 1)[1].split()
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    # --- what the unit says -----------------------------------------------

    def text(self, log):
        with open(self.path(log), "rb") as f:
            return f.read().decode("latin-1")

    def wait_for(self, log, pattern, timeout, start=0):
        deadline = time.monotonic() + timeout
        while time.monotonic() < deadline:
            match = pattern.search(self.text(log), start)
            if match:
                return match
            if not self.running():
                return None
            time.sleep(0.1)
        return None

    def tool_lines(self):
        """The update tool's output so far, progress returns as line ends."""
        return [line for line in re.split(r"[\r\n]", self.text("transcript.log")) if line]

    def wait_update_over(self, timeout):
        """The tool's last line (FLASH COMPLETE or FLASH FAILED), or None."""
        match = self.wait_for("transcript.log", LAST_LINE, timeout)
        return match.group(0) if match else None

    def service(self, command, timeout=600):
        """Runs a shell command on the service port; returns (status, output)."""
        with self.lock:
            self.service_seq += 1
            marker = "### done %d" % self.service_seq
            start = len(self.text("service.log"))
            with open(self.path("service.in"), "w") as port:
                port.write("%s\necho \"%s $?\"\n" % (command, marker))
            match = self.wait_for("service.log", re.compile(re.escape(marker) + r" (\d+)\r?\n"), timeout, start)
            if match is None:
                raise RuntimeError("no answer from the service port to: %s" % command)
            return int(match.group(1)), self.text("service.log")[start:match.start()]

    # --- the display --------------------------------------------------------

    def monitor(self, command):
        with open(self.path("monitor.in"), "w") as port:
            port.write(command + "\n")

    def picture(self, name, hold=False):
        """A picture of the display's window, JOB/pictures/NAME.png; with
        hold, the unit is stopped while it is taken, so that it shows that
        very moment."""
        pictures = self.path("pictures")
        os.makedirs(pictures, exist_ok=True)
        ppm = os.path.join(pictures, name + ".ppm")
        if os.path.exists(ppm):
            os.remove(ppm)
        if hold:
            self.monitor("stop")
        self.monitor("screendump " + ppm)
        deadline = time.monotonic() + 30
        while not ppm_complete(ppm) and time.monotonic() < deadline:
            time.sleep(0.1)
        if hold:
            self.monitor("cont")
        png = os.path.join(pictures, name + ".png")
        with open(png, "wb") as out:
            subprocess.run("pnmcut -left 0 -top 0 -width %d -height %d %s | pnmtopng" % (WINDOW + (ppm,)),
                           shell=True, check=True, stdout=out, stderr=subprocess.DEVNULL)
        os.remove(ppm)
        return png


def ppm_complete(path):
    """The screendump is written whole: as long as its header says."""
    try:
        with open(path, "rb") as f:
            header = f.read(20).split()
        width, height = int(header[1]), int(header[2])
        return os.path.getsize(path) >= width * height * 3 + len(b"P6\n%d %d\n255\n" % (width, height))
    except (OSError, IndexError, ValueError):
        return False


WRITING_IMAGE = re.compile(r"Writing (\S+) to /dev/mtd\d+$")
# An image that its partition holds already is not written.
UNCHANGED_IMAGE = re.compile(r"Unchanged (\S+) on /dev/mtd\d+$")
DISPLAY_STARTED = re.compile(r"starting the (display|recovery screen)")
# The display's debug line: the percentage it shows, written when it changes.
DISPLAY_PERCENT = re.compile(r"^progress (\d+)%", re.M)


def share_done(lines, sizes):
    """The share of the package's bytes (SIZES: each image's) that flashcp
    has written and verified by the tool's LINES, in percent: each byte
    counts half written, half verified."""
    done, current, progress = 0, 0, {"Writing": 0.0, "Verifying": 0.0}
    for line in lines:
        image = WRITING_IMAGE.match(line)
        unchanged = UNCHANGED_IMAGE.match(line)
        step = re.match(r"(Writing|Verifying) data: (\d+)k/(\d+)k", line)
        if unchanged:
            done += sizes.get(unchanged.group(1), 0)
        elif image and image.group(1) in sizes:
            done, current = done + current, sizes[image.group(1)]
            progress = {"Writing": 0.0, "Verifying": 0.0}
        elif step:
            share = int(step.group(2)) / int(step.group(3)) if int(step.group(3)) else 1.0
            progress[step.group(1)] = max(progress[step.group(1)], share)
    return 100.0 * (done + current * (progress["Writing"] + progress["Verifying"]) / 2) / sum(sizes.values())


class Camera(threading.Thread):
    """Follows the update and takes pictures of the display, the unit held
    for each, when the tool reaches its first, fourth and eighth image (its
    "Writing NAME to DEVICE" and "Unchanged NAME on DEVICE" lines; flashcp's
    own "Writing data" lines do not count). For each it
    keeps, in pictures/NAME.progress, the percentage that the display last
    said it shows and the tool's lines up to then. It also notes when the
    init starts the display and when the display first says what it shows
    (times: wall clock and QEMU's processor time). Each picture's name
    begins with PREFIX."""

    SHOTS = {1: "1-start", 4: "2-flashing", 8: "3-flashing-late"}

    def __init__(self, unit, prefix=""):
        super().__init__(daemon=True)
        self.unit = unit
        self.prefix = prefix
        self.stopped = threading.Event()
        self.times = {}

    def run(self):
        taken = 0
        while not self.stopped.is_set() and self.unit.running():
            self.note_display()
            writes = sum(1 for line in self.unit.tool_lines()
                         if WRITING_IMAGE.match(line) or UNCHANGED_IMAGE.match(line))
            for n in range(taken + 1, writes + 1):
                if n in self.SHOTS:
                    self.shoot(self.prefix + self.SHOTS[n])
            taken = writes
            time.sleep(0.05)

    def note_display(self):
        console = self.unit.text("console.log")
        for name, pattern in (("display_started", DISPLAY_STARTED), ("display_shown", DISPLAY_PERCENT)):
            if name + "_s" not in self.times and pattern.search(console):
                self.times[name + "_s"] = time.monotonic()
                self.times[name + "_cpu_s"] = self.unit.cpu_seconds()

    def shoot(self, name):
        self.unit.monitor("stop")
        self.unit.ask_monitor("info status", re.compile(r"VM status: paused\r?\n"))
        shown = DISPLAY_PERCENT.findall(self.unit.text("console.log"))
        os.makedirs(self.unit.path("pictures"), exist_ok=True)
        with open(os.path.join(self.unit.path("pictures"), name + ".progress"), "w") as f:
            f.write("%s\n" % (shown[-1] if shown else "-"))
            f.writelines(line + "\n" for line in self.unit.tool_lines())
        self.unit.picture(name)
        self.unit.monitor("cont")

    def stop(self):
        self.stopped.set()
        self.join()
