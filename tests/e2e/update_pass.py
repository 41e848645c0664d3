"""Whole update passes of the real program against pyftpdlib on 127.0.0.1, one row per outcome.

Usage: update_pass.py BUILD_FOLDER [NAME_PART]   (NAME_PART: run only the rows whose name has it)

Each row builds a release (gcab cabinets, a manifest, versioned and plain files; or a signed one
made by zrelease, with patches against the older copies when the row says, then tampered with as
the row says, with the settings holding a public key), a sandbox program folder with older
copies, a stand-in main program that may be running, a stand-in registration tool and a settings
store; runs zarn4update answering the question; then checks the status lines in order, which log
file was saved, whether the update times were stored, the report the server received, the
installed files byte for byte (and times where the row says), the work folder, the restarts of
the main program, the exit code and that the program ended.
"""
import calendar
import fcntl
import hashlib
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import time
from dataclasses import dataclass, field

import release as rel

BUILD = os.path.abspath(sys.argv[1])
FIXTURES = os.path.join(BUILD, "tests", "manifest-fixtures")
FAILURE = "FTP Connection Failure E1 in RunUpdate"
STORED = "Storing Update Time in Registry"
NEW_VERSION = open(os.path.join(FIXTURES, "v41.dll"), "rb").read()     # FileVersion 4.1
OLD_VERSION = open(os.path.join(FIXTURES, "v100.dll"), "rb").read()    # FileVersion 1.2.3.100
V123150 = open(os.path.join(FIXTURES, "v123150.dll"), "rb").read()     # ranks above 1.2.4.0
V124 = open(os.path.join(FIXTURES, "v124.dll"), "rb").read()
OLD_TEXT = b"notes of the old release\r\n"
NEW_TEXT = b"notes of the new release\r\n" * 50

# A stand-in main program: records each start, ends when asked to close.
MAIN_PROGRAM = """#!/bin/sh
echo $$ >> "$(dirname "$0")/zarn4.exe.starts"
trap 'exit 0' TERM
while :; do sleep 0.1; done
"""
# A stand-in registration tool: records its parameters.
REGISTRATION_TOOL = """#!/bin/sh
echo "$@" >> "$(dirname "$0")/derozor.calls"
"""


@dataclass
class Row:
    name: str
    files: list = field(default_factory=list)        # (key, listed value)
    cabs: list = field(default_factory=list)         # (key, cabinet)
    registration: list = field(default_factory=list)
    time_of_update: str = "300"
    settings: dict = field(default_factory=dict)     # DWORD values set before the run
    manifest: bool = True
    server: bool = True
    answer: str = "y"
    main_running: bool = False
    expected: list = field(default_factory=list)     # lines in this order (a trailing * = prefix)
    absent: list = field(default_factory=list)       # lines that must not appear
    error_log: bool = False
    stored: bool = False
    exit_code: int = 1
    installed: dict = field(default_factory=dict)    # name -> bytes after the pass
    registered: list = field(default_factory=list)   # parameters the tool received
    # A release made by zrelease from radio.dll and notes.txt instead of the hand-made one,
    # signed unless told otherwise, then changed by tamper(update folder, work folder).
    zrelease: bool = False
    signed: bool = True
    tamper: object = None
    key: str = None    # "Update Public Key": "release" (its key), "other" (another one) or text
    build: list = field(default_factory=list)     # more arguments of "zrelease build"
    source: dict = field(default_factory=dict)    # name -> bytes in place of the new files
    program: dict = field(default_factory=dict)   # name -> bytes in place of the older copies
    build_warning: str = None                     # what zrelease build must warn about
    after: dict = field(default_factory=dict)     # DWORD name -> value after the pass (None: absent)
    # A hostile server: file name -> actions per RETR (release.SCRIPTED_HANDLER).
    script: dict = None
    stale: dict = field(default_factory=dict)   # work-folder path -> bytes an earlier pass left
    volume_mib: int = 0      # the program folder on a tmpfs of this size (a user namespace)
    most_written: int = 0    # the most bytes the program may write; measured and printed
    # "zrelease build --base" (and verify) of a folder with the older radio.dll and notes.txt and
    # these files, the new files dated in the future so that the time their cabinet stores stays
    # their last-write time; the files whose last-write time must be the one their cabinet stores.
    base: dict = None
    cab_times: list = field(default_factory=list)
    # Resumed downloads: big.bin of this many random bytes, alone in big.cab, every cabinet then
    # listed in "Hashes" and "Sizes"; served by an unmodified "vsftpd" or "pyftpdlib" (kind) at
    # rate bytes a second; a first pass killed once its partial holds killed_at bytes; the most
    # bytes of big.cab the (last) pass may receive, measured and printed.
    big: int = 0
    kind: str = None
    rate: int = 0
    killed_at: int = 0
    most_sent: int = 0
    cache: dict = field(default_factory=dict)   # download-cache name -> bytes before the pass
    cache_after: list = None                    # names in the cache after it ([]: no cache)


def zrelease(*arguments):
    return subprocess.run([os.path.join(BUILD, "zrelease")] + list(arguments), check=True,
                          capture_output=True, text=True).stdout


def build_zrelease(work, row):
    """The release zrelease makes of a program folder with the new radio.dll and notes.txt."""
    release = rel.Release(work)
    source = os.path.join(work, "src")
    os.makedirs(source)
    for name, data in {"radio.dll": NEW_VERSION, "notes.txt": NEW_TEXT, **row.source}.items():
        with open(os.path.join(source, name), "wb") as f:
            f.write(data)
    keys = {"release": zrelease("keygen", os.path.join(work, "key.pem")).strip(),
            "other": zrelease("keygen", os.path.join(work, "other.pem")).strip()}
    signing = ["--key", os.path.join(work, "key.pem")] if row.signed else []
    base = []
    if row.base is not None:
        base = ["--base", os.path.join(work, "base")]
        os.makedirs(base[1])
        for name, data in {"radio.dll": OLD_VERSION, "notes.txt": OLD_TEXT,
                           **row.base}.items():
            with open(os.path.join(base[1], name), "wb") as f:
                f.write(data)
        for name in os.listdir(source):
            os.utime(os.path.join(source, name), (2114391846, 2114391846))  # 2037-01-02
    built = subprocess.run([os.path.join(BUILD, "zrelease"), "build", "--from", source, "--to",
                            release.updates, "--register", "radio.dll", *signing, *base,
                            *row.build], check=True, capture_output=True, text=True)
    if base:
        zrelease("verify", release.updates, "--public", keys["release"], *base)
    if row.build_warning and row.build_warning not in built.stderr:
        raise RuntimeError("zrelease build did not warn about %s: %r" %
                           (row.build_warning, built.stderr))
    if row.tamper:
        row.tamper(release.updates, work)
    return release, keys.get(row.key, row.key)


def build_release(work, row):
    if row.zrelease:
        return build_zrelease(work, row)
    release = rel.Release(work)
    release.add_cab("radio.cab", {"radio.dll": NEW_VERSION})
    release.add_cab("notes.cab", {"notes.txt": NEW_TEXT})
    release.add_cab("a.cab", {"a.txt": b"new a\r\n"})
    release.add_cab("c.cab", {"c.txt": b"new c\r\n"})
    release.add_cab("self.cab", {"ZARN4UPDATE": b"the next updater\n"})
    release.add_cab("evil.cab", {"evil.txt": b"must not land\n"})
    # A file named like the manifest: extracted into the work folder, it would replace the
    # verified manifest with one that lists nothing.
    release.add_cab("hostile.cab", {"z4up.ini": b"[Ident]\r\nTime Of Update=1\r\n"})
    os.makedirs(os.path.join(release.updates, "bad.cab"))  # listed, but RETR fails
    if row.big:
        release.add_cab("big.cab", {"big.bin": big_bytes(row.big)})
        changed = bytearray(open(os.path.join(release.updates, "big.cab"), "rb").read())
        changed[-100] ^= 0x01
        open(os.path.join(release.root, "changed.cab"), "wb").write(bytes(changed))
    if row.manifest:
        release.write_manifest(row.time_of_update, row.files, row.cabs, row.registration)
    if row.big:
        release.add_hashes()
    return release, row.key


def big_bytes(size):
    return random.Random(size).randbytes(size)


CACHE = "temp_update_cache"


def kill_when_partial(folder, env, at):
    """Runs a pass and kills it once a partial in the download cache holds at least at bytes;
    returns a problem or None."""
    program = subprocess.Popen([os.path.join(folder, "zarn4update"), "/run"], env=env,
                               stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                               stderr=subprocess.DEVNULL)
    program.stdin.write(b"y\n")
    program.stdin.close()
    cache = os.path.join(folder, CACHE)
    deadline = time.time() + 60
    while time.time() < deadline and program.poll() is None:
        sizes = [os.path.getsize(os.path.join(cache, n)) for n in
                 (os.listdir(cache) if os.path.isdir(cache) else [])]
        if sizes and max(sizes) >= at:
            program.kill()
            program.wait()
            return None
        time.sleep(0.01)
    program.kill()
    program.wait()
    return "the first pass was not killed with a partial of %d bytes in the cache" % at


def logged_sent(work, kind):
    """The bytes of big.cab a stock server's log says it sent, in total."""
    if kind == "vsftpd":
        text, pattern = open(os.path.join(work, "vsftpd.log")).read(), r"big\.cab\", (\d+) bytes"
    else:
        text, pattern = open(os.path.join(work, "server.log")).read(), r"big\.cab .*bytes=(\d+)"
    return sum(int(n) for n in re.findall(pattern, text))


def sent_so_far(work, row):
    return logged_sent(work, row.kind) if row.kind else rel.sent_bytes(work, "big.cab")


def prepare_program(folder, build, program):
    os.makedirs(os.path.join(folder, "User"))
    shutil.copy(os.path.join(build, "zarn4update"), folder)
    for name, text in (("zarn4.exe", MAIN_PROGRAM), ("derozor.exe", REGISTRATION_TOOL)):
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, 0o755)
    for name, data in (("radio.dll", OLD_VERSION), ("notes.txt", OLD_TEXT),
                       ("a.txt", b"old a\r\n"), ("c.txt", b"old c\r\n"), *program.items()):
        with open(os.path.join(folder, name), "wb") as f:
            f.write(data)
    os.makedirs(os.path.join(folder, "sub"))
    with open(os.path.join(folder, "sub", "a.txt"), "wb") as f:
        f.write(b"old sub a\r\n")
    # The installed plain files are old; the release's are from now.
    os.utime(os.path.join(folder, "notes.txt"), (978307200, 978307200))


def zreg(env, *arguments):
    subprocess.run([os.path.join(BUILD, "zreg")] + list(arguments), env=env, check=True,
                   stdout=subprocess.DEVNULL)


def query_dword(env, name):
    result = subprocess.run([os.path.join(BUILD, "zreg"), "query", rel.SETTINGS_KEY, "/v", name],
                            env=env, capture_output=True, text=True)
    return result.stdout.split()[-1] if result.returncode == 0 else None


def starts(folder):
    path = os.path.join(folder, "zarn4.exe.starts")
    return open(path).read().split() if os.path.exists(path) else []


def stop_main_programs(folder):
    for pid in starts(folder):
        try:
            os.kill(int(pid), signal.SIGTERM)
        except ProcessLookupError:
            pass


def wait_started(folder, count):
    deadline = time.time() + 10
    while len(starts(folder)) < count and time.time() < deadline:
        time.sleep(0.05)
    time.sleep(0.2)  # its close trap is set right after it records the start


def in_order(lines, expected):
    """The first expected line not found in order, or None."""
    at = 0
    for want in expected:
        match = (lambda l: l.startswith(want[:-1])) if want.endswith("*") else (lambda l: l == want)
        while at < len(lines) and not match(lines[at]):
            at += 1
        if at == len(lines):
            return want
        at += 1
    return None


@dataclass
class Run:
    returncode: int
    stderr: str
    written: int    # bytes the program passed to write calls (its wchar)
    seconds: float


def run_measured(command, env, answer):
    """Runs the program to its end (None after 60 s), sampling the bytes it has written."""
    start = time.time()
    errors = tempfile.TemporaryFile()
    program = subprocess.Popen(command, env=env, stdin=subprocess.PIPE,
                               stdout=subprocess.DEVNULL, stderr=errors)
    program.stdin.write((answer + "\n").encode())
    program.stdin.close()
    written = 0
    while program.poll() is None and time.time() - start < 60:
        try:
            with open("/proc/%d/io" % program.pid) as f:
                written = max(written, int(f.read().split("wchar:")[1].split()[0]))
        except (OSError, IndexError):
            pass
        time.sleep(0.02)
    if program.poll() is None:
        program.kill()
        program.wait()
        return None
    seconds = time.time() - start
    errors.seek(0)
    return Run(program.returncode, errors.read().decode("latin-1"), written, seconds)


def run_in_volume(row):
    """Runs the row again in a user and mount namespace of its own, where its program folder can
    be a small tmpfs; the row's outcome comes back as that run's lines."""
    done = subprocess.run(["unshare", "--map-root-user", "--mount", sys.executable,
                           os.path.abspath(__file__), BUILD, "=" + row.name],
                          env=dict(os.environ, ZARN_PASS_IN_VOLUME="1"), capture_output=True,
                          text=True, timeout=300)
    lines = done.stdout.splitlines()
    if not any(line.endswith(": " + row.name) for line in lines):
        return ["the row did not run in its own namespace: " + done.stderr.strip()]
    for line in lines:
        if line.startswith("  measured: "):
            print(line)
    return [line[2:] for line in lines if line.startswith("  ") and
            not line.startswith("  measured: ")]


def run_row(row):
    if row.volume_mib and not os.environ.get("ZARN_PASS_IN_VOLUME"):
        return run_in_volume(row)
    problems = []
    work = tempfile.mkdtemp(prefix="zarn-pass-")
    try:
        release, public_key = build_release(work, row)
        folder = os.path.join(work, "prog")
        if row.volume_mib:
            os.makedirs(folder)
            subprocess.run(["mount", "-t", "tmpfs", "-o", "size=%dm" % row.volume_mib, "tmpfs",
                            folder], check=True)
        prepare_program(folder, BUILD, row.program)
        env = dict(os.environ, ZARN4_REGISTRY=os.path.join(work, "registry.db"),
                   XDG_DATA_HOME=os.path.join(work, "data"))
        for name, value in row.settings.items():
            zreg(env, "add", rel.SETTINGS_KEY, "/v", name, "/t", "REG_DWORD", "/d", str(value),
                 "/f")
        if public_key is not None:
            zreg(env, "add", rel.SETTINGS_KEY, "/v", "Update Public Key", "/d", public_key, "/f")
        if row.main_running:
            subprocess.Popen([os.path.join(folder, "zarn4.exe")], start_new_session=True,
                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            wait_started(folder, 1)
        for name, data in row.stale.items():
            path = os.path.join(folder, "temp_update", name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
        for name, data in row.cache.items():
            os.makedirs(os.path.join(folder, CACHE), exist_ok=True)
            with open(os.path.join(folder, CACHE, name), "wb") as f:
                f.write(data)
        with rel.serving(release, work, row.script, row.kind, row.rate) as port:
            if not row.server:
                port = rel.ftp_interop.free_port()  # nobody listens there
            zreg(env, "add", rel.SETTINGS_KEY, "/v", "Update Server", "/d", "127.0.0.1:%d" % port,
                 "/f")
            sent_before = 0
            if row.killed_at:
                problem = kill_when_partial(folder, env, row.killed_at)
                if problem:
                    return [problem]
                time.sleep(0.5)  # the server logs the broken transfer
                sent_before = sent_so_far(work, row)
                shutil.rmtree(os.path.join(folder, "User"))
                os.makedirs(os.path.join(folder, "User"))
            done = run_measured([os.path.join(folder, "zarn4update"), "/run"], env, row.answer)
            if done is None:
                return ["the program did not end within 60 s"]
            if row.most_sent:
                time.sleep(0.3)
                sent = sent_so_far(work, row) - sent_before
                print("  measured: %d bytes of big.cab sent for a cabinet of %d" %
                      (sent, os.path.getsize(os.path.join(release.updates, "big.cab"))))
                if sent > row.most_sent:
                    problems.append("%d bytes of big.cab sent, more than %d" %
                                    (sent, row.most_sent))
        cache = os.path.join(folder, CACHE)
        if row.cache_after is not None:
            left = sorted(os.listdir(cache)) if os.path.isdir(cache) else []
            if left != sorted(row.cache_after):
                problems.append("download cache holds %s" % left)
        if row.most_written:
            print("  measured: %d bytes written in %.1f s" % (done.written, done.seconds))
            if done.written > row.most_written:
                problems.append("%d bytes written, more than %d" % (done.written,
                                                                    row.most_written))
        if done.returncode != row.exit_code:
            problems.append("exit code %d, expected %d; stderr: %s" %
                            (done.returncode, row.exit_code, done.stderr))
        names = ("zarn4updatelog_error.txt", "zarn4updatelog.txt")
        saved = [n for n in names if os.path.exists(os.path.join(folder, "User", n))]
        if saved != [names[0] if row.error_log else names[1]]:
            return problems + ["log files saved: %s" % saved]
        with open(os.path.join(folder, "User", saved[0]), "rb") as f:
            lines = f.read().decode("latin-1").split("\r\n")[:-1]
        missing = in_order(lines, row.expected)
        if missing is not None:
            problems.append("line %r missing or out of order in:\n  %s" %
                            (missing, "\n  ".join(lines)))
        for line in row.absent:
            if any(l.startswith(line) for l in lines):
                problems.append("unexpected line %r" % line)
        stored = query_dword(env, "Last Web Update") is not None
        if stored != row.stored:
            problems.append("update time stored: %s" % stored)
        for name, want in row.after.items():
            value = query_dword(env, name)
            if (value and int(value, 16)) != (want if want is None else want & 0xFFFFFFFF):
                problems.append("%s is %s after the pass, expected %s" % (name, value, want))
        reports = release.reports()
        if len(reports) != (1 if row.stored else 0):
            problems.append("%d reports received" % len(reports))
        elif reports:
            # The report carries the log up to the upload, which the closing of the session
            # follows.
            last_close = max(i for i, l in enumerate(lines) if l.startswith("FTP Status: Discon"))
            upload = lines[:last_close]
            if not reports[0].endswith("\r\n" + "\r\n".join(upload) + "\r\n\r\n"):
                problems.append("the report does not end with the log:\n" + reports[0])
        if os.path.exists(os.path.join(folder, "temp_update")):
            problems.append("work folder left behind")
        for name, data in row.installed.items():
            path = os.path.join(folder, name)
            if not os.path.exists(path) or open(path, "rb").read() != data:
                problems.append("%s is not the expected file" % name)
        for name in row.cab_times:
            cabinet = open(os.path.join(release.updates, name + ".cab"), "rb").read()
            entry = int.from_bytes(cabinet[16:20], "little")
            date, clock = (int.from_bytes(cabinet[entry + at:entry + at + 2], "little")
                           for at in (10, 12))
            stored = calendar.timegm(((date >> 9) + 1980, (date >> 5) & 15, date & 31,
                                      clock >> 11, (clock >> 5) & 63, (clock & 31) * 2))
            if os.stat(os.path.join(folder, name)).st_mtime != stored:
                problems.append("%s does not have its cabinet's time" % name)
        if os.path.exists(os.path.join(work, "evil.txt")):
            problems.append("a file landed outside the program folder")
        calls_path = os.path.join(folder, "derozor.calls")
        calls = open(calls_path).read().splitlines() if os.path.exists(calls_path) else []
        if calls != row.registered:
            problems.append("registration tool called with %s" % calls)
        closed = "Closing ZARN 4..." in lines
        if row.main_running:
            wait_started(folder, 2 if closed else 1)
            if len(starts(folder)) != (2 if closed else 1):
                problems.append("main program started %d times" % len(starts(folder)))
            if closed != ("Restarting ZARN ..." in lines):
                problems.append("the closed main program was not restarted, or the reverse")
        elif closed or starts(folder):
            problems.append("a main program that was not running was closed or started")
        return problems
    finally:
        stop_main_programs(os.path.join(work, "prog"))
        if row.volume_mib:
            subprocess.run(["umount", os.path.join(work, "prog")])
        shutil.rmtree(work, ignore_errors=True)


def flip_byte(name, offset=-10):
    """A tamper step: one bit of the named file of the update folder changes."""
    def tamper(updates, _work):
        path = os.path.join(updates, name)
        data = bytearray(open(path, "rb").read())
        data[offset] ^= 0x01
        open(path, "wb").write(bytes(data))
    return tamper


def resign(updates, work, edit=lambda text: text):
    """Rewrites the manifest through edit and signs it again with the release's key."""
    manifest = os.path.join(updates, "z4up.ini")
    text = edit(open(manifest, "rb").read())
    open(manifest, "wb").write(text)
    rel.Release(work).sign(os.path.join(work, "key.pem"))


def drop_notes_digest(updates, work):
    resign(updates, work, lambda text: b"".join(
        l for l in text.splitlines(True) if not l.startswith(b"notes.txt.cab=")))


def swap_notes_cabinet(updates, work):
    release = rel.Release(work)
    release.add_cab("notes.txt.cab", {"notes.txt": b"not the publisher's notes\r\n"})
    resign(updates, work)


def strip_channel(updates, work):
    """The manifest as zrelease made it before releases named their channel, signed again."""
    resign(updates, work, lambda text: b"".join(
        l for l in text.splitlines(True) if not l.startswith(b"Channel=")))


def beta_as_production(updates, _work):
    for suffix in ("", ".sig"):
        os.rename(os.path.join(updates, "z4upbeta.ini" + suffix),
                  os.path.join(updates, "z4up.ini" + suffix))


def listed(text, section, key, value):
    """The manifest text with key=value at the head of section (a new section when it has none),
    where a look-up finds it first."""
    header = b"[" + section + b"]\r\n"
    line = key + b"=" + value + b"\r\n"
    return text.replace(header, header + line, 1) if header in text else text + header + line


def unlisted(text, section, key):
    """The manifest text without key in section."""
    kept, current = [], None
    for line in text.splitlines(True):
        if line.startswith(b"["):
            current = line.strip()
        elif current == b"[" + section + b"]" and line.split(b"=")[0] == key:
            continue
        kept.append(line)
    return b"".join(kept)


def sized(updates, name):
    return str(os.path.getsize(os.path.join(updates, name))).encode()


def list_sizes(updates, work):
    resign(updates, work, lambda text: listed(listed(
        text, b"Sizes", b"notes.txt.cab", sized(updates, "notes.txt.cab")),
        b"Sizes", b"radio.dll.cab", sized(updates, "radio.dll.cab")))


def unsized_notes(updates, work):
    resign(updates, work, lambda text: unlisted(text, b"Sizes", b"notes.txt.cab"))


def shared_cabinet(updates, work):
    """notes.txt and radio.dll come from one cabinet, shared.cab. The hostile server sends it
    genuine on the first RETR and then forged.cab (outside the update folder) in its place: a
    forged notes.txt and radio.dll, and a manifest of the attacker's under the manifest's name."""
    release = rel.Release(work)
    attacker = b"[Cabs]\r\nnotes.txt=forged.cab\r\n[Registration]\r\nnotes.txt=True\r\n"
    release.add_cab("forged.cab", {"notes.txt": b"forged notes\r\n", "radio.dll": b"forged",
                                   "z4up.ini": attacker})
    os.rename(os.path.join(updates, "forged.cab"), os.path.join(release.root, "forged.cab"))
    release.add_cab("shared.cab", {"notes.txt": NEW_TEXT, "radio.dll": NEW_VERSION})
    digest = hashlib.sha256(open(os.path.join(updates, "shared.cab"), "rb").read()).hexdigest()

    def edit(text):
        text = text.replace(b"=notes.txt.cab\r\n", b"=shared.cab\r\n")
        text = text.replace(b"=radio.dll.cab\r\n", b"=shared.cab\r\n")
        text = listed(text, b"Hashes", b"shared.cab", digest.encode())
        return listed(text, b"Sizes", b"shared.cab", sized(updates, "shared.cab"))
    resign(updates, work, edit)


def replace_patch(name, make):
    """A tamper step: the patch name gets the bytes make(bytes, work) returns, listed under
    "Hashes" and "Sizes" and signed."""
    def tamper(updates, work):
        path = os.path.join(updates, name)
        data = make(open(path, "rb").read(), work)
        open(path, "wb").write(data)
        resign(updates, work, lambda text: listed(listed(
            text, b"Hashes", name.encode(), hashlib.sha256(data).hexdigest().encode()),
            b"Sizes", name.encode(), str(len(data)).encode()))
    return tamper


def patch_to_other(_patch, work):
    """A patch that decodes against the base to a file of the same size that is not the new one."""
    for folder, data in (("other-base", OLD_TEXT), ("other-src", NEW_TEXT[:-3] + b"x\r\n")):
        os.makedirs(os.path.join(work, folder))
        open(os.path.join(work, folder, "notes.txt"), "wb").write(data)
    zrelease("build", "--from", os.path.join(work, "other-src"), "--to",
             os.path.join(work, "other"), "--base", os.path.join(work, "other-base"))
    return open(os.path.join(work, "other", "notes.txt.patch"), "rb").read()


def window_over_bound(patch, _work):
    """The same single-segment frame declaring a 128 MiB window: a window descriptor, and the
    content size in 4 bytes."""
    descriptor = patch[4]
    size_bytes = (1, 2, 4, 8)[descriptor >> 6]
    header = 5 + (0, 1, 2, 4)[descriptor & 3]
    size = int.from_bytes(patch[header:header + size_bytes], "little") + (size_bytes == 2) * 256
    return (patch[:4] + bytes([0x80 | (descriptor & 0x07), 17 << 3]) + patch[5:header] +
            size.to_bytes(4, "little") + patch[header + size_bytes:])


def remove_signature(updates, _work):
    os.remove(os.path.join(updates, "z4up.ini.sig"))


def rows():
    notes_date = str(rel.packed_date(os.path.join(FIXTURES, "v41.dll")) + 1)
    both = dict(files=[("radio.dll", "4.1"), ("notes.txt", notes_date)],
                cabs=[("radio.dll", "radio.cab"), ("notes.txt", "notes.cab")])
    three = dict(files=[("a.txt", "1"), ("b.txt", "1"), ("c.txt", "1")],
                 cabs=[("a.txt", "a.cab"), ("c.txt", "c.cab")],
                 settings={"Repeat Rollback": 1})
    signed_ok = ["1/2  Download notes.txt.cab (notes.txt) OK",
                 "2/2  Download radio.dll.cab (radio.dll) OK", "Replaced notes.txt",
                 "Replaced radio.dll", "Registering radio.dll", STORED]
    refused = dict(zrelease=True, key="release", error_log=True,
                   expected=["Looking for Update",
                             "Manifest signature missing or invalid.  Quitting."],
                   absent=["-radio.dll", "Downloading", FAILURE, STORED],
                   installed={"radio.dll": OLD_VERSION, "notes.txt": OLD_TEXT})
    # Refused by the rule for signed manifests: nothing of the release is looked at or stored.
    def rule_refused(line, before=(), **changes):
        row = dict(refused, expected=[*before, "Looking for Update", line], **changes)
        row["absent"] = row["absent"] + ["Manifest signature"]
        return row
    older = dict(build=["--time", "1000"], settings={"Last Trusted Update": 1001},
                 after={"Last Trusted Update": 1001, "Last Web Update": None})
    older_line = "Manifest older than the last one accepted.  Quitting."
    rolling_back = "Rolling Back To Production Version"
    notes_dropped = dict(zrelease=True, key="release", stored=True, exit_code=3,
                         expected=["1/2  Download notes.txt.cab Failure # (%d)" % n
                                   for n in range(1, 6)] +
                                  ["2/2  Download radio.dll.cab (radio.dll) OK",
                                   "Download Complete.  1 files to extract.",
                                   "Replaced radio.dll", STORED],
                         absent=["Replaced notes.txt"],
                         installed={"radio.dll": NEW_VERSION, "notes.txt": OLD_TEXT},
                         registered=["-q radio.dll"])
    # Releases with patches against the older copies.
    patched = dict(zrelease=True, key="release", base={}, stored=True, exit_code=0,
                   installed={"radio.dll": NEW_VERSION, "notes.txt": NEW_TEXT},
                   registered=["-q radio.dll"], cab_times=["notes.txt"])
    def patch_failed(reason, tamper):
        return dict(patched, tamper=tamper, expected=[
            "Patch for notes.txt failed (%s); downloading its cabinet" % reason,
            "1/2  Download notes.txt.cab (notes.txt) OK", "Replaced notes.txt", STORED])
    own = open(os.path.join(BUILD, "zarn4update"), "rb").read()
    # The program folder's volume: the program, the 64 MiB an download must leave, and 24 MiB.
    volume = (os.path.getsize(os.path.join(BUILD, "zarn4update")) >> 20) + 64 + 24
    mib = 1 << 20
    big = dict(files=[("big.bin", "1")], cabs=[("big.bin", "big.cab")],
               settings={"Repeat Rollback": 1})
    resumed = dict(big, big=2 * mib, stored=True, exit_code=0, cache_after=[],
                   expected=["1/1  Download big.cab Failure # (0)",
                             "1/1  Download big.cab (big.bin) OK", "Replaced big.bin", STORED],
                   absent=["1/1  Download big.cab Failure # (1)"],
                   installed={"big.bin": big_bytes(2 * mib)})
    given_up = dict(big, big=2 * mib, expected=["1/1  Download big.cab Failure # (%d)" % n
                                                for n in range(1, 6)] + [FAILURE],
                    absent=["1/1  Download big.cab Failure # (6)", "Replaced big.bin", STORED])
    # A pass killed with half of a 4 MiB cabinet in the cache; the next one fetches the rest.
    killed = dict(resumed, big=4 * mib, rate=mib, killed_at=2 * mib,
                  most_sent=2 * mib + 128 * 1024, expected=["1/1  Download big.cab (big.bin) OK",
                                                             "Replaced big.bin", STORED],
                  absent=["1/1  Download big.cab Failure"], installed={"big.bin": big_bytes(4 * mib)})
    return [
        Row("patch: an installed base gets the patch", **patched,
            expected=["1/2  Download notes.txt.patch (notes.txt) OK",
                      "Download Complete.  2 files to extract.", "Extracting notes.txt",
                      "Replaced notes.txt", "Registering radio.dll", STORED],
            absent=["Patch for", "Download notes.txt.cab"]),
        Row("patch: an installed file that is not the base gets the cabinet",
            **{**patched, "program": {"notes.txt": b"edited by hand\r\n"}},
            expected=["1/2  Download notes.txt.cab (notes.txt) OK", "Replaced notes.txt"],
            absent=["Patch for", "Download notes.txt.patch"]),
        Row("patch missing from the server",
            **patch_failed("not on the server", lambda updates, _work: os.remove(
                os.path.join(updates, "notes.txt.patch")))),
        Row("patch failing its digest",
            **patch_failed("download failed", flip_byte("notes.txt.patch"))),
        Row("patch decoding to the wrong result",
            **patch_failed("the patched file is not the expected one",
                           replace_patch("notes.txt.patch", patch_to_other))),
        # Over the decoder's 128 KiB output buffer: a smaller file is decoded in one call into it.
        Row("patch with a window over the bound",
            **{**patch_failed("the patch is not one frame of the expected size and window",
                              replace_patch("notes.txt.patch", window_over_bound)),
               "installed": {"radio.dll": NEW_VERSION, "notes.txt": NEW_TEXT * 120}},
            source={"notes.txt": NEW_TEXT * 120}),
        Row("patch of the own executable",
            **{**patched, "installed": {"new_ZARN4UPDATE": own + b"next\n"},
               "base": {"zarn4update": own}},
            settings={"Repeat Rollback": 1}, source={"zarn4update": own + b"next\n"},
            expected=["3/3  Download zarn4update.patch (zarn4update) OK",
                      "ExtractingEx zarn4update", "ZARN4UPDATE will be replaced when ZARN starts.",
                      STORED]),
        Row("resume: cut every 256 KiB, completes", **resumed,
            script={"big.cab": ["cut:262144"]}, most_sent=2 * mib * 105 // 100),
        Row("resume: cut before 64 KiB every time, given up after five", **given_up,
            script={"big.cab": ["cut:40000"]}),
        Row("resume: file changed between attempts, digest refuses it",
            **{**given_up, "expected": ["1/1  Download big.cab Failure # (0)"] +
               given_up["expected"]},
            script={"big.cab": ["cut:1000000", "file:changed.cab"]}),
        Row("resume: server ignores REST and sends from 0", **resumed,
            script={"big.cab": ["cut:1000000", "norest"]}),
        Row("resume: a killed pass, then a pass that resumes", **killed,
            script={"big.cab": ["genuine"]}),
        Row("resume: killed pass resumed against vsftpd", **killed, kind="vsftpd"),
        Row("resume: killed pass resumed against stock pyftpdlib", **killed, kind="pyftpdlib"),
        Row("resume: killed pass resumed against Pure-FTPd", **{**killed, "most_sent": 0},
            kind="pure-ftpd"),
        Row("resume: cache entries not listed are deleted",
            **{**resumed, "expected": resumed["expected"][1:], "absent": []},
            cache={"0" * 64 + ".partial": b"x" * 100000, "stray.cab": b"cab"}),
        Row("shared cabinet: forged later RETRs are not installed", zrelease=True, key="release",
            tamper=shared_cabinet,
            script={"shared.cab": ["genuine", "file:forged.cab"]}, stored=True, exit_code=3,
            expected=["1/2  Download shared.cab (notes.txt) OK"] +
                     ["2/2  Download shared.cab Failure # (%d)" % n for n in range(1, 6)] +
                     ["Download Complete.  1 files to extract.", "Replaced notes.txt", STORED],
            absent=["Replaced radio.dll", "Registering"],
            installed={"radio.dll": OLD_VERSION, "notes.txt": NEW_TEXT}),
        Row("endless signature", **refused, script={"z4up.ini.sig": ["endless"]},
            most_written=2 << 20),
        Row("endless manifest", zrelease=True, key="release", script={"z4up.ini": ["endless"]},
            expected=["Looking for Update", FAILURE], absent=["Downloading", STORED],
            installed={"radio.dll": OLD_VERSION, "notes.txt": OLD_TEXT},
            most_written=(64 + 2) << 20),
        Row("endless cabinet of a listed size", **notes_dropped, tamper=list_sizes,
            script={"notes.txt.cab": ["endless"]}, most_written=2 << 20),
        Row("endless unsized cabinet on a small volume keeps 64 MiB free",
            **{**notes_dropped, "volume_mib": volume}, tamper=unsized_notes,
            script={"notes.txt.cab": ["endless"]}, most_written=(5 * 24 + 2) << 20),
        Row("a stale file in a sub-folder of the work folder is not installed",
            files=[("sub/a.txt", "1")], cabs=[("sub/a.txt", "a.cab")],
            settings={"Repeat Rollback": 1}, stale={"sub/a.txt": b"stale a\r\n"}, stored=True,
            exit_code=3, expected=["Extracting sub/a.txt", " - sub/a.txt extraction failed.",
                                   STORED],
            installed={"sub/a.txt": b"old sub a\r\n"}),
        Row("zrelease release, signed, with the key", zrelease=True, key="release", stored=True,
            exit_code=0, expected=signed_ok, absent=["Manifest signature"],
            installed={"radio.dll": NEW_VERSION, "notes.txt": NEW_TEXT},
            registered=["-q radio.dll"]),
        Row("signed release raises the accepted stamp", zrelease=True, key="release", stored=True,
            exit_code=0, build=["--time", "1000"], settings={"Last Trusted Update": 999},
            after={"Last Trusted Update": 1000}, expected=signed_ok,
            installed={"radio.dll": NEW_VERSION, "notes.txt": NEW_TEXT},
            registered=["-q radio.dll"]),
        Row("roll-back to the current production release", zrelease=True, key="release",
            stored=True, exit_code=0, build=["--time", "1000"],
            settings={"Repeat Rollback": 1, "Last Trusted Update": 1000},
            after={"Last Trusted Update": 1000, "Repeat Rollback": 0},
            expected=[rolling_back] + signed_ok, absent=["Manifest ", "-radio.dll"],
            installed={"radio.dll": NEW_VERSION, "notes.txt": NEW_TEXT},
            registered=["-q radio.dll"]),
        Row("replayed older release", **rule_refused(older_line, **older)),
        Row("replayed older release, roll-back after beta",
            **rule_refused(older_line, [rolling_back],
                           **{**older, "settings": {"Last Update Was Beta": 1,
                                                    "Last Trusted Update": 1001}})),
        Row("replayed older release, Repeat Rollback set",
            **rule_refused(older_line, [rolling_back],
                           **{**older, "settings": {"Repeat Rollback": 1,
                                                    "Last Trusted Update": 1001},
                              "after": {**older["after"], "Repeat Rollback": 1}})),
        Row("replayed 1.2.3.150 over 1.2.4.0",
            **rule_refused(older_line, **{**older, "installed": {"radio.dll": V124}}),
            source={"radio.dll": V123150}, program={"radio.dll": V124},
            build_warning="version 1.2.3.150: its field 150 lies outside 0 to 99"),
        Row("beta release served as production",
            **rule_refused("Manifest for another channel.  Quitting.",
                           after={"Last Trusted Update": None,
                                  "Last Trusted Beta Update": None}),
            build=["--beta"], tamper=beta_as_production),
        Row("expired release", **rule_refused("Manifest expired.  Quitting.",
                                              after={"Last Trusted Update": None}),
            build=["--expires", "0"]),
        Row("release without a channel", **rule_refused("Manifest without a channel.  Quitting.",
                                                        after={"Last Trusted Update": None}),
            tamper=strip_channel),
        Row("manifest byte flipped", **refused, tamper=flip_byte("z4up.ini")),
        Row("signature byte flipped", **refused, tamper=flip_byte("z4up.ini.sig")),
        Row("signature missing", **refused, tamper=remove_signature),
        Row("signature of another key", **{**refused, "key": "other"}),
        Row("malformed key refuses every release", **{**refused, "key": "12ab"}),
        Row("cabinet byte flipped", **notes_dropped, tamper=flip_byte("notes.txt.cab")),
        Row("Hashes entry missing", **notes_dropped, tamper=drop_notes_digest),
        Row("re-signed after a cabinet swap", **notes_dropped, tamper=swap_notes_cabinet),
        Row("no key: a listed digest is still checked", **{**notes_dropped, "key": None},
            signed=False, tamper=flip_byte("notes.txt.cab")),
        Row("install without asking", **both, answer="n",
            settings={"Install Without Asking": 1}, stored=True, exit_code=0,
            expected=["-radio.dll Old:1.2.3.100 New:4.1 Replace.",
                      "Update Accepted Without Asking", "Downloading 2 CAB Files...",
                      "Replaced radio.dll", "Replaced notes.txt", STORED],
            absent=["Update Cancelled by User"],
            installed={"radio.dll": NEW_VERSION, "notes.txt": NEW_TEXT}),
        Row("installed", **both, registration=[("radio.dll", "True"), ("notes.txt", "true")],
            main_running=True, stored=True, exit_code=0,
            expected=["Connecting to Server", "Looking for Update",
                      "-radio.dll Old:1.2.3.100 New:4.1 Replace.", "-notes.txt Old: *",
                      "Downloading 2 CAB Files...", "1/2  Download radio.cab (radio.dll) OK",
                      "2/2  Download notes.cab (notes.txt) OK",
                      "Download Complete.  2 files to extract.", "Closing ZARN 4...",
                      "Extracting radio.dll", "Replaced radio.dll", "Extracting notes.txt",
                      "Replaced notes.txt", "Extraction Complete.  2", "Registering radio.dll",
                      STORED, "Restarting ZARN ..."],
            installed={"radio.dll": NEW_VERSION, "notes.txt": NEW_TEXT},
            registered=["-q radio.dll"]),
        Row("nothing to update", files=[("radio.dll", "1.2.3.100")],
            cabs=[("radio.dll", "radio.cab")], main_running=True, stored=True, exit_code=0,
            expected=["-radio.dll Old:1.2.3.100 New:1.2.3.100 Ok.",
                      "There Are No Updates based on Version Comparison for each file.",
                      "Ending Update", STORED],
            absent=["Downloading", "Closing ZARN 4..."], installed={"radio.dll": OLD_VERSION}),
        Row("empty Files", stored=True, exit_code=0,
            expected=["There are no updated files listed on the server.",
                      "There Are No Updates based on Version Comparison for each file.",
                      "Ending Update", STORED]),
        Row("equal Last Web Update", files=[("radio.dll", "4.1")],
            cabs=[("radio.dll", "radio.cab")], settings={"Last Web Update": 300}, stored=True,
            exit_code=0,
            expected=["There appear to be no updates based on Update Time.",
                      "-radio.dll Old:1.2.3.100 New:4.1 Replace.", "Replaced radio.dll", STORED],
            installed={"radio.dll": NEW_VERSION}),
        Row("malformed Time Of Update", time_of_update="300x", stored=True, exit_code=0,
            expected=["There appear to be no updates based on Update Time.", STORED]),
        Row("roll-back installs older files", files=[("radio.dll", "1.0")],
            cabs=[("radio.dll", "radio.cab")], settings={"Repeat Rollback": 1}, stored=True,
            exit_code=0,
            expected=["Rolling Back To Production Version", "Downloading 1 CAB File...",
                      "1/1  Download radio.cab (radio.dll) OK", "Replaced radio.dll", STORED],
            absent=["-radio.dll", "Repeat Rollback Required"],
            installed={"radio.dll": NEW_VERSION}),
        Row("missing Cabs entry", **three, stored=True, exit_code=3,
            expected=["1/3  Download a.cab (a.txt) OK", "2/3  Missing CAB File: b.txt skipped",
                      "3/3  Download c.cab (c.txt) OK",
                      "Repeat Rollback Required due to Download Failures",
                      "Download Complete.  2 files to extract.", "Replaced a.txt",
                      "Replaced c.txt", STORED],
            installed={"a.txt": b"new a\r\n", "c.txt": b"new c\r\n"}),
        Row("five failures then dropped", files=[("a.txt", "1"), ("c.txt", "1")],
            cabs=[("a.txt", "bad.cab"), ("c.txt", "c.cab")], settings={"Repeat Rollback": 1},
            stored=True, exit_code=3,
            expected=["1/2  Download bad.cab Failure # (%d)" % n for n in range(1, 6)] +
                     ["2/2  Download c.cab (c.txt) OK", "Download Complete.  1 files to extract.",
                      "Replaced c.txt", STORED],
            absent=["1/2  Download bad.cab Failure # (6)"],
            installed={"a.txt": b"old a\r\n", "c.txt": b"new c\r\n"}),
        Row("all dropped", files=[("a.txt", "1")], cabs=[("a.txt", "bad.cab")],
            settings={"Repeat Rollback": 1},
            expected=["1/1  Download bad.cab Failure # (5)",
                      "Repeat Rollback Required due to Download Failures", FAILURE],
            absent=["Download Complete.", STORED], installed={"a.txt": b"old a\r\n"}),
        Row("answer No", **both, answer="n", main_running=True, exit_code=2,
            expected=["-radio.dll Old:1.2.3.100 New:4.1 Replace.", "Update Cancelled by User",
                      FAILURE],
            absent=["Downloading", "Closing ZARN 4...", STORED],
            installed={"radio.dll": OLD_VERSION, "notes.txt": OLD_TEXT}),
        Row("marker keys", files=[("ERROR", "1"), ("**", "1"), ("error", "1")],
            cabs=[("ERROR", "a.cab")], stored=True, exit_code=0,
            expected=["There Are No Updates based on Version Comparison for each file.", STORED],
            absent=["There are no updated files listed", " ERROR is a new file", "Downloading"]),
        Row("own executable never registered", files=[("ZARN4UPDATE", "1")],
            cabs=[("ZARN4UPDATE", "self.cab")], registration=[("ZARN4UPDATE", "True")],
            stored=True, exit_code=0,
            expected=["1/1  Download self.cab (ZARN4UPDATE) OK", "ExtractingEx ZARN4UPDATE",
                      "ZARN4UPDATE will be replaced when ZARN starts.", "Extraction Complete.  0",
                      STORED],
            absent=["Registering", "Register "],
            installed={"new_ZARN4UPDATE": b"the next updater\n"}),
        Row("hostile keys", files=[("../evil.txt", "1"), ("a.txt", "1")],
            cabs=[("../evil.txt", "evil.cab"), ("a.txt", "a.cab")],
            settings={"Repeat Rollback": 1}, stored=True, exit_code=0,
            expected=["Skipped ../evil.txt: not a file inside the program folder",
                      "1/1  Download a.cab (a.txt) OK", "Replaced a.txt", STORED],
            absent=["Download evil.cab"], installed={"a.txt": b"new a\r\n"}),
        Row("keys naming the pass's own files", files=[("z4up.ini", "1"),
                                                      ("temp_update/c.txt", "1"),
                                                      ("ZARN4U~1", "1"), ("a.txt", "1")],
            cabs=[("z4up.ini", "hostile.cab"), ("temp_update/c.txt", "c.cab"),
                  ("ZARN4U~1", "self.cab"), ("a.txt", "a.cab")],
            settings={"Repeat Rollback": 1}, stored=True, exit_code=0,
            expected=["Skipped z4up.ini: the name of the manifest or its signature",
                      "Skipped temp_update/c.txt: inside the update's work folder",
                      "Skipped ZARN4U~1: a short 8.3 name, which may stand for another file",
                      "1/1  Download a.cab (a.txt) OK", "Replaced a.txt", STORED],
            absent=["Download hostile.cab", "Download self.cab"],
            installed={"a.txt": b"new a\r\n"}),
        Row("manifest missing", manifest=False, error_log=True,
            expected=["Looking for Update", "z4up.ini is missing from FTP site.  Quitting."],
            absent=[FAILURE]),
        Row("no server", server=False, error_log=True,
            expected=["Connecting to Server", FAILURE, "ENetSocketError: 10061"]),
    ]


def main():
    # The pass closes any running main program of this user: wait for the companion tests (a row
    # run again in its own namespace runs under its parent's lock).
    if not os.environ.get("ZARN_PASS_IN_VOLUME"):
        lock = open("/tmp/zarn-companion-tests.lock", "a+")
        fcntl.lockf(lock, fcntl.LOCK_EX, 1, 0)
    failed = 0
    only = sys.argv[2] if len(sys.argv) > 2 else ""
    # "=NAME" runs exactly that row.
    chosen = (lambda r: r.name == only[1:]) if only.startswith("=") else (lambda r: only in r.name)
    for row in (r for r in rows() if chosen(r)):
        try:
            problems = run_row(row)
        except rel.ServerUnavailable as reason:
            print("skipped: %s (%s)" % (row.name, reason))
            continue
        print("%s: %s" % ("ok" if not problems else "FAIL", row.name))
        for problem in problems:
            print("  " + problem)
        failed += bool(problems)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
