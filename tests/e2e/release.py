"""Sample update releases on a local update server, for the end-to-end passes, scripts/demo and
bench/pass.sh.

A release is a server tree as the updater expects it after log-in: <host>/pub/zarn4update with
the manifest z4up.ini and gcab-made cabinets, and a writable <host>/incoming for the reports. The
server is pyftpdlib on a free port of 127.0.0.1 (the same server as the FTP interoperability
test), run by Debian's python3, which carries pyftpdlib.
"""
import contextlib
import hashlib
import json
import signal
import os
import pwd
import shutil
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "net"))
import ftp_interop  # noqa: E402  (the pyftpdlib server and its start-up checks)

HOST = "127.0.0.1"
SETTINGS_KEY = r"HKCU\Software\Brenicsoft\Zarn4\Config"


def packed_date(path):
    """The file's last-write time as the updater packs it: DOS date high, DOS time low."""
    t = time.localtime(os.path.getmtime(path))
    date = ((t.tm_year - 1980) << 9) | (t.tm_mon << 5) | t.tm_mday
    clock = (t.tm_hour << 11) | (t.tm_min << 5) | (t.tm_sec // 2)
    return (date << 16) | clock


class Release:
    """The server tree of one release, built in work/root."""

    def __init__(self, work):
        self.root = os.path.join(work, "root")
        self.updates = os.path.join(self.root, HOST, "pub", "zarn4update")
        self.incoming = os.path.join(self.root, HOST, "incoming")
        self.staging = os.path.join(work, "staging")
        for folder in (self.updates, self.incoming, self.staging):
            os.makedirs(folder, exist_ok=True)
        os.chmod(self.incoming, 0o777)

    def add_cab(self, cab, members):
        """Packs members (stored name -> bytes) into the cabinet cab with gcab (MSZIP)."""
        names = []
        for name, data in members.items():
            path = os.path.join(self.staging, name)
            os.makedirs(os.path.dirname(path), exist_ok=True)
            with open(path, "wb") as f:
                f.write(data)
            names.append(name)
        subprocess.run(["gcab", "-c", "-z", os.path.join(self.updates, cab)] + names,
                       cwd=self.staging, check=True)

    def add_file(self, name, data):
        """A plain file in the update folder (something that is not a cabinet, a folder name)."""
        with open(os.path.join(self.updates, name), "wb") as f:
            f.write(data)

    def write_manifest(self, time_of_update, files, cabs=(), registration=(), name="z4up.ini",
                       ident=()):
        """files, cabs, registration and more "Ident" values are (key, value) pairs, written in
        their order."""
        lines = ["[Ident]", "Time Of Update=%s" % time_of_update]
        lines += ["%s=%s" % pair for pair in ident] + ["[Files]"]
        lines += ["%s=%s" % pair for pair in files]
        lines += ["[Cabs]"] + ["%s=%s" % pair for pair in cabs]
        lines += ["[Registration]"] + ["%s=%s" % pair for pair in registration]
        with open(os.path.join(self.updates, name), "w", newline="\r\n") as f:
            f.write("\n".join(lines) + "\n")

    def add_hashes(self, name="z4up.ini"):
        """Appends the sections "Hashes" and "Sizes" with the SHA-256 and the size of every
        cabinet in the update folder."""
        cabs = sorted(c for c in os.listdir(self.updates)
                      if c.endswith(".cab") and os.path.isfile(os.path.join(self.updates, c)))
        lines = ["[Hashes]"]
        for cab in cabs:
            with open(os.path.join(self.updates, cab), "rb") as f:
                lines.append("%s=%s" % (cab, hashlib.sha256(f.read()).hexdigest()))
        lines += ["[Sizes]"] + ["%s=%d" % (cab, os.path.getsize(os.path.join(self.updates, cab)))
                                for cab in cabs]
        with open(os.path.join(self.updates, name), "a", newline="\r\n") as f:
            f.write("\n".join(lines) + "\n")

    def sign(self, private_key, name="z4up.ini"):
        """Signs the manifest as zrelease does: name + ".sig" holds r||s of ECDSA P-256 over
        SHA-256 (openssl writes the DER form, which is taken apart here)."""
        manifest = os.path.join(self.updates, name)
        der = subprocess.run(["openssl", "dgst", "-sha256", "-sign", private_key, manifest],
                             check=True, capture_output=True).stdout
        r_length = der[3]
        r = int.from_bytes(der[4:4 + r_length], "big")
        s = int.from_bytes(der[6 + r_length:6 + r_length + der[5 + r_length]], "big")
        with open(manifest + ".sig", "wb") as f:
            f.write(r.to_bytes(32, "big") + s.to_bytes(32, "big"))

    def reports(self):
        """The texts of the reports stored in incoming, oldest name first."""
        texts = []
        for name in sorted(os.listdir(self.incoming)):
            with open(os.path.join(self.incoming, name), "rb") as f:
                texts.append(f.read().decode("latin-1"))
        return texts


# A hostile server: for the files a script names, the n-th RETR follows the script's n-th action
# (the last one repeats): "genuine" sends the file, "file:NAME" sends the bytes of NAME in the
# server's root folder in its place, "endless" sends bytes until the client stops reading (capped
# at 8 GiB). Actions joined by "+" add: "cut:N" drops the data connection (426) after N bytes of
# this RETR, "norest" answers REST but sends from byte 0. The script's key "rate" throttles every
# data connection to that many bytes a second. The bytes sent of each scripted file add up in
# the file "sent.json" beside the script.
SCRIPTED_HANDLER = r'''
import json
from pyftpdlib.handlers import ThrottledDTPHandler
script = json.load(open(sys.argv[4]))
sent_path = os.path.join(os.path.dirname(sys.argv[4]), "sent.json")
retrieved = {}
sent = {}


class Endless:
    piece = b"\x5a" * 65536

    def __init__(self):
        self.sent = 0

    def more(self):
        if self.sent >= 8 << 30:
            return b""
        self.sent += len(self.piece)
        return self.piece


class Cut(Exception):
    """Raised by a producer: the data connection drops with a 426."""


class Counted:
    """The file's bytes from offset on, counted in sent.json, up to an optional cut."""

    def __init__(self, fd, name, offset, budget):
        self.fd, self.name, self.budget = fd, name, budget
        fd.seek(offset)

    def more(self):
        if self.budget is not None and self.budget <= 0:
            raise Cut()
        size = 65536 if self.budget is None else min(65536, self.budget)
        data = self.fd.read(size)
        if self.budget is not None:
            self.budget -= len(data)
        sent[self.name] = sent.get(self.name, 0) + len(data)
        with open(sent_path + ".tmp", "w") as f:
            json.dump(sent, f)
        os.replace(sent_path + ".tmp", sent_path)
        return data


class Scripted(Handler):
    use_sendfile = False  # every scripted byte goes through Counted

    def ftp_RETR(self, file):
        name = os.path.basename(file)
        actions = script.get(name)
        if not actions:
            return FTPHandler.ftp_RETR(self, file)
        count = retrieved.get(name, 0)
        retrieved[name] = count + 1
        offset, self._restart_position = self._restart_position, 0
        budget = None
        for action in actions[min(count, len(actions) - 1)].split("+"):
            if action == "endless":
                self.push_dtp_data(Endless(), isproducer=True, cmd="RETR")
                return file
            if action.startswith("file:"):
                file = os.path.join(root, action[5:])
            elif action.startswith("cut:"):
                budget = int(action[4:])
            elif action == "norest":
                offset = 0
        if offset > os.path.getsize(file):
            self.respond("554 REST position past the end.")
            return
        fd = open(file, "rb")
        self.push_dtp_data(Counted(fd, name, offset, budget), isproducer=True, file=fd, cmd="RETR")
        return file


Handler = Scripted
if script.get("rate"):
    ThrottledDTPHandler.write_limit = script["rate"]
    Handler.dtp_handler = ThrottledDTPHandler
'''


# Stock pyftpdlib: its own handler, throttled by its own ThrottledDTPHandler when a rate is set.
STOCK_PYFTPDLIB = r'''
import sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler, ThrottledDTPHandler
from pyftpdlib.servers import FTPServer

root, incoming, port, rate = sys.argv[1], sys.argv[2], int(sys.argv[3]), int(sys.argv[4])
authorizer = DummyAuthorizer()
authorizer.add_anonymous(root, perm="elr")
authorizer.override_perm("anonymous", incoming, perm="elrw")
FTPHandler.authorizer = authorizer
FTPHandler.masquerade_address = "127.0.0.1"
if rate:
    ThrottledDTPHandler.write_limit = rate
    FTPHandler.dtp_handler = ThrottledDTPHandler
FTPServer(("127.0.0.1", port), FTPHandler).serve_forever()
'''


@contextlib.contextmanager
def serving(release, work, script=None, kind=None, rate=0):
    """Serves the release with pyftpdlib, or with the scripted server when a script (file name ->
    list of actions) is given, or with stock pyftpdlib or vsftpd (kind), throttled to rate bytes
    a second when one is given; yields the port."""
    port = ftp_interop.free_port()
    if kind == "vsftpd":
        config = ["anon_max_rate=%d" % rate] if rate else []
        config += ["xferlog_enable=YES", "xferlog_std_format=NO", "log_ftp_protocol=YES"]
        server = ftp_interop.start_vsftpd(release.root, release.incoming, port, work, config)
        if server is None:
            raise ServerUnavailable("vsftpd cannot run here (it needs root)")
    elif kind == "pure-ftpd":
        server = start_pure_ftpd(release, work, port, rate)
    elif kind == "pyftpdlib":
        server = ftp_interop.start_pyftpdlib(release.root, release.incoming, port, work,
                                             STOCK_PYFTPDLIB, [str(rate)])
    elif script:
        script_path = os.path.join(work, "script.json")
        with open(script_path, "w") as f:
            json.dump(script, f)
        code = ftp_interop.PYFTPDLIB_HANDLER + SCRIPTED_HANDLER + ftp_interop.PYFTPDLIB_MAIN
        server = ftp_interop.start_pyftpdlib(release.root, release.incoming, port, work, code,
                                             [script_path])
    else:
        server = ftp_interop.start_pyftpdlib(release.root, release.incoming, port, work)
    try:
        if not ftp_interop.wait_listening(port, server):
            raise RuntimeError("the FTP server did not start: " +
                               open(os.path.join(work, "server.log")).read())
        yield port
    finally:
        server.terminate()
        try:
            server.wait(timeout=5)
        except subprocess.TimeoutExpired:
            server.kill()
            server.wait()


class ServerUnavailable(RuntimeError):
    """A real server a row asks for cannot run on this machine."""


PURE_FTPD = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "build", "deps",
                         "pure-ftpd", "usr", "sbin", "pure-ftpd")


def start_pure_ftpd(release, work, port, rate):
    """Pure-FTPd as scripts/install-deps unpacked it, anonymous only, on 127.0.0.1. Its anonymous
    root is the ftp user's home: a mount namespace of its own binds the release there, which
    nothing outside it sees (root only)."""
    if not os.access(PURE_FTPD, os.X_OK) or os.geteuid() != 0 or not shutil.which("unshare"):
        raise ServerUnavailable("pure-ftpd cannot run here (scripts/install-deps unpacks it; it needs "
                           "root for its namespace)")
    home = pwd.getpwnam("ftp").pw_dir
    command = ("mount --make-rprivate / && mount --bind \"$1\" \"$2\" && shift 2 && "
               "exec \"$@\"")
    options = ["-S", "127.0.0.1,%d" % port, "-e", "-P", "127.0.0.1", "-f", "none"]
    if rate:
        options += ["-t", str(max(rate // 1024, 1))]
    log = open(os.path.join(work, "server.log"), "w")
    return subprocess.Popen(["unshare", "--mount", "sh", "-c", command, "sh", release.root, home,
                             PURE_FTPD] + options, stdout=log, stderr=subprocess.STDOUT)


def sent_bytes(work, name):
    """The bytes of name the scripted server has sent (sent.json), 0 before any."""
    path = os.path.join(work, "sent.json")
    return json.load(open(path)).get(name, 0) if os.path.exists(path) else 0


def make_key(path):
    """A new P-256 private key in PEM form; returns the public key as the setting holds it
    (128 hexadecimal digits, X then Y)."""
    subprocess.run(["openssl", "ecparam", "-name", "prime256v1", "-genkey", "-noout", "-out",
                    path], check=True)
    der = subprocess.run(["openssl", "ec", "-in", path, "-pubout", "-outform", "DER"],
                         check=True, capture_output=True).stdout
    return der[-64:].hex()


def sample_release(work, fixtures):
    """The Windows pass's release: a versioned library (4.1 over 1.2.3.100), two text files, with
    digests and signed by work/key.pem (its public key in work/public_key), and the older copies
    a program folder starts with (name -> bytes)."""
    release = Release(work)
    new_library = open(os.path.join(fixtures, "v41.dll"), "rb").read()
    notes = b"ZARN 4 release notes\r\n\r\n- receivers scan faster\r\n"
    bands = b"[Bands]\r\nLW=148-283\r\nMW=526-1606\r\nSW=2300-26100\r\n"
    release.add_cab("radio.cab", {"radio.dll": new_library})
    release.add_cab("texts.cab", {"notes.txt": notes, "bands.ini": bands})
    staged = lambda name: packed_date(os.path.join(release.staging, name))  # noqa: E731
    release.write_manifest(
        300,
        [("radio.dll", "4.1"), ("notes.txt", staged("notes.txt")), ("bands.ini", staged("bands.ini"))],
        [("radio.dll", "radio.cab"), ("notes.txt", "texts.cab"), ("bands.ini", "texts.cab")],
        [("radio.dll", "True")], ident=[("Channel", "production")])
    release.add_hashes()
    with open(os.path.join(work, "public_key"), "w") as f:
        f.write(make_key(os.path.join(work, "key.pem")))
    release.sign(os.path.join(work, "key.pem"))
    return release, sample_older(fixtures)


def sample_older(fixtures):
    return {"radio.dll": open(os.path.join(fixtures, "v100.dll"), "rb").read(),
            "notes.txt": b"ZARN 4 release notes\r\n", "bands.ini": b"[Bands]\r\nMW=526-1606\r\n"}


def sample_zrelease(work, fixtures, zrelease):
    """The demo's release: the same new files as sample_release, made into a signed release by
    zrelease from a program folder (work/staging)."""
    release = Release(work)
    files = {"radio.dll": open(os.path.join(fixtures, "v41.dll"), "rb").read(),
             "notes.txt": b"ZARN 4 release notes\r\n\r\n- receivers scan faster\r\n",
             "bands.ini": b"[Bands]\r\nLW=148-283\r\nMW=526-1606\r\nSW=2300-26100\r\n"}
    for name, data in files.items():
        with open(os.path.join(release.staging, name), "wb") as f:
            f.write(data)
    key = os.path.join(work, "key.pem")
    public = subprocess.run([zrelease, "keygen", key], check=True, capture_output=True,
                            text=True).stdout.strip()
    with open(os.path.join(work, "public_key"), "w") as f:
        f.write(public)
    subprocess.run([zrelease, "build", "--from", release.staging, "--to", release.updates,
                    "--register", "radio.dll", "--key", key], check=True)
    return release, sample_older(fixtures)


def sample_case_release(work, fixtures):
    """The sample release with bands.ini's cabinet named TEXTS.CAB, which on Windows is the same
    local file as notes.txt's texts.cab, and a server script that answers every RETR of TEXTS.CAB
    with forged.cab: forged copies of both files. Returns the release, the older copies and the
    script."""
    release, older = sample_release(work, fixtures)
    genuine_staging, release.staging = release.staging, os.path.join(work, "forged")
    os.makedirs(release.staging)
    release.add_cab("forged.cab", {"notes.txt": b"forged notes\r\n", "bands.ini": b"forged\r\n"})
    release.staging = genuine_staging
    os.rename(os.path.join(release.updates, "forged.cab"), os.path.join(release.root, "forged.cab"))
    manifest = os.path.join(release.updates, "z4up.ini")
    text = open(manifest, "rb").read().replace(b"bands.ini=texts.cab", b"bands.ini=TEXTS.CAB")
    open(manifest, "wb").write(text)
    release.sign(os.path.join(work, "key.pem"))
    return release, older, {"TEXTS.CAB": ["file:forged.cab"]}


def resume_release(work):
    """A release of one 1 MiB file, big.bin, alone in big.cab (listed with its digest and size),
    and a server script that cuts every RETR of it after 256 KiB. Returns the release and the
    script; the file's bytes are in work/big.bin."""
    release = Release(work)
    data = os.urandom(1 << 20)
    with open(os.path.join(work, "big.bin"), "wb") as f:
        f.write(data)
    release.add_cab("big.cab", {"big.bin": data})
    release.write_manifest(300, [("big.bin", "1")], [("big.bin", "big.cab")])
    release.add_hashes()
    return release, {"big.cab": ["cut:262144"]}


def serve_forever(release, work, script=None):
    """Serves until terminated; the port goes to work/port once the server listens."""
    with serving(release, work, script) as port:
        with open(os.path.join(work, "port.tmp"), "w") as f:
            f.write(str(port))
        os.rename(os.path.join(work, "port.tmp"), os.path.join(work, "port"))
        signal.sigwait([signal.SIGTERM, signal.SIGINT])


if __name__ == "__main__":
    # release.py sample WORK FIXTURES [ZRELEASE]: builds the sample release in WORK (with the
    # zrelease program when one is given), writes the older copies to WORK/older, and serves it
    # until terminated.
    signal.pthread_sigmask(signal.SIG_BLOCK, [signal.SIGTERM, signal.SIGINT])
    # release.py case WORK FIXTURES: the same with the cabinet names of sample_case_release.
    # release.py serve WORK: serves the release already in WORK/root.
    if sys.argv[1] == "serve":
        serve_forever(Release(sys.argv[2]), sys.argv[2])
        sys.exit(0)
    work_folder = sys.argv[2]
    fixture_folder = sys.argv[3] if len(sys.argv) > 3 else None
    server_script = None
    # release.py resume WORK: resume_release, served by its cutting server.
    if sys.argv[1] == "resume":
        sample, server_script = resume_release(work_folder)
        serve_forever(sample, work_folder, server_script)
        sys.exit(0)
    if sys.argv[1] == "case":
        sample, older_copies, server_script = sample_case_release(work_folder, fixture_folder)
    elif len(sys.argv) > 4:
        sample, older_copies = sample_zrelease(work_folder, fixture_folder, sys.argv[4])
    else:
        sample, older_copies = sample_release(work_folder, fixture_folder)
    os.makedirs(os.path.join(work_folder, "older"), exist_ok=True)
    for file_name, data in older_copies.items():
        with open(os.path.join(work_folder, "older", file_name), "wb") as f:
            f.write(data)
    serve_forever(sample, work_folder, server_script)
