"""HTTP (and, with --cert and --key, HTTPS) file server for the download tests.

Files come from --root. The first part of the request path chooses a behaviour:
  /files/NAME             Range honoured (206, or 416 past the end)
  /nosize/NAME            as /files, but a 416 does not tell the file's size
  /norange/NAME           Range ignored: always 200 with the whole file
  /nolength/NAME          200 without Content-Length, the end marked by closing
  /short/NAME             announces the whole size, sends half, closes
  /stall/NAME             announces the whole size, sends half, then says nothing more
  /reset/NAME             announces the whole size, sends half, then resets the connection
  /silent/NAME            reads the request and never answers
  /endless/NAME           200 without Content-Length, the file over and over until the client goes
  /slow/NAME              Range honoured, 4 KiB every 20 ms
  /shifted/NAME           a Range is answered by a 206 that starts elsewhere
  /status/CODE/NAME       answers CODE with a small error page
  /redirect/N/NAME        N redirects, then /files/NAME
  /tohttp/NAME            redirects to plain HTTP
Every request is appended to --log as "PATH RANGE" when given."""

import http.server
import os
import socket
import socketserver
import ssl
import struct
import time

import peer_common

CHUNK = 64 * 1024


class Handler(http.server.BaseHTTPRequestHandler):
    root = "."
    log_path = None

    def log_message(self, format, *args):
        pass

    def do_GET(self):
        if self.log_path:
            with open(self.log_path, "a") as log:
                log.write("%s %s\n" % (self.path, self.headers.get("Range", "-")))
        parts = self.path.split("?")[0].strip("/").split("/")
        mode, rest = parts[0], parts[1:]
        if mode == "status":
            return self.error_page(int(rest[0]))
        if mode == "silent":
            return self.hold()
        if mode == "redirect":
            count = int(rest[0])
            target = "/redirect/%d/%s" % (count - 1, rest[1]) if count > 1 else "/files/" + rest[1]
            return self.redirect(target)
        if mode == "tohttp":
            return self.redirect("http://127.0.0.1:9/files/" + rest[0])
        path = os.path.join(self.root, os.path.basename(rest[-1])) if rest else ""
        if not os.path.isfile(path):
            return self.error_page(404)
        self.serve(mode, path)

    def serve(self, mode, path):
        size = os.path.getsize(path)
        first = self.range_start() if mode in ("files", "nosize", "slow", "shifted", "short", "stall", "reset") else None
        if first is not None and first >= size:
            self.send_response(416)
            if mode != "nosize":
                self.send_header("Content-Range", "bytes */%d" % size)
            self.send_header("Content-Length", "0")
            return self.end_headers()
        if mode == "shifted" and first is not None:
            first = first // 2
        start = first or 0
        self.send_response(200 if first is None else 206)
        if first is not None:
            self.send_header("Content-Range", "bytes %d-%d/%d" % (start, size - 1, size))
        if mode not in ("nolength", "endless"):
            self.send_header("Content-Length", str(size - start))
        self.send_header("Last-Modified", "Tue, 15 Nov 1994 08:12:31 GMT")
        self.end_headers()
        if mode == "endless":
            return self.send_endlessly(path)
        count = (size - start) // 2 if mode in ("short", "stall", "reset") else size - start
        with open(path, "rb") as f:
            if mode == "slow":
                self.send_slowly(f, start, count)
            else:
                self.connection.sendfile(f, start, count)
        if mode == "stall":
            self.hold()
        if mode == "reset":
            self.reset()

    def hold(self):
        """Keeps the connection open and sends nothing until the peer ends."""
        self.wfile.flush()
        while True:
            time.sleep(1)

    def reset(self):
        """Closes with a reset (RST) instead of an orderly end."""
        self.wfile.flush()
        self.connection.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
        # The file objects keep the socket open: its descriptor is closed here and now.
        os.close(self.connection.detach())

    def send_endlessly(self, path):
        with open(path, "rb") as f:
            data = f.read()
        try:
            while True:
                self.wfile.write(data)
        except OSError:
            pass

    def send_slowly(self, f, start, count):
        f.seek(start)
        while count > 0:
            data = f.read(min(4096, count))
            self.wfile.write(data)
            count -= len(data)
            time.sleep(0.02)

    def range_start(self):
        value = self.headers.get("Range", "")
        if not value.startswith("bytes=") or "-" not in value:
            return None
        return int(value[6:].split("-")[0])

    def error_page(self, code):
        body = b"" if code == 304 else b"<html><body>error page</body></html>"
        self.send_response(code)
        if code == 401:
            self.send_header("WWW-Authenticate", 'Basic realm="peer"')
        if code == 407:
            self.send_header("Proxy-Authenticate", 'Basic realm="peer"')
        if code != 304:
            self.send_header("Content-Length", str(len(body)))
        self.end_headers()
        self.wfile.write(body)

    def redirect(self, location):
        self.send_response(302)
        self.send_header("Location", location)
        self.send_header("Content-Length", "0")
        self.end_headers()


class Server(socketserver.ThreadingMixIn, http.server.HTTPServer):
    daemon_threads = True


def main():
    p = peer_common.parser("HTTP and HTTPS test peer")
    p.add_argument("--cert")
    p.add_argument("--key")
    p.add_argument("--log")
    args = p.parse_args()
    Handler.root = args.root
    Handler.log_path = args.log
    server = Server(("127.0.0.1", 0), Handler)
    if args.cert:
        context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        context.load_cert_chain(args.cert, args.key)
        server.socket = context.wrap_socket(server.socket, server_side=True)
    peer_common.start_watchdog(args.limit)
    peer_common.announce(server.server_address[1])
    server.serve_forever()


if __name__ == "__main__":
    main()
