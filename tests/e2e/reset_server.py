#!/usr/bin/env python3
"""An FTP server on 127.0.0.1 that lets the client log in and resets the connection (an RST) when
it changes into the update folder. The pass's error handler then says goodbye on the broken
connection, and that error escapes the pass: the program must show it to the user.

Usage: reset_server.py PORT_FILE [--reply | --cab]   (writes its port there; serves until killed)
Without --reply the RST comes instead of the reply, and a Linux read reports the reset. Wine's
reads take a reset connection for a closed one (and nothing is left to say goodbye on), so there
the RST follows a refusal: the client reads the refusal and says goodbye into the reset.
With --cab the server goes further: it lists a manifest and a cabinet, sends the manifest (one
file that needs an update), and resets the data connection and then the control connection part
way through the cabinet's download.
"""
import socket
import struct
import sys
import threading

REPLIES = {"USER": "331 Password required", "PASS": "230 Logged in", "TYPE": "200 Type set",
           "SYST": "215 UNIX Type: L8", "CWD": "250 Folder changed"}
LISTING = b"z4up.ini\r\na.cab\r\n"
MANIFEST = (b"[Ident]\r\nTime Of Update=300\r\n[Files]\r\na.dll=1\r\n[Cabs]\r\na.dll=a.cab\r\n")


def reset(connection):
    # A zero linger time makes the close an abortive one.
    connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
    connection.close()


def send_data(listener, connection, payload, broken):
    listener.settimeout(10)
    data, _ = listener.accept()
    connection.sendall(b"150 Opening data connection\r\n")
    data.sendall(payload)
    if broken:
        reset(data)
        reset(connection)
        return False
    data.close()
    connection.sendall(b"226 Transfer complete\r\n")
    return True


def serve(connection, mode):
    listener = None
    with connection.makefile("rb") as lines:
        connection.sendall(b"220 ready\r\n")
        for line in lines:
            words = line.decode("latin-1").strip().split(" ", 1)
            verb = words[0].upper()
            argument = words[1] if len(words) > 1 else ""
            if verb == "CWD" and mode != "--cab":
                if mode == "--reply":
                    connection.sendall(b"550 No such folder\r\n")
                reset(connection)
                return
            if verb == "PASV":
                listener = socket.socket()
                listener.bind(("127.0.0.1", 0))
                listener.listen(1)
                port = listener.getsockname()[1]
                connection.sendall(b"227 Entering Passive Mode (127,0,0,1,%d,%d)\r\n"
                                   % (port >> 8, port & 0xFF))
            elif verb in ("NLST", "RETR") and listener is not None:
                cabinet = verb == "RETR" and argument.lower().endswith(".cab")
                payload = LISTING if verb == "NLST" else b"MSCF" + b"\0" * 4096 if cabinet \
                    else MANIFEST
                sound = send_data(listener, connection, payload, cabinet)
                listener.close()
                listener = None
                if not sound:
                    return
            else:
                connection.sendall((REPLIES.get(verb, "200 OK") + "\r\n").encode())
    connection.close()


def main():
    mode = sys.argv[2] if len(sys.argv) > 2 else ""
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen()
    with open(sys.argv[1], "w") as port_file:
        port_file.write(str(listener.getsockname()[1]))
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, mode), daemon=True).start()


if __name__ == "__main__":
    main()
