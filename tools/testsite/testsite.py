#!/usr/bin/env python3
"""A small HTTPS site on loopback for tests and the demo.

Serves the files of --root over TLS with a certificate for localhost signed by a CA that
is generated on first use in --cert-dir (never committed). Paths under /_/ ask for
behaviours that real servers show when things go wrong:

  /_/nolength/NAME            the file, without Content-Length (chunked)
  /_/status/CODE/NAME         CODE with its reason phrase and an HTML body
  /_/redirect/CODE/HOPS/NAME  HOPS redirects with CODE (301, 302, 307), then /NAME
  /_/loop                     redirects to itself for ever
  /_/tohttp/NAME              redirects to the plain-http listener's /NAME
  /_/short/LENGTH/SENT        announces LENGTH bytes, sends SENT, closes
  /_/stall                    headers, then nothing (the connection stays open)
  /_/stallheaders             accepts the request and never answers
  /_/trickle/MS/COUNT         COUNT bytes, one every MS milliseconds
  /_/large/BYTES[/nolength]   BYTES generated on the fly
  /_/slow/MS/NAME             the file in 4 KiB blocks, MS milliseconds apart
  /_/httpcount                how many requests the plain-http listener has seen
  /_/gzipte/BYTES[/NAME[/VALUE]]  BYTES zero bytes sent as "Transfer-Encoding: gzip" (a few
                              hundred bytes on the wire), ended by closing; NAME and VALUE
                              spell the header's name and value otherwise
  /_/burst/BYTES/MS/COUNT     BYTES at once, then COUNT more, one every MS milliseconds
  /_/endless                  a body without length that never ends
  /_/interim/COUNT/MS/NAME    COUNT "102 Processing" interim responses MS milliseconds
                              apart, then the file NAME
  /_/sigcount                 how many requests for a path ending in ".sig" it has seen
  /_/ranges/KIND/KEY/AT/CUTS/NAME  the file NAME with byte ranges; each of the first CUTS
                              requests under KEY is cut after AT body bytes. A Range request
                              gets a 206 when its If-Range matches, else the whole file. KIND:
                                ok            ETag and Last-Modified
                                lastmodified  Last-Modified only
                                noranges      an ETag but no Accept-Ranges
                                newetag       each request a new ETag, a 206 all the same
                                wrongoffset   a 206 that starts 1000 bytes early
                                fullanswer    a 200 with the whole file to every Range
                                dropetag      an ETag, but the 206 leaves it out
                                newmodified   Last-Modified only, each request a new one, a
                                              206 all the same
                                shortchunked  a chunked 206 that ends 1000 bytes early
                                longchunked   a chunked 206 that runs 1000000 bytes on
  /_/requests/KEY             how many requests /_/ranges has seen under KEY
  /_/sent/KEY                 how many body bytes /_/ranges has sent under KEY
  NAME (missing) + NAME.tohttp  a file NAME that is missing but has NAME.tohttp beside it
                              is redirected to the plain-http listener

A second HTTPS listener (wrongname=PORT) serves the same site with a certificate from the
same CA, issued for another host name.
  .../slowfail-MS-COUNT.exe   COUNT 4 KiB blocks MS milliseconds apart, then cut short
                              (a file name, so that a version file can point at it)
  .../cut-AT-CUTS-TAG.exe     that file as /_/ranges/ok/ serves it, keyed by its path

A third HTTPS listener (tls11=PORT) serves the same site over TLS 1.1 and nothing newer, as
an old server would. A client refuses it by itself only where its TLS library's settings
already forbid TLS 1.1; tools/testsite/legacy-tls.cnf (as OPENSSL_CONF) lifts that, so that
what is tested is the client's own floor.

Prints "READY https=PORT http=PORT wrongname=PORT tls11=PORT ca=FILE" on its first line once
it listens.
"""
import argparse
import gzip
import http.server
import mmap
import os
import pathlib
import re
import socketserver
import ssl
import subprocess
import sys
import threading
import time
import urllib.parse
import warnings

HTTP_COUNT = 0
SIG_COUNT = 0
HTTP_LOCK = threading.Lock()
RANGE_REQUESTS = {}
RANGE_SENT = {}


def make_certificates(folder: pathlib.Path):
    folder.mkdir(parents=True, exist_ok=True)
    ca_key, ca_crt = folder / "ca.key", folder / "ca.crt"
    key, crt = folder / "server.key", folder / "server.crt"
    if crt.exists() and ca_crt.exists():
        return ca_crt, crt, key
    run = lambda *args: subprocess.run(args, check=True, capture_output=True)
    run("openssl", "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
        "-nodes", "-keyout", str(ca_key), "-out", str(ca_crt), "-days", "2",
        "-subj", "/CN=Tallyaid Test CA",
        "-addext", "basicConstraints=critical,CA:TRUE", "-addext", "keyUsage=critical,keyCertSign")
    csr = folder / "server.csr"
    run("openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
        "-keyout", str(key), "-out", str(csr), "-subj", "/CN=localhost")
    ext = folder / "server.ext"
    ext.write_text("subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n")
    run("openssl", "x509", "-req", "-in", str(csr), "-CA", str(ca_crt), "-CAkey", str(ca_key),
        "-CAcreateserial", "-out", str(crt), "-days", "2", "-extfile", str(ext))
    # The same CA vouching for another host: a client that skips the name check accepts it.
    other_key, other_csr, other_crt = folder / "other.key", folder / "other.csr", folder / "other.crt"
    run("openssl", "req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
        "-keyout", str(other_key), "-out", str(other_csr), "-subj", "/CN=elsewhere.example")
    other_ext = folder / "other.ext"
    other_ext.write_text("subjectAltName=DNS:elsewhere.example\nbasicConstraints=CA:FALSE\n")
    run("openssl", "x509", "-req", "-in", str(other_csr), "-CA", str(ca_crt), "-CAkey", str(ca_key),
        "-CAcreateserial", "-out", str(other_crt), "-days", "2", "-extfile", str(other_ext))
    return ca_crt, crt, key


class Site(http.server.BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    root = pathlib.Path(".")
    http_port = 0

    def log_message(self, *args):
        pass

    def send_body(self, code, body, length=True, content_type="application/octet-stream"):
        self.send_response(code)
        self.send_header("Content-Type", content_type)
        if length:
            self.send_header("Content-Length", str(len(body)))
            self.end_headers()
            self.wfile.write(body)
            return
        # Chunked: no length announced, and an end that no client can take for a cut.
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        for at in range(0, len(body), 65536):
            piece = body[at:at + 65536]
            self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
        self.wfile.write(b"0\r\n\r\n")

    def redirect(self, code, location):
        body = b"<html><body>moved</body></html>"
        self.send_response(code)
        self.send_header("Location", location)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def file_bytes(self, name):
        path = (self.root / urllib.parse.unquote(name)).resolve()
        if self.root.resolve() not in path.parents or not path.is_file():
            return None
        return path.read_bytes()

    def not_found(self):
        self.send_body(404, b"<html><body><h1>404 Not Found</h1></body></html>", content_type="text/html")

    def slow_failure(self, interval, count):
        self.send_response(200)
        self.send_header("Content-Length", str(4096 * (count + 10)))
        self.end_headers()
        for _ in range(count):
            self.wfile.write(b"f" * 4096)
            self.wfile.flush()
            time.sleep(interval)
        self.close_connection = True

    def ranges(self, kind, key, cut_at, cuts, name):
        path = (self.root / urllib.parse.unquote(name)).resolve()
        if self.root.resolve() not in path.parents or not path.is_file():
            return self.not_found()
        # Mapped, not read: a benchmark's large file must not cost a read per request.
        with open(path, "rb") as file:
            data = mmap.mmap(file.fileno(), 0, access=mmap.ACCESS_READ) if path.stat().st_size else b""
        with HTTP_LOCK:
            seen = RANGE_REQUESTS.get(key, 0)
            RANGE_REQUESTS[key] = seen + 1
        etag = f'"v{seen + 1}"' if kind == "newetag" else '"v1"'
        modified = f"Tue, 01 Dec 2026 10:{seen:02d}:00 GMT" if kind == "newmodified" else "Tue, 01 Dec 2026 10:00:00 GMT"
        by_date = kind in ("lastmodified", "newmodified")
        start = 0
        asked = re.fullmatch(r"bytes=(\d+)-", self.headers.get("Range", ""))
        if asked and kind != "noranges":
            validator = self.headers.get("If-Range", "")
            matches = validator == modified if by_date else validator == etag
            if kind in ("newetag", "newmodified") or (matches and kind != "fullanswer"):
                start = int(asked.group(1))
                if kind == "wrongoffset":
                    start = max(0, start - 1000)
        self.send_response(206 if start or (asked and kind in ("newetag", "newmodified", "wrongoffset")) else 200)
        partial = self.send_response_code == 206
        if kind != "noranges":
            self.send_header("Accept-Ranges", "bytes")
        if not by_date and not (partial and kind == "dropetag"):
            self.send_header("ETag", etag)
        self.send_header("Last-Modified", modified)
        if partial:
            self.send_header("Content-Range", f"bytes {start}-{len(data) - 1}/{len(data)}")
        body = memoryview(data)[start:]  # no copies: the file may be large
        if partial and kind in ("shortchunked", "longchunked"):
            rest = bytes(body[:-1000]) if kind == "shortchunked" else bytes(body) + b"j" * 1000000
            self.send_header("Transfer-Encoding", "chunked")
            self.end_headers()
            try:
                for at in range(0, len(rest), 65536):
                    piece = rest[at:at + 65536]
                    self.wfile.write(b"%x\r\n" % len(piece) + piece + b"\r\n")
                self.wfile.write(b"0\r\n\r\n")
                self.wfile.flush()
            except OSError:
                self.close_connection = True
            return
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        if seen < cuts:
            body = body[:cut_at]
            self.close_connection = True
        try:
            self.wfile.write(body)
            self.wfile.flush()
            with HTTP_LOCK:
                RANGE_SENT[key] = RANGE_SENT.get(key, 0) + len(body)
        except OSError:
            pass

    def send_response(self, code, message=None):
        self.send_response_code = code
        super().send_response(code, message)

    def do_GET(self):
        path = urllib.parse.urlsplit(self.path).path
        slowfail = re.fullmatch(r".*/slowfail-(\d+)-(\d+)\.exe", path)
        if slowfail:
            return self.slow_failure(int(slowfail.group(1)) / 1000.0, int(slowfail.group(2)))
        cut = re.fullmatch(r".*/cut-(\d+)-(\d+)-\w+\.exe", path)
        if cut:
            return self.ranges("ok", path, int(cut.group(1)), int(cut.group(2)), path.lstrip("/"))
        if path.endswith(".sig"):
            global SIG_COUNT
            with HTTP_LOCK:
                SIG_COUNT += 1
        if not path.startswith("/_/"):
            data = self.file_bytes(path.lstrip("/"))
            if data is None and self.file_bytes(path.lstrip("/") + ".tohttp") is not None:
                return self.redirect(302, f"http://127.0.0.1:{self.http_port}{path}")
            return self.send_body(200, data) if data is not None else self.not_found()
        parts = path[3:].split("/")
        kind, args = parts[0], parts[1:]
        if kind == "nolength":
            data = self.file_bytes("/".join(args))
            return self.send_body(200, data, length=False) if data is not None else self.not_found()
        if kind == "status":
            code = int(args[0])
            if code in (204, 304):
                self.send_response(code)
                self.end_headers()
                return
            body = f"<html><body><h1>{code} {self.responses.get(code, ('',))[0]}</h1></body></html>".encode()
            return self.send_body(code, body, content_type="text/html")
        if kind == "gzipte":
            # Headers first: compressing takes a while, and a client must not wait for it.
            self.send_response(200)
            name = args[1] if len(args) > 1 else "Transfer-Encoding"
            value = urllib.parse.unquote(args[2]) if len(args) > 2 else "gzip"
            self.send_header(name, value)
            self.send_header("Connection", "close")
            self.close_connection = True
            self.end_headers()
            self.wfile.flush()
            try:
                self.wfile.write(gzip.compress(bytes(int(args[0])), compresslevel=1))
            except OSError:
                pass
            return
        if kind == "endless":
            self.send_response(200)
            self.send_header("Connection", "close")
            self.close_connection = True
            self.end_headers()
            block = b"e" * 65536
            try:
                while True:
                    self.wfile.write(block)
            except OSError:
                return
        if kind == "interim":
            count, interval, name = int(args[0]), int(args[1]) / 1000.0, "/".join(args[2:])
            data = self.file_bytes(name)
            try:
                for _ in range(count):
                    self.wfile.write(b"HTTP/1.1 102 Processing\r\n\r\n")
                    self.wfile.flush()
                    time.sleep(interval)
            except OSError:
                self.close_connection = True
                return
            return self.send_body(200, data) if data is not None else self.not_found()
        if kind == "redirect":
            code, hops, name = int(args[0]), int(args[1]), "/".join(args[2:])
            target = f"/_/redirect/{code}/{hops - 1}/{name}" if hops > 1 else f"/{name}"
            return self.redirect(code, target)
        if kind == "loop":
            return self.redirect(302, "/_/loop")
        if kind == "tohttp":
            return self.redirect(302, f"http://127.0.0.1:{self.http_port}/{'/'.join(args)}")
        if kind == "short":
            length, sent = int(args[0]), int(args[1])
            self.send_response(200)
            self.send_header("Content-Length", str(length))
            self.end_headers()
            self.wfile.write(b"s" * sent)
            self.wfile.flush()
            self.close_connection = True
            return
        if kind == "stall":
            self.send_response(200)
            self.send_header("Content-Length", "100")
            self.end_headers()
            self.wfile.flush()
            time.sleep(120)
            self.close_connection = True
            return
        if kind == "stallheaders":
            time.sleep(120)
            self.close_connection = True
            return
        if kind in ("trickle", "burst"):
            burst = int(args.pop(0)) if kind == "burst" else 0
            interval, count = int(args[0]) / 1000.0, int(args[1])
            self.send_response(200)
            self.send_header("Content-Length", str(burst + count))
            self.end_headers()
            if burst:
                self.wfile.write(b"b" * burst)
                self.wfile.flush()
            for _ in range(count):
                self.wfile.write(b"t")
                self.wfile.flush()
                time.sleep(interval)
            return
        if kind == "large":
            size = int(args[0])
            with_length = not (len(args) > 1 and args[1] == "nolength")
            self.send_response(200)
            if with_length:
                self.send_header("Content-Length", str(size))
            else:
                self.send_header("Connection", "close")
                self.close_connection = True
            self.end_headers()
            block = bytes(range(256)) * 256
            left = size
            while left > 0:
                chunk = block[: min(left, len(block))]
                self.wfile.write(chunk)
                left -= len(chunk)
            return
        if kind == "slow":
            interval, name = int(args[0]) / 1000.0, "/".join(args[1:])
            data = self.file_bytes(name)
            if data is None:
                return self.not_found()
            self.send_response(200)
            self.send_header("Content-Length", str(len(data)))
            self.end_headers()
            for i in range(0, len(data), 4096):
                self.wfile.write(data[i:i + 4096])
                self.wfile.flush()
                time.sleep(interval)
            return
        if kind == "held":
            # Answers only once NAME.release appears beside the file (a test lets it go).
            name = "/".join(args)
            release = self.root / (urllib.parse.unquote(name) + ".release")
            deadline = time.time() + 60
            while not release.exists() and time.time() < deadline:
                time.sleep(0.01)
            data = self.file_bytes(name)
            return self.send_body(200, data) if data is not None else self.not_found()
        if kind == "ranges":
            return self.ranges(args[0], args[1], int(args[2]), int(args[3]), "/".join(args[4:]))
        if kind == "requests":
            with HTTP_LOCK:
                count = RANGE_REQUESTS.get(args[0], 0)
            return self.send_body(200, str(count).encode(), content_type="text/plain")
        if kind == "sent":
            with HTTP_LOCK:
                sent = RANGE_SENT.get(args[0], 0)
            return self.send_body(200, str(sent).encode(), content_type="text/plain")
        if kind == "sigcount":
            with HTTP_LOCK:
                return self.send_body(200, str(SIG_COUNT).encode(), content_type="text/plain")
        if kind == "httpcount":
            with HTTP_LOCK:
                return self.send_body(200, str(HTTP_COUNT).encode(), content_type="text/plain")
        return self.not_found()


class PlainHttp(http.server.BaseHTTPRequestHandler):
    def log_message(self, *args):
        pass

    def do_GET(self):
        global HTTP_COUNT
        with HTTP_LOCK:
            HTTP_COUNT += 1
        body = b"plain http"
        self.send_response(200)
        self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def handle_error(self, request, client_address):
        pass  # clients that hang up early are what several behaviours are for


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", required=True)
    parser.add_argument("--cert-dir", required=True)
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--ready-file",
                        help="also write the READY line to this file, whole (for a starter that cannot read pipes)")
    parser.add_argument("--until-file-gone",
                        help="end when this file no longer exists (a starter whose pipes a Unix program cannot read)")
    parser.add_argument("--until-stdin-closes", action="store_true",
                        help="end when standard input closes (the starting process went away)")
    args = parser.parse_args()

    ca, crt, key = make_certificates(pathlib.Path(args.cert_dir))
    plain = Server(("127.0.0.1", 0), PlainHttp)
    Site.root = pathlib.Path(args.root)
    Site.http_port = plain.server_address[1]
    secure = Server(("127.0.0.1", args.port), Site)
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(str(crt), str(key))
    secure.socket = context.wrap_socket(secure.socket, server_side=True)
    wrong = Server(("127.0.0.1", 0), Site)
    wrong_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    wrong_context.load_cert_chain(str(crt.parent / "other.crt"), str(crt.parent / "other.key"))
    wrong.socket = wrong_context.wrap_socket(wrong.socket, server_side=True)
    old = Server(("127.0.0.1", 0), Site)
    old_context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", DeprecationWarning)
        old_context.minimum_version = old_context.maximum_version = ssl.TLSVersion.TLSv1_1
    old_context.set_ciphers("DEFAULT:@SECLEVEL=0")  # OpenSSL 3 refuses TLS 1.1 above level 0
    old_context.load_cert_chain(str(crt), str(key))
    old.socket = old_context.wrap_socket(old.socket, server_side=True)
    for server in (plain, wrong, old):
        threading.Thread(target=server.serve_forever, daemon=True).start()
    line = (f"READY https={secure.server_address[1]} http={plain.server_address[1]} "
            f"wrongname={wrong.server_address[1]} tls11={old.server_address[1]} ca={ca}")
    print(line, flush=True)
    if args.ready_file:
        ready = pathlib.Path(args.ready_file)
        part = ready.with_name(ready.name + ".part")
        part.write_text(line + "\n")
        part.replace(ready)
    try:
        if args.until_file_gone:
            threading.Thread(target=secure.serve_forever, daemon=True).start()
            while os.path.exists(args.until_file_gone):
                time.sleep(0.2)
        elif args.until_stdin_closes:
            # A starter that cannot kill it (a Windows test under Wine) still leaves
            # nothing running.
            threading.Thread(target=secure.serve_forever, daemon=True).start()
            while sys.stdin.buffer.read(4096):
                pass
        else:
            secure.serve_forever()
    except KeyboardInterrupt:
        pass


if __name__ == "__main__":
    sys.exit(main())
