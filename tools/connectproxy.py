#!/usr/bin/env python3
"""A small HTTP CONNECT proxy on loopback for the proxy tests.

Usage: connectproxy.py LOGFILE      prints "READY port=PORT" once it listens; appends the
                                    target of every CONNECT request to LOGFILE.
"""
import select
import socket
import socketserver
import sys
import threading


class Proxy(socketserver.BaseRequestHandler):
    def handle(self):
        data = b""
        while b"\r\n\r\n" not in data:
            chunk = self.request.recv(4096)
            if not chunk:
                return
            data += chunk
        head, _, rest = data.partition(b"\r\n\r\n")
        parts = head.split(b"\r\n")[0].split()
        if len(parts) < 2 or parts[0] != b"CONNECT":
            self.request.sendall(b"HTTP/1.1 405 Method Not Allowed\r\nContent-Length: 0\r\n\r\n")
            return
        target = parts[1].decode()
        with LOCK:
            with open(LOG, "a") as f:
                f.write(target + "\n")
        host, _, port = target.rpartition(":")
        try:
            upstream = socket.create_connection((host, int(port)), timeout=10)
        except OSError:
            self.request.sendall(b"HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n")
            return
        self.request.sendall(b"HTTP/1.1 200 Connection established\r\n\r\n")
        if rest:
            upstream.sendall(rest)
        sockets = [self.request, upstream]
        while True:
            readable, _, _ = select.select(sockets, [], [], 30)
            if not readable:
                break
            for s in readable:
                chunk = s.recv(65536)
                if not chunk:
                    upstream.close()
                    return
                (upstream if s is self.request else self.request).sendall(chunk)


class Server(socketserver.ThreadingMixIn, socketserver.TCPServer):
    daemon_threads = True
    allow_reuse_address = True


LOCK = threading.Lock()
LOG = sys.argv[1]
server = Server(("127.0.0.1", 0), Proxy)
print(f"READY port={server.server_address[1]}", flush=True)
server.serve_forever()
