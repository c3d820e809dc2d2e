#!/usr/bin/env python3
"""Loopback HTTP server for bench/http_bench.sh: GET /big answers 256 MiB with a
Content-Length, GET /cookies a head of 40,000 Set-Cookie lines and a two-byte body, HEAD
a fixed length; every connection is kept open. Prints the port on its first line, then
serves until killed."""
import os
import socket
import sys
import threading
import time

BODY_SIZE = int(sys.argv[1]) if len(sys.argv) > 1 else 256 << 20
CHUNK = memoryview(b"\x5a" * (1 << 20))
HEAD_ANSWER = b"HTTP/1.1 200 OK\r\nContent-Length: 12345\r\n\r\n"
COOKIES = 40000
COOKIE_ANSWER = (b"HTTP/1.1 200 OK\r\nContent-Length: 2\r\n" +
                 b"".join(b"Set-Cookie: c%d=v%d; path=/\r\n" % (i, i) for i in range(COOKIES)) +
                 b"\r\nok")


def serve(conn):
    pending = b""
    with conn:
        while True:
            while b"\r\n\r\n" not in pending:
                data = conn.recv(65536)
                if not data:
                    return
                pending += data
            head, pending = pending.split(b"\r\n\r\n", 1)
            if head.startswith(b"HEAD "):
                conn.sendall(HEAD_ANSWER)
                continue
            if head.startswith(b"GET /cookies "):
                conn.sendall(COOKIE_ANSWER)
                continue
            conn.sendall(b"HTTP/1.1 200 OK\r\nContent-Length: %d\r\n\r\n" % BODY_SIZE)
            left = BODY_SIZE
            while left > 0:
                part = min(left, len(CHUNK))
                conn.sendall(CHUNK[:part])
                left -= part


def exit_with_parent(parent):
    """Ends the server when the script that started it is gone, however it ended."""
    while os.getppid() == parent:
        time.sleep(0.5)
    os._exit(0)


def main():
    threading.Thread(target=exit_with_parent, args=(os.getppid(),), daemon=True).start()
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    listener.bind(("127.0.0.1", 0))
    listener.listen(64)
    print(listener.getsockname()[1], flush=True)
    while True:
        conn, _ = listener.accept()
        conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
        threading.Thread(target=serve, args=(conn,), daemon=True).start()


if __name__ == "__main__":
    main()
