#!/usr/bin/env python3
"""The product's download server, played on the loopback interface for tests.

Serves the files of one folder the way the product's server does:

    /prenos/?verzija=4.12&paket=<name>   the package <name> (the query value
                                         is the file name)
    /MSI/2.0/<name>                      the engine redistributable <name>
    /elsewhere/<folder>/<name>           the file <name> of <folder> below the
                                         served folder (where "redirect" sends)
    /files/[<folder>/]<name>             the file <name> (of <folder>) below the
                                         served folder, as a plain static host
                                         or CDN serves a folder

Every file answer carries an ETag (of the file's path, size and time) and
its Last-Modified, and answers "Range: bytes=N-" with 206 and
"Content-Range: bytes N-END/TOTAL" from N on (416 and "bytes */TOTAL" past
the end), unless an
If-Range names neither of the two: then the whole file, 200.

It listens on 127.0.0.1 only, and stops by itself: after --lifetime seconds
in all, or after --idle seconds without a request. Each request is logged.

How it answers is set by the tests at run time through control requests on
the same port (not logged):

    /control/set?mode=...&root=...&...   change the behaviour (see Behaviour)
    /control/reset                       default behaviour, empty log
    /control/log                         the request log, one line a request:
                                         METHOD<TAB>PATH<TAB>STATUS<TAB>BYTES SENT<TAB>END<TAB>RANGE<TAB>AT
                                         END is "complete", "cut" (the server
                                         closed early on purpose) or "aborted"
                                         (the client went away); RANGE the N
                                         of "Range: bytes=N-" ("-": none); AT
                                         when the request came, in seconds
    /control/stop                        stop now

Command line:

    download_server.py --root DIR [--port N] [--ready-file F] [--pid-file F]
                       [--log-file F] [--lifetime S] [--idle S] [--daemon]
    download_server.py --stop --pid-file F

--port 0 takes a free port; the port is written to --ready-file once the
server listens. --daemon returns once the server listens and leaves it running
in the background (for a test fixture); --stop ends the server of a pid file.
"""

import argparse
import copy
import email.utils
import gzip
import hashlib
import os
import re
import select
import signal
import socket
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

LOOPBACK = "127.0.0.1"


class Behaviour:
    """How the next requests are answered.

    mode:   normal  the file, all at once, with its length
            slow    the file in pieces of `chunk` bytes, `delay` seconds apart
            status  an error page with HTTP status `status` (404, 500, ...),
                    or a plain web page with status 200
            cut     the full length announced, `cut` bytes sent, then the
                    connection is closed
            stall   the full length announced, `cut` bytes sent, then nothing
                    more while the client stays (at most 10 minutes)
            endless no length announced; the file, then zeros without end, in
                    pieces of `chunk` bytes `delay` seconds apart, while the
                    client stays
            redirect  302 to /elsewhere/<to>/<name>
    root:   a folder below the served folder ("signed", "unsigned", ...), or
            "" for the served folder itself
    rate:   in mode slow, bytes per second: the pieces are spaced so that
            the whole transfer keeps this rate, whatever writing them costs
            (delay is then not used); 0: delay decides
    hold:   seconds to wait before the answer starts
    announce: the length to announce instead of the file's own (-1: the
            file's own); in modes normal, slow and endless
    to:     the folder a redirect sends to
    ranges: 1 answers Range as above (modes normal, slow, cut, stall); 0
            ignores it and sends the whole file with 200 every time
    cut_fraction: in modes cut and stall, the part of the file (0.4: 40 %)
            that an answer sends before it stops, instead of `cut` bytes;
            counted from where the answer starts, never the whole rest
    retry_after: in mode status, the value of a Retry-After header ("1")
    times:  the behaviour holds for the next `times` requests only (0: for
            all); later ones get the file whole or by range as in mode
            normal, from `then_root` when it is set (from the folder in the
            path of /files/ otherwise). So "mode=cut&cut_fraction=0.4&times=1"
            cuts the first request at 40 % and serves the rest on the next
    then_root: the folder that serves the requests after the first `times`
            (another version of the file: another ETag)
    length: 1 announces the length (Content-Length); 0 announces none, the
            body ends when the connection closes (in mode stall the whole
            file may then be sent before the stall: cut_fraction=1)
    chunked: 1 sends the file in chunks (Transfer-Encoding: chunked), in
            modes normal and cut; a cut then comes before the last chunk
    gzip:   1 sends the file gzip-coded (Content-Encoding), asked or not
    """

    def __init__(self):
        self.mode = "normal"
        self.root = ""
        self.chunk = 1024
        self.delay = 0.1
        self.status = 404
        self.cut = 1000
        self.hold = 0.0
        self.rate = 0.0
        self.announce = -1
        self.to = ""
        self.ranges = 1
        self.cut_fraction = -1.0
        self.retry_after = ""
        self.times = 0
        self.then_root = ""
        self.length = 1
        self.chunked = 0
        self.gzip = 0

    def update(self, query):
        for key, values in query.items():
            value = values[-1]
            if key in ("mode", "root", "to", "retry_after", "then_root"):
                setattr(self, key, value)
            elif key in ("chunk", "status", "cut", "announce", "ranges", "times", "length", "chunked", "gzip"):
                setattr(self, key, int(value))
            elif key in ("delay", "hold", "rate", "cut_fraction"):
                setattr(self, key, float(value))
            else:
                raise ValueError("unknown setting " + key)
        if self.mode not in ("normal", "slow", "status", "cut", "stall", "endless", "redirect"):
            raise ValueError("unknown mode " + self.mode)

    def later(self):
        """How a request after the first `times` is answered."""
        later = Behaviour()
        later.root = self.then_root or self.root
        later.then_root, later.ranges = self.then_root, self.ranges
        later.length, later.chunked, later.gzip = self.length, self.chunked, self.gzip
        return later


class State:
    def __init__(self, root, log_file):
        self.base = os.path.abspath(root)
        self.lock = threading.Lock()
        self.behaviour = Behaviour()
        self.log = []
        self.served = 0  # requests answered by the behaviour since it was set
        self.log_file = log_file
        self.last_request = time.monotonic()

    def record(self, line):
        with self.lock:
            self.log.append(line)
            if self.log_file:
                with open(self.log_file, "a", encoding="utf-8") as f:
                    f.write(line + "\n")


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "TamarisDownload/1.0"

    def log_message(self, format, *args):  # quiet: the tests read /control/log
        pass

    @property
    def state(self):
        return self.server.state

    def do_HEAD(self):
        self.serve(head=True)

    def do_GET(self):
        self.serve(head=False)

    def serve(self, head):
        self.state.last_request = came = time.monotonic()
        url = urllib.parse.urlsplit(self.path)
        if url.path.startswith("/control/"):
            self.control(url)
            return
        with self.state.lock:
            behaviour = copy.copy(self.state.behaviour)
            if not url.path.startswith("/elsewhere/"):
                self.state.served += 1
            later = behaviour.times and self.state.served > behaviour.times
        if later:
            behaviour = behaviour.later()
        name = None
        if url.path == "/prenos/" or url.path == "/prenos":
            values = urllib.parse.parse_qs(url.query, keep_blank_values=True).get("paket")
            name = values[-1] if values else None
        elif url.path.startswith("/MSI/2.0/"):
            name = urllib.parse.unquote(url.path[len("/MSI/2.0/"):])
        elif url.path.startswith("/elsewhere/"):
            # The target of a redirect: served from the folder in the path, as
            # it is, whatever the behaviour.
            folder, _, name = urllib.parse.unquote(url.path[len("/elsewhere/"):]).rpartition("/")
            behaviour = Behaviour()
            behaviour.root = folder
        elif url.path.startswith("/files/"):
            # A static host: the path names the file below the served folder;
            # the behaviour's mode applies, its root does not.
            folder, _, name = urllib.parse.unquote(url.path[len("/files/"):]).rpartition("/")
            behaviour.root = behaviour.then_root if later and behaviour.then_root else folder
        if behaviour.hold:
            time.sleep(behaviour.hold)
        sent, end = 0, "complete"
        try:
            if behaviour.mode == "status":
                status = behaviour.status
                self.answer_page(status, "Error %d" % status if status >= 400 else "Tamaris downloads", head,
                                 behaviour.retry_after)
            elif behaviour.mode == "redirect":
                status = 302
                self.answer_small(302, b"", head, Location="/elsewhere/%s/%s" % (behaviour.to, urllib.parse.quote(name or "")))
            else:
                path = self.file_of(behaviour.root, name)
                if path is None:
                    status = 404
                    self.answer_page(status, "No such file", head)
                else:
                    status = 200
                    status, sent, end = self.answer_file(path, behaviour, head)
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError) as e:
            end = "aborted"
            sent, status = getattr(e, "sent", sent), getattr(e, "status", status)
        asked = self.range_start()
        self.state.record("%s\t%s\t%d\t%d\t%s\t%s\t%.3f" % (self.command, self.path, status, sent, end,
                                                        "-" if asked is None else asked, came))

    def file_of(self, root, name):
        if not name or "/" in name or "\\" in name or name in (".", ".."):
            return None
        if ".." in root.replace("\\", "/").split("/"):
            return None
        folder = os.path.join(self.state.base, root) if root else self.state.base
        path = os.path.join(folder, name)
        return path if os.path.isfile(path) else None

    def range_start(self):
        """The N of "Range: bytes=N-", or None."""
        match = re.fullmatch(r"\s*bytes=(\d+)-\s*", self.headers.get("Range", ""))
        return int(match.group(1)) if match else None

    def answer_small(self, status, body, head, **headers):
        """An answer that no cache keeps: a page, a redirect, a control answer."""
        self.send_response(status)
        for name, value in headers.items():
            if value:
                self.send_header(name.replace("_", "-"), value)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-cache, no-store")
        self.send_header("Connection", "close")
        self.end_headers()
        if not head:
            self.wfile.write(body)
        self.close_connection = True

    def answer_page(self, status, text, head, retry_after=""):
        body = ("<html><body><h1>%s</h1></body></html>" % text).encode()
        self.answer_small(status, body, head, Retry_After=retry_after, Content_Type="text/html")

    def client_gone(self, wait):
        """Waits up to `wait` seconds; true once the client closed its end."""
        readable, _, _ = select.select([self.connection], [], [], wait)
        if not readable:
            return False
        try:
            return not self.connection.recv(1, socket.MSG_PEEK)
        except OSError:
            return True

    def answer_file(self, path, behaviour, head):
        """Sends the file (or its range); answers (status, bytes sent, end)."""
        with open(path, "rb") as f:
            data = f.read()
            info = os.fstat(f.fileno())
        tag = '"%s"' % hashlib.sha1(("%s:%d:%d" % (path, info.st_size, info.st_mtime_ns)).encode()).hexdigest()[:16]
        modified = email.utils.formatdate(info.st_mtime, usegmt=True)
        status, start = 200, 0
        asked = self.range_start()
        if asked is not None and behaviour.ranges and behaviour.mode != "endless" and \
                self.headers.get("If-Range", tag) in (tag, modified):
            if asked >= len(data):
                self.answer_small(416, b"", head, ETag=tag, Content_Range="bytes */%d" % len(data))
                return 416, 0, "complete"
            status, start = 206, asked
        body = data[start:]
        if behaviour.gzip:
            body = gzip.compress(body)
        chunked = behaviour.chunked and behaviour.mode != "endless"
        self.send_response(status)
        self.send_header("Content-Type", "application/x-msi")
        self.send_header("ETag", tag)
        self.send_header("Last-Modified", modified)
        if behaviour.ranges:
            self.send_header("Accept-Ranges", "bytes")
        if status == 206:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, len(data) - 1, len(data)))
        if behaviour.gzip:
            self.send_header("Content-Encoding", "gzip")
        if chunked:
            self.send_header("Transfer-Encoding", "chunked")
        elif behaviour.length and (behaviour.mode != "endless" or behaviour.announce >= 0):
            announced = behaviour.announce if behaviour.announce >= 0 and behaviour.mode != "stall" else len(body)
            self.send_header("Content-Length", str(announced))
        # Every answer comes from here, never from a client's cache.
        self.send_header("Cache-Control", "no-cache")
        self.send_header("Connection", "close")
        self.end_headers()
        self.close_connection = True
        if head:
            return status, 0, "complete"
        cut = int(behaviour.cut_fraction * len(data)) if behaviour.cut_fraction >= 0 else behaviour.cut
        whole_allowed = behaviour.mode == "stall" and not behaviour.length and not chunked
        sent = 0
        try:
            if behaviour.mode in ("cut", "stall"):
                part = body[: max(0, min(cut, len(body) - (0 if whole_allowed else 1)))]
                self.wfile.write(self.chunk_of(part) if chunked else part)
                self.wfile.flush()
                sent = len(part)
                if behaviour.mode == "cut":
                    # Close hard, so the client sees the connection end early.
                    self.connection.shutdown(socket.SHUT_RDWR)
                    return status, sent, "cut"
                started = time.monotonic()
                while time.monotonic() - started < 600:
                    if self.client_gone(0.1):
                        return status, sent, "aborted"
                return status, sent, "cut"
            if behaviour.mode == "endless":
                step = max(1, behaviour.chunk)
                offset = 0
                while True:
                    piece = data[offset : offset + step] if offset < len(data) else bytes(step)
                    self.wfile.write(piece)
                    self.wfile.flush()
                    offset += len(piece)
                    sent = offset
                    if self.client_gone(behaviour.delay):
                        return status, sent, "aborted"
            if behaviour.mode == "slow":
                step = max(1, behaviour.chunk)
                started = time.monotonic()
                for offset in range(0, len(body), step):
                    if behaviour.rate > 0:
                        wait = started + offset / behaviour.rate - time.monotonic()
                        if wait > 0:
                            time.sleep(wait)
                    elif offset:
                        time.sleep(behaviour.delay)
                    self.wfile.write(body[offset : offset + step])
                    self.wfile.flush()
                    sent = offset + len(body[offset : offset + step])
                return status, sent, "complete"
            self.wfile.write(self.chunk_of(body) + b"0\r\n\r\n" if chunked else body)
            self.wfile.flush()
            return status, len(body), "complete"
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError) as e:
            e.sent, e.status = sent, status
            raise

    @staticmethod
    def chunk_of(data):
        return b"%x\r\n%s\r\n" % (len(data), data) if data else b""

    def control(self, url):
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        status, text = 200, "ok\n"
        if url.path == "/control/set":
            with self.state.lock:
                self.state.served = 0
                try:
                    self.state.behaviour.update(query)
                except ValueError as e:
                    status, text = 400, str(e) + "\n"
        elif url.path == "/control/reset":
            with self.state.lock:
                self.state.behaviour = Behaviour()
                self.state.log, self.state.served = [], 0
        elif url.path == "/control/log":
            with self.state.lock:
                text = "".join(line + "\n" for line in self.state.log)
        elif url.path == "/control/stop":
            threading.Thread(target=self.server.shutdown, daemon=True).start()
        else:
            status, text = 404, "unknown control request\n"
        self.answer_small(status, text.encode(), False, Content_Type="text/plain; charset=utf-8")


class Server(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True


def watchdog(server, lifetime, idle):
    """Stops the server after its lifetime or a quiet spell, whichever first."""
    started = time.monotonic()
    while True:
        time.sleep(0.5)
        now = time.monotonic()
        if now - started > lifetime or now - server.state.last_request > idle:
            server.shutdown()
            return


def write_atomically(path, text):
    temporary = path + ".tmp"
    with open(temporary, "w") as f:
        f.write(text)
    os.replace(temporary, path)


def stop(pid_file):
    try:
        pid = int(open(pid_file).read().split()[0])
    except (OSError, ValueError, IndexError):
        return 0
    # Only a server of ours: the pid may be stale and taken by another process.
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            ours = os.path.basename(__file__).encode() in f.read()
    except OSError:
        ours = False
    if ours:
        try:
            os.kill(pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    else:
        pid = None
    for _ in range(50 if pid else 0):
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            break
        time.sleep(0.1)
    try:
        os.remove(pid_file)
    except OSError:
        pass
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--root", help="folder whose files are served")
    parser.add_argument("--port", type=int, default=0)
    parser.add_argument("--ready-file")
    parser.add_argument("--pid-file")
    parser.add_argument("--log-file")
    parser.add_argument("--lifetime", type=float, default=1800)
    parser.add_argument("--idle", type=float, default=600)
    parser.add_argument("--daemon", action="store_true")
    parser.add_argument("--stop", action="store_true")
    args = parser.parse_args()

    if args.stop:
        if not args.pid_file:
            parser.error("--stop needs --pid-file")
        return stop(args.pid_file)
    if not args.root or not os.path.isdir(args.root):
        parser.error("--root must name a folder")
    if args.ready_file and os.path.exists(args.ready_file):
        os.remove(args.ready_file)
    if args.pid_file and os.path.exists(args.pid_file):
        stop(args.pid_file)  # one left behind by an earlier run that was cut short

    # Bind before going to the background, so a busy port is told here.
    server = Server((LOOPBACK, args.port), Handler)
    server.state = State(args.root, args.log_file)
    port = server.server_address[1]

    if args.daemon:
        ready_read, ready_write = os.pipe()
        child = os.fork()
        if child:
            os.close(ready_write)
            server.socket.close()
            # The parent returns once the child tells that it serves.
            said = os.read(ready_read, 16)
            if not said:
                print("the server did not start", file=sys.stderr)
                return 1
            print(port)
            return 0
        os.close(ready_read)
        os.setsid()
        devnull = os.open(os.devnull, os.O_RDWR)
        for fd in (0, 1, 2):
            os.dup2(devnull, fd)

    signal.signal(signal.SIGTERM, lambda *_: threading.Thread(target=server.shutdown, daemon=True).start())
    if args.pid_file:
        write_atomically(args.pid_file, "%d %d\n" % (os.getpid(), port))
    if args.ready_file:
        write_atomically(args.ready_file, "%d\n" % port)
    if args.daemon:
        os.write(ready_write, b"ok")
        os.close(ready_write)
    else:
        print(port, flush=True)
    threading.Thread(target=watchdog, args=(server, args.lifetime, args.idle), daemon=True).start()
    try:
        server.serve_forever(poll_interval=0.2)
    finally:
        server.server_close()
        if args.pid_file:
            try:
                if open(args.pid_file).read().split()[0] == str(os.getpid()):
                    os.remove(args.pid_file)
            except OSError:
                pass
    return 0


if __name__ == "__main__":
    sys.exit(main())
