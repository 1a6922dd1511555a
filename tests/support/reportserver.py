#!/usr/bin/env python3
"""A report port that misbehaves, for the tests. Prints its port, then answers each connection in turn as the
arguments say: "uid:TEXT" answers a well-formed frame whose user id is TEXT (with %NN escapes), "huge" declares a
16 MiB answer, "trickle" sends its frame's start and then one byte every five seconds. Ends when its standard input
closes."""
import os
import socket
import struct
import sys
import threading
import time
import urllib.parse


def crc32c(data):
    crc = 0xFFFFFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ (0x82F63B78 if crc & 1 else 0)
    return crc ^ 0xFFFFFFFF


def frame(fields):
    payload = struct.pack("<HH", 4, 1) + b"".join(struct.pack("<I", len(f)) + f for f in fields)
    return b"\x07" + struct.pack("<I", len(payload))[:3] + struct.pack("<I", crc32c(payload)) + payload + b"\x08"


def answer(connection, mode):
    with connection:
        connection.recv(65536)
        if mode in ("huge", "trickle"):
            connection.sendall(b"\x07\xff\xff\xff\x00\x00\x00\x00" if mode == "huge" else b"\x07")
            while True:
                time.sleep(5)
                connection.sendall(b"\x00")
        connection.sendall(frame([urllib.parse.unquote_to_bytes(mode[4:])]))
        time.sleep(1)


def main():
    server = socket.create_server(("127.0.0.1", 0))
    print(server.getsockname()[1], flush=True)
    threading.Thread(target=lambda: (sys.stdin.read(), os._exit(0)), daemon=True).start()
    for mode in sys.argv[1:]:
        connection, _ = server.accept()
        print("connected", flush=True)
        threading.Thread(target=answer, args=(connection, mode), daemon=True).start()
    sys.stdin.read()


if __name__ == "__main__":
    main()
