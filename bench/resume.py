"""Resumed downloads against today's program: see resume.sh.

Usage: resume.py MAIN_BUILD_FOLDER BUILD_FOLDER

For each program: one pass against a server that cuts every RETR of the 32 MiB cabinet after
1 MiB (whether it installed the file, and the bytes the server sent over the cabinet's size);
then a pass killed once its download holds 90 % of the cabinet, from a server throttled to
16 MiB/s, and a second pass (the bytes the second pass fetched over the cabinet's size).
"""
import os
import random
import shutil
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tests", "e2e"))
import release as rel  # noqa: E402

MIB = 1 << 20
BIG = 32 * MIB
DATA = random.Random(32).randbytes(BIG)


def program_folder(work, build):
    folder = os.path.join(work, "prog")
    os.makedirs(os.path.join(folder, "User"))
    shutil.copy(os.path.join(build, "zarn4update"), folder)
    env = dict(os.environ, ZARN4_REGISTRY=os.path.join(work, "registry.db"),
               XDG_DATA_HOME=os.path.join(work, "data"))
    for name, value in (("Repeat Rollback", 1), ("Server Timeout", 10)):
        subprocess.run([os.path.join(build, "zreg"), "add", rel.SETTINGS_KEY, "/v", name, "/t",
                        "REG_DWORD", "/d", str(value), "/f"], env=env, check=True,
                       stdout=subprocess.DEVNULL)
    return folder, env


def start_pass(build, folder, env, port):
    subprocess.run([os.path.join(build, "zreg"), "add", rel.SETTINGS_KEY, "/v", "Update Server",
                    "/d", "127.0.0.1:%d" % port, "/f"], env=env, check=True,
                   stdout=subprocess.DEVNULL)
    program = subprocess.Popen([os.path.join(folder, "zarn4update"), "/run"], env=env,
                               stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    program.stdin.write(b"y\n")
    program.stdin.close()
    return program


def largest_download(folder):
    sizes = [0]
    for sub in ("temp_update", "temp_update_cache"):
        path = os.path.join(folder, sub)
        for dirpath, _dirs, files in os.walk(path):
            sizes += [os.path.getsize(os.path.join(dirpath, f)) for f in files]
    return max(sizes)


def installed(folder):
    path = os.path.join(folder, "big.bin")
    return os.path.exists(path) and open(path, "rb").read() == DATA


def measure(build, script, kill_at=None):
    """Runs the pass (killed at kill_at bytes, then again); returns (installed, bytes sent to the
    last pass over the cabinet's size)."""
    work = tempfile.mkdtemp(prefix="zarn-bench-resume-")
    try:
        release = rel.Release(work)
        release.add_cab("big.cab", {"big.bin": DATA})
        release.write_manifest(300, [("big.bin", "1")], [("big.bin", "big.cab")])
        release.add_hashes()
        size = os.path.getsize(os.path.join(release.updates, "big.cab"))
        folder, env = program_folder(work, build)
        with rel.serving(release, work, script) as port:
            before = 0
            if kill_at:
                program = start_pass(build, folder, env, port)
                while program.poll() is None and largest_download(folder) < kill_at * size:
                    time.sleep(0.005)
                program.kill()
                program.wait()
                time.sleep(0.5)
                before = rel.sent_bytes(work, "big.cab")
            program = start_pass(build, folder, env, port)
            program.wait(timeout=600)
            time.sleep(0.3)
            return installed(folder), (rel.sent_bytes(work, "big.cab") - before) / size
    finally:
        shutil.rmtree(work, ignore_errors=True)


def main():
    builds = (("today (main)", sys.argv[1]), ("resumed", sys.argv[2]))
    print("32 MiB cabinet, the server cuts the data connection every 1 MiB")
    print("%-14s %-10s %s" % ("program", "installed", "sent / cabinet (target: installed, <= 1.05)"))
    for name, build in builds:
        done, ratio = measure(build, {"big.cab": ["cut:%d" % MIB]})
        print("%-14s %-10s %.3f" % (name, "yes" if done else "no", ratio))
    print("a pass killed at about 90 %, then run again (16 MiB/s)")
    print("%-14s %-10s %s" % ("program", "installed", "second pass fetched / cabinet (target: <= 0.15)"))
    for name, build in builds:
        done, ratio = measure(build, {"big.cab": ["genuine"], "rate": 16 * MIB}, kill_at=0.9)
        print("%-14s %-10s %.3f" % (name, "yes" if done else "no", ratio))


if __name__ == "__main__":
    main()
