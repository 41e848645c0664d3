#!/usr/bin/env python3
"""An FTP server on 127.0.0.1 that lets the client log in and resets the connection (an RST) when
it changes into the update folder. The pass's error handler then says goodbye on the broken
connection, and that error escapes the pass: the program must show it to the user.

Usage: reset_server.py PORT_FILE [--reply]   (writes its port there; serves until killed)
Without --reply the RST comes instead of the reply, and a Linux read reports the reset. Wine's
reads take a reset connection for a closed one (and nothing is left to say goodbye on), so there
the RST follows a refusal: the client reads the refusal and says goodbye into the reset.
"""
import socket
import struct
import sys
import threading

REPLIES = {"USER": "331 Password required", "PASS": "230 Logged in", "TYPE": "200 Type set",
           "SYST": "215 UNIX Type: L8"}


def serve(connection, reply_first):
    with connection, connection.makefile("rb") as lines:
        connection.sendall(b"220 ready\r\n")
        for line in lines:
            verb = line.decode("latin-1").strip().split(" ")[0].upper()
            if verb == "CWD":
                # A zero linger time makes the close an abortive one.
                connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                if reply_first:
                    connection.sendall(b"550 No such folder\r\n")
                return
            connection.sendall((REPLIES.get(verb, "200 OK") + "\r\n").encode())


def main():
    reply_first = "--reply" in sys.argv[2:]
    listener = socket.socket()
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen()
    with open(sys.argv[1], "w") as port_file:
        port_file.write(str(listener.getsockname()[1]))
    while True:
        connection, _ = listener.accept()
        threading.Thread(target=serve, args=(connection, reply_first), daemon=True).start()


if __name__ == "__main__":
    main()
