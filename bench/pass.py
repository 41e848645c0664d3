"""One update pass installing 20 files (one of 64 MiB) from pyftpdlib on 127.0.0.1.

Usage: pass.py BUILD_FOLDER [RUNS]

Runs the pass RUNS times (default 3) against a fresh program folder each time and prints the
medians of: the pass's wall time less its fixed pauses, the processor time the program spent, its
peak resident memory, and the processor time it spends while the question waits 5 s. As the real
peer in the same run, curl fetches the same 20 cabinets from the same server.

The fixed pauses are read from the pass's log, so that they follow what the pass did: the start
timer (500 ms), 100 ms before each download attempt (one numbered line each), 500 ms after each
extraction ("Extracting "), 300 + 100 + 100 ms around the updater's own file ("ExtractingEx ").
"""
import os
import re
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import release as rel  # noqa: E402

BUILD = os.path.abspath(sys.argv[1])
RUNS = int(sys.argv[2]) if len(sys.argv) > 2 else 3
FILES = 20
BIG = 64 * 1024 * 1024
QUESTION_WAIT_S = 5
TICKS = os.sysconf("SC_CLK_TCK")

START_TIMER_S = 0.5
BEFORE_DOWNLOAD_S = 0.1
AFTER_EXTRACTION_S = 0.5
AROUND_OWN_FILE_S = 0.3 + 0.1 + 0.1


def cpu_seconds(pid):
    fields = open("/proc/%d/stat" % pid).read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / TICKS


def fixed_pauses(log):
    """The pauses the pass's log shows it took, in seconds, and what they are made of."""
    attempts = len(re.findall(r"^\d+/\d+ ", log, re.M))
    installs = len(re.findall(r"^Extracting ", log, re.M))
    own = len(re.findall(r"^ExtractingEx ", log, re.M))
    seconds = (START_TIMER_S + BEFORE_DOWNLOAD_S * attempts + AFTER_EXTRACTION_S * installs +
               AROUND_OWN_FILE_S * own)
    return seconds, attempts, installs + own


def one_pass(work, release, port, run):
    """Runs one pass; returns its figures."""
    program = os.path.join(work, "prog%d" % run)
    os.makedirs(os.path.join(program, "User"))
    shutil.copy(os.path.join(BUILD, "zarn4update"), program)
    open(os.path.join(program, "zarn4.exe"), "w").close()
    env = dict(os.environ, ZARN4_REGISTRY=os.path.join(work, "registry%d.db" % run),
               XDG_DATA_HOME=os.path.join(work, "data"))
    subprocess.run([os.path.join(BUILD, "zreg"), "add", rel.SETTINGS_KEY, "/v",
                    "Update Server", "/d", "127.0.0.1:%d" % port, "/f"], env=env,
                   check=True, stdout=subprocess.DEVNULL)
    usage = os.path.join(work, "usage")
    start = time.monotonic()
    process = subprocess.Popen(
        ["/usr/bin/time", "-f", "%M %U %S", "-o", usage,
         os.path.join(program, "zarn4update"), "/run"],
        env=env, stdin=subprocess.PIPE, stderr=subprocess.PIPE)
    # The question appears on standard error; the program then waits for its answer.
    seen = b""
    while b"[Y/n]" not in seen:
        byte = process.stderr.read(1)
        if not byte:
            raise SystemExit("the program ended before asking")
        seen += byte
    asked = time.monotonic()
    child = int(subprocess.run(["pgrep", "-P", str(process.pid)], capture_output=True,
                               text=True).stdout.split()[0])
    before = cpu_seconds(child)
    measured_from = time.monotonic()
    time.sleep(QUESTION_WAIT_S)
    waiting_cpu = cpu_seconds(child) - before
    waiting_wall = time.monotonic() - measured_from
    process.stdin.write(b"y\n")
    process.stdin.close()
    answered = time.monotonic()
    process.stderr.read()
    status = process.wait()
    # The pass's own time: everything but the time the question was left waiting.
    wall = (asked - start) + (time.monotonic() - answered)
    log = open(os.path.join(program, "User", "zarn4updatelog.txt"), "rb").read().decode()
    pauses, attempts, installs = fixed_pauses(log)
    peak_kib, user_s, system_s = open(usage).read().split()[-3:]
    return {
        "status": status, "attempts": attempts, "installs": installs,
        "wall": wall, "pauses": pauses, "overhead": wall - pauses,
        "cpu": float(user_s) + float(system_s) - waiting_cpu,
        "rss": int(peak_kib) / 1024,
        "waiting": 100 * waiting_cpu / waiting_wall,
    }


def main():
    work = tempfile.mkdtemp(prefix="zarn-bench-pass-")
    try:
        release = rel.Release(work)
        files, cabs = [], []
        for i in range(FILES):
            name = "file%02d.bin" % i
            size = BIG if i == 0 else 256 * 1024
            release.add_cab("file%02d.cab" % i, {name: os.urandom(size)})
            files.append((name, "1"))  # files that do not exist yet are always new
            cabs.append((name, "file%02d.cab" % i))
        release.write_manifest(300, files, cabs)
        cab_bytes = sum(os.path.getsize(os.path.join(release.updates, c)) for _, c in cabs)

        passes, curls = [], []
        with rel.serving(release, work) as port:
            for run in range(RUNS):
                passes.append(one_pass(work, release, port, run))
                shutil.rmtree(os.path.join(work, "prog%d" % run))
                curl_start = time.monotonic()
                for _, cab in cabs:
                    subprocess.run(["curl", "-s", "-o", os.path.join(work, "curl.out"),
                                    "ftp://127.0.0.1:%d/127.0.0.1/pub/zarn4update/%s" %
                                    (port, cab)], check=True)
                curls.append(time.monotonic() - curl_start)
    finally:
        shutil.rmtree(work, ignore_errors=True)

    def median(key):
        return statistics.median(p[key] for p in passes)

    first = passes[0]
    curl = statistics.median(curls)
    print("pass installing %d files (%.1f MiB of cabinets) from pyftpdlib on loopback, "
          "median of %d runs" % (FILES, cab_bytes / 2**20, RUNS))
    print("  exit codes %s, %d download attempts, %d installs" %
          (",".join(str(p["status"]) for p in passes), first["attempts"], first["installs"]))
    print("  wall time        %6.2f s (runs: %s)" %
          (median("wall"), ", ".join("%.2f" % p["wall"] for p in passes)))
    print("  fixed pauses     %6.2f s (start timer 0.50, %d x 0.10 before downloads, "
          "%d x 0.50 after extractions)" % (first["pauses"], first["attempts"], first["installs"]))
    print("  overhead         %6.2f s (target <= 1 s; ratio to target %.2f)" %
          (median("overhead"), median("overhead") / 1.0))
    print("    of which the program's processor time %.2f s; the rest is waiting for the "
          "server, the disk and the processor" % median("cpu"))
    print("  curl, same cabinets, same server: %.2f s; overhead / curl = %.2f" %
          (curl, median("overhead") / curl if curl > 0 else float("nan")))
    print("  peak RSS         %6.1f MiB (target <= 16 MiB; ratio to target %.2f)" %
          (median("rss"), median("rss") / 16))
    print("  while the question waits %d s: %.2f%% of a core (target <= 2%%)" %
          (QUESTION_WAIT_S, median("waiting")))
    load = open("/proc/loadavg").read().split()[:3]
    print("  load average at the end: %s (2 cores)" % " ".join(load))


if __name__ == "__main__":
    main()
