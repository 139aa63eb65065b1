#!/usr/bin/env python3
"""Loopback stand-in for the sample upload site, for the Courier tests.

    sample_server.py STATE_DIR

Listens on 127.0.0.1 on a free port; writes STATE_DIR/port and STATE_DIR/pid once it
listens; serves until killed. One request per connection: it closes after each answer.

POST /work/MD5_Check.php   url-encoded Language, OptionVxMd5: answers "0" (first line)
                           when the session holds a sample with that digest, else "1".
POST /work/UploadFile.php  multipart: stores the file under the MD5 of its bytes.
GET  on those two paths    200; anything else 404.

Every request belongs to a session, named by the "t" query parameter ("default"
without one). Its folder STATE_DIR/sessions/NAME holds what the test sets:
    answer, answer.DIGEST  body of the answers (all, or for one digest)
    status, status.DIGEST  their status code (200 unless set)
    mode                   hang | close | close-mid-body | proxy-407, or how a POST's
                           answer comes: chunked | no-length (to the close) |
                           early-close (closes short of its Content-Length) | drip (every
                           byte from the status line on, one per DRIP_SECONDS) |
                           oversized (1 MiB more body) | empty-body
and what the server records, one folder per request, records/0001 onward:
    line, headers, body    request line, header lines as received, the body bytes
                           (at most Content-Length)
    beyond                 bytes that arrived after Content-Length bytes
    complete               "1" when the whole announced body arrived
    md5ok                  uploads: "1" when OptionVxMd5 equals the MD5 of the file
"""
import hashlib
import os
import re
import socket
import struct
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

CHECK_PATH = "/work/MD5_Check.php"
UPLOAD_PATH = "/work/UploadFile.php"
BEYOND_WAIT = 0.2
MID_BODY_BYTES = 1000
DRIP_SECONDS = 0.1

state_dir = ""
record_lock = threading.Lock()


def write_atomically(path, data):
    tmp = path + ".tmp"
    with open(tmp, "wb") as f:
        f.write(data)
    os.replace(tmp, path)


def read_setting(session_dir, name, digest):
    for candidate in (f"{name}.{digest}", name) if digest else (name,):
        try:
            with open(os.path.join(session_dir, candidate), "rb") as f:
                return f.read()
        except OSError:
            pass
    return None


def parse_multipart(body, content_type):
    """Fields by name, and the bytes of the (last) file part."""
    m = re.search(r"boundary=(.+)$", content_type or "")
    if not m:
        return {}, None
    delimiter = b"--" + m.group(1).strip().encode("latin-1")
    fields, file_bytes = {}, None
    for part in body.split(delimiter)[1:]:
        if part.startswith(b"--"):
            break
        head, sep, data = part.partition(b"\r\n\r\n")
        if not sep or not data.endswith(b"\r\n"):
            continue
        data = data[:-2]
        name = re.search(rb'name="([^"]*)"', head)
        if name is None:
            continue
        if b"filename=" in head:
            file_bytes = data
        else:
            fields[name.group(1).decode("latin-1")] = data.decode("latin-1")
    return fields, file_bytes


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"

    def handle(self):
        self.close_connection = True
        self.connection.settimeout(30)
        try:
            self.serve_one()
        except (OSError, ValueError):
            pass

    def serve_one(self):
        line = self.rfile.readline(65537)
        if not line:
            return
        header_lines = []
        while True:
            h = self.rfile.readline(65537)
            if not h or h in (b"\r\n", b"\n"):
                break
            header_lines.append(h)
        self.requestline = line.decode("latin-1").rstrip("\r\n")
        self.command, target, self.request_version = (self.requestline.split(" ") + ["", ""])[:3]
        headers = {}
        for h in header_lines:
            name, _, value = h.decode("latin-1").partition(":")
            headers[name.strip().lower()] = value.strip()

        # A proxy receives the absolute form; the path and query are what count.
        url = urllib.parse.urlsplit(target)
        path, query = url.path, urllib.parse.parse_qs(url.query)
        session = query.get("t", ["default"])[0]
        if not re.fullmatch(r"[A-Za-z0-9_.-]+", session):
            session = "default"
        session_dir = os.path.join(state_dir, "sessions", session)
        os.makedirs(os.path.join(session_dir, "samples"), exist_ok=True)
        mode = (read_setting(session_dir, "mode", None) or b"").decode().strip()

        length = int(headers.get("content-length", "0") or 0)
        if mode == "close-mid-body":
            body = self.read_exactly(min(length, MID_BODY_BYTES))
            self.record(session_dir, line, header_lines, body, b"", False)
            # Reset rather than close: the client learns of it on its next write.
            self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
            return
        body = self.read_exactly(length)
        complete = len(body) == length
        beyond = self.read_beyond() if complete else b""

        status, answer, md5ok = 200, b"", None
        digest = ""
        if self.command == "POST" and path == CHECK_PATH:
            form = urllib.parse.parse_qs(body.decode("latin-1"))
            digest = form.get("OptionVxMd5", [""])[0].upper()
            stored = bool(digest) and os.path.exists(os.path.join(session_dir, "samples", digest))
            answer = b"0\r\n" if stored else b"1\r\n"
        elif self.command == "POST" and path == UPLOAD_PATH:
            fields, data = parse_multipart(body, headers.get("content-type"))
            digest = fields.get("OptionVxMd5", "").upper()
            answer = b"ok"
            if complete and data is not None:
                actual = hashlib.md5(data).hexdigest().upper()
                md5ok = actual == digest
                write_atomically(os.path.join(session_dir, "samples", actual), data)
        elif self.command == "GET" and path in (CHECK_PATH, UPLOAD_PATH):
            answer = b"ok"
        else:
            status, answer = 404, b"not found"
        self.record(session_dir, line, header_lines, body, beyond, complete, md5ok)

        if not complete or mode == "close":
            return
        if mode == "hang":
            self.wait_for_close()
            return
        if status == 200 and self.command == "POST":
            status = int(read_setting(session_dir, "status", digest) or b"200")
            answer = read_setting(session_dir, "answer", digest) or answer
        extra = []
        if mode == "proxy-407":
            status = 407
            extra.append(("Proxy-Authenticate", 'Basic realm="samples"'))
        if 300 <= status < 400:
            extra.append(("Location", f"http://127.0.0.1:{self.server.server_port}{path}?t={session}"))
        if self.command != "POST":
            mode = ""
        if mode == "oversized":
            answer += b"x" * (1 << 20)
        if mode == "empty-body":
            answer = b""
        headers = extra + [("Content-Type", "text/plain")]
        if mode == "chunked":
            headers.append(("Transfer-Encoding", "chunked"))
            body = b"".join(b"%x\r\n%s\r\n" % (len(answer[i:i + 3]), answer[i:i + 3])
                            for i in range(0, len(answer), 3)) + b"0\r\n\r\n"
        else:
            body = answer
            if mode != "no-length":
                announced = len(answer) + (16 if mode == "early-close" else 0)
                headers.append(("Content-Length", str(announced)))
        headers.append(("Connection", "close"))
        head = f"HTTP/1.1 {status} {self.responses.get(status, ('',))[0]}\r\n"
        head += "".join(f"{name}: {value}\r\n" for name, value in headers) + "\r\n"
        data = head.encode("latin-1") + body
        if mode == "drip":
            for i in range(len(data)):
                self.wfile.write(data[i:i + 1])
                self.wfile.flush()
                time.sleep(DRIP_SECONDS)
        else:
            self.wfile.write(data)
            self.wfile.flush()

    def read_exactly(self, count):
        data = b""
        try:
            while len(data) < count:
                piece = self.rfile.read1(count - len(data))
                if not piece:
                    break
                data += piece
        except OSError:
            pass
        return data

    def read_beyond(self):
        data = b""
        self.connection.settimeout(BEYOND_WAIT)
        try:
            while True:
                piece = self.rfile.read1(65536)
                if not piece:
                    break
                data += piece
        except OSError:
            pass
        self.connection.settimeout(30)
        return data

    def wait_for_close(self):
        self.connection.settimeout(120)
        try:
            while self.connection.recv(65536):
                pass
        except OSError:
            pass

    def record(self, session_dir, line, header_lines, body, beyond, complete, md5ok=None):
        records = os.path.join(session_dir, "records")
        os.makedirs(records, exist_ok=True)
        with record_lock:
            number = len([n for n in os.listdir(records) if n.isdigit()]) + 1
            final = os.path.join(records, f"{number:04d}")
            tmp = os.path.join(records, f".{number:04d}")
            os.makedirs(tmp)
            files = {"line": line.rstrip(b"\r\n"), "headers": b"".join(header_lines),
                     "body": body, "beyond": beyond, "complete": b"1" if complete else b"0"}
            if md5ok is not None:
                files["md5ok"] = b"1" if md5ok else b"0"
            for name, data in files.items():
                with open(os.path.join(tmp, name), "wb") as f:
                    f.write(data)
            os.rename(tmp, final)


def main():
    global state_dir
    if len(sys.argv) != 2:
        sys.exit("usage: sample_server.py STATE_DIR")
    state_dir = sys.argv[1]
    os.makedirs(os.path.join(state_dir, "sessions"), exist_ok=True)
    server = ThreadingHTTPServer(("127.0.0.1", 0), Handler)
    server.daemon_threads = True
    write_atomically(os.path.join(state_dir, "pid"), str(os.getpid()).encode())
    write_atomically(os.path.join(state_dir, "port"), str(server.server_port).encode())
    server.serve_forever()


if __name__ == "__main__":
    main()
