#!/usr/bin/python3
"""Runs a test program against a real FTP server on 127.0.0.1.

Usage: ftp_interop.py pyftpdlib|vsftpd COMMAND...

Builds a server tree in a temporary folder (zarn4/updates holding a manifest and a multi-megabyte
cabinet, and a writable incoming folder), starts the server with generated settings on a free
port, runs COMMAND with ZARN_FTP_INTEROP_PORT set, then checks that the report the client stored
in incoming is byte for byte what it sent. Exits with COMMAND's status, 1 when the report is wrong,
and 77 (skipped) when the server cannot run here.
"""
import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time

SKIP = 77
REPORT_NAME = "2612070001000.txt"


def download_bytes():
    # The same pattern as the test program's: byte i is (i * 131 + i / 256) mod 256.
    n = 3 * 1024 * 1024 + 123
    return bytes(((i * 131 + (i >> 8)) & 0xFF) for i in range(n))


def report_text():
    return "".join("Line %d of the update report\r\n" % n for n in range(1, 201)).encode()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def make_tree(root):
    updates = os.path.join(root, "zarn4", "updates")
    os.makedirs(updates)
    with open(os.path.join(updates, "z4up.ini"), "w") as f:
        f.write("[Ident]\nVersion=1\n")
    with open(os.path.join(updates, "zarn4.cab"), "wb") as f:
        f.write(download_bytes())
    incoming = os.path.join(root, "incoming")
    os.makedirs(incoming)
    for folder, dirs, files in os.walk(root):
        os.chmod(folder, 0o755)
        for name in files:
            os.chmod(os.path.join(folder, name), 0o644)
    os.chmod(incoming, 0o777)
    return incoming


# The handler class, apart from the server's start, so that tests/e2e can script a handler of its
# own over it.
PYFTPDLIB_HANDLER = r'''
import fnmatch, os, sys
from pyftpdlib.authorizers import DummyAuthorizer
from pyftpdlib.handlers import FTPHandler
from pyftpdlib.servers import FTPServer

root, incoming, port = sys.argv[1], sys.argv[2], int(sys.argv[3])


class Handler(FTPHandler):
    # Name listings with a wildcard ("nlst *.*"), as the update server answers them.
    def ftp_NLST(self, path):
        pattern = os.path.basename(path)
        if not any(c in pattern for c in "*?["):
            return FTPHandler.ftp_NLST(self, path)
        folder = os.path.dirname(path)
        try:
            names = [n for n in self.run_as_current_user(self.fs.listdir, folder)
                     if fnmatch.fnmatch(n, pattern)]
        except OSError as err:
            self.respond("550 %s." % err.strerror)
            return
        data = "".join(n + "\r\n" for n in sorted(names)).encode("utf8", self.unicode_errors)
        self.push_dtp_data(data, cmd="NLST")
        return path
'''

PYFTPDLIB_MAIN = r'''
authorizer = DummyAuthorizer()
authorizer.add_anonymous(root, perm="elr")
authorizer.override_perm("anonymous", incoming, perm="elrw")
Handler.authorizer = authorizer
Handler.masquerade_address = "127.0.0.1"
server = FTPServer(("127.0.0.1", port), Handler)
server.serve_forever()
'''

PYFTPDLIB_SERVER = PYFTPDLIB_HANDLER + PYFTPDLIB_MAIN


def start_pyftpdlib(root, incoming, port, work, code=PYFTPDLIB_SERVER, extra=()):
    log = open(os.path.join(work, "server.log"), "w")
    return subprocess.Popen([sys.executable, "-c", code, root, incoming, str(port)] + list(extra),
                            stdout=log, stderr=subprocess.STDOUT)


def start_vsftpd(root, incoming, port, work, extra_config=()):
    vsftpd = shutil.which("vsftpd") or "/usr/sbin/vsftpd"
    if not os.path.exists(vsftpd) or os.geteuid() != 0:
        return None  # vsftpd drops privileges to its ftp user and needs root for that
    empty = os.path.join(work, "empty")
    os.makedirs(empty)
    os.chmod(empty, 0o755)
    config = os.path.join(work, "vsftpd.conf")
    with open(config, "w") as f:
        f.write("\n".join([
            "listen=YES", "listen_ipv6=NO", "listen_address=127.0.0.1",
            "listen_port=%d" % port, "background=NO",
            "anonymous_enable=YES", "local_enable=NO", "anon_root=" + root,
            "write_enable=YES", "anon_upload_enable=YES", "anon_umask=022",
            "pasv_enable=YES", "pasv_address=127.0.0.1",
            "secure_chroot_dir=" + empty,
            "seccomp_sandbox=NO", "isolate=NO", "isolate_network=NO",
            "xferlog_enable=NO", "vsftpd_log_file=" + os.path.join(work, "vsftpd.log"),
            *extra_config, "",
        ]))
    log = open(os.path.join(work, "server.log"), "w")
    return subprocess.Popen([vsftpd, config], stdout=log, stderr=subprocess.STDOUT)


def wait_listening(port, process):
    for _ in range(100):
        if process.poll() is not None:
            return False
        try:
            with socket.create_connection(("127.0.0.1", port), timeout=1):
                return True
        except OSError:
            time.sleep(0.05)
    return False


def main():
    if len(sys.argv) < 3 or sys.argv[1] not in ("pyftpdlib", "vsftpd"):
        print(__doc__, file=sys.stderr)
        return 2
    kind, command = sys.argv[1], sys.argv[2:]
    work = tempfile.mkdtemp(prefix="zarn-ftp-")
    root = os.path.join(work, "root")
    server = None
    try:
        incoming = make_tree(root)
        port = free_port()
        start = start_pyftpdlib if kind == "pyftpdlib" else start_vsftpd
        server = start(root, incoming, port, work)
        if server is None:
            print("%s cannot run here (needs root); skipped" % kind)
            return SKIP
        if not wait_listening(port, server):
            print(open(os.path.join(work, "server.log")).read(), file=sys.stderr)
            print("%s did not start" % kind, file=sys.stderr)
            return 1
        env = dict(os.environ, ZARN_FTP_INTEROP_PORT=str(port))
        status = subprocess.call(command, env=env)
        if status != 0:
            print(open(os.path.join(work, "server.log")).read(), file=sys.stderr)
            return status
        stored = os.path.join(incoming, REPORT_NAME)
        if not os.path.exists(stored) or open(stored, "rb").read() != report_text():
            print("the stored report differs from what the client sent", file=sys.stderr)
            return 1
        print("%s: update pass and stored report as expected" % kind)
        return 0
    finally:
        if server is not None and server.poll() is None:
            server.terminate()
            try:
                server.wait(timeout=5)
            except subprocess.TimeoutExpired:
                server.kill()
        shutil.rmtree(work, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
