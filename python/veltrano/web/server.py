"""The live view's web server (Python's standard library).

GET / serves the page, /live.js and /live.css its script and style,
/chart.js Debian's Chart.js (libjs-chart.js, from /usr/share/javascript),
/events the snapshots as server-sent events, and POST /control carries out
one control. Bound to 127.0.0.1 unless told otherwise; on any other address
every request must carry the random token printed with the URL.
"""
import hmac
import json
import secrets
import signal
import sys
import urllib.parse
from http import HTTPStatus
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer
from pathlib import Path

from .live_measurement import LiveMeasurement

PAGE_FOLDER = Path(__file__).resolve().parent
STATIC_FILES = {"/": ("page.html", "text/html; charset=utf-8"),
                "/live.js": ("live.js", "text/javascript; charset=utf-8"),
                "/live.css": ("live.css", "text/css; charset=utf-8")}
CHART_JS_PLACES = (PAGE_FOLDER / "chart.min.js", Path("/usr/share/javascript/chart.js/chart.min.js"))
LOCAL_HOSTS = ("127.0.0.1", "localhost", "::1")
MAX_CONTROL_BYTES = 4096


def find_chart_js():
    for place in CHART_JS_PLACES:
        if place.is_file():
            return place
    raise FileNotFoundError("Chart.js not found (" + ", ".join(map(str, CHART_JS_PLACES))
                            + "); install Debian's libjs-chart.js")


class LiveViewServer(ThreadingHTTPServer):
    daemon_threads = True

    def __init__(self, address, measurement, token, chart_js):
        self.measurement, self.token, self.chart_js = measurement, token, chart_js
        self.stopping = False
        super().__init__(address, LiveViewHandler)


class LiveViewHandler(BaseHTTPRequestHandler):
    server_version = "veltrano-live"

    def log_message(self, format, *arguments):
        pass  # the page's traffic is not worth a terminal line per request

    def _allowed(self, query):
        if self.server.token is None:
            return True
        given = urllib.parse.parse_qs(query).get("token", [""])[0]
        if hmac.compare_digest(given, self.server.token):
            return True
        self._send(HTTPStatus.FORBIDDEN, b"a token is required: use the URL printed by veltrano live\n",
                   "text/plain; charset=utf-8")
        return False

    def _send(self, status, body, content_type):
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        self.send_header("Content-Length", str(len(body)))
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        self.wfile.write(body)

    def do_GET(self):
        url = urllib.parse.urlsplit(self.path)
        if not self._allowed(url.query):
            return
        if url.path == "/events":
            self._stream_events()
        elif url.path == "/chart.js":
            self._send(HTTPStatus.OK, self.server.chart_js.read_bytes(), "text/javascript; charset=utf-8")
        elif url.path in STATIC_FILES:
            name, content_type = STATIC_FILES[url.path]
            self._send(HTTPStatus.OK, (PAGE_FOLDER / name).read_bytes(), content_type)
        elif url.path == "/favicon.ico":
            self._send(HTTPStatus.NO_CONTENT, b"", "image/x-icon")
        else:
            self._send(HTTPStatus.NOT_FOUND, b"not found\n", "text/plain; charset=utf-8")

    def do_POST(self):
        url = urllib.parse.urlsplit(self.path)
        if not self._allowed(url.query):
            return
        if url.path != "/control":
            self._send(HTTPStatus.NOT_FOUND, b"not found\n", "text/plain; charset=utf-8")
            return
        length = int(self.headers.get("Content-Length") or 0)
        if not 0 < length <= MAX_CONTROL_BYTES:
            self._send(HTTPStatus.BAD_REQUEST, b'{"ok":false,"error":"bad control request"}', "application/json")
            return
        try:
            request = json.loads(self.rfile.read(length))
            if not isinstance(request, dict):
                raise ValueError("not an object")
        except ValueError as error:
            reply = {"ok": False, "error": f"bad control request: {error}"}
        else:
            reply = self.server.measurement.apply(request)
        self._send(HTTPStatus.OK, json.dumps(reply).encode(), "application/json")

    def _stream_events(self):
        self.send_response(HTTPStatus.OK)
        self.send_header("Content-Type", "text/event-stream")
        self.send_header("Cache-Control", "no-store")
        self.end_headers()
        measurement = self.server.measurement
        measurement.watch()
        try:
            number = 0
            while not self.server.stopping:
                number, snapshot = measurement.next_snapshot(number)
                # A comment line when nothing is new: a closed tab shows up
                # as a failed write within a second or two.
                message = f"data: {json.dumps(snapshot)}\n\n" if snapshot else ": waiting\n\n"
                self.wfile.write(message.encode())
                self.wfile.flush()
        except (BrokenPipeError, ConnectionResetError, ConnectionAbortedError):
            pass
        finally:
            if measurement.unwatch():
                print("live view: no page open, measurement stopped", flush=True)


def serve_live_view(session, args):
    """Runs the live view until Ctrl-C (or SIGTERM)."""
    session.connect(args.device_type)
    chart_js = find_chart_js()
    measurement = LiveMeasurement(session, args.ch1, args.ch2, args.window)
    token = None if args.host in LOCAL_HOSTS else secrets.token_urlsafe(16)
    try:
        server = LiveViewServer((args.host, args.port), measurement, token, chart_js)
    except OSError as error:
        raise OSError(f"cannot listen on {args.host}:{args.port}: {error.strerror or error}") from None
    host = f"[{args.host}]" if ":" in args.host else args.host
    url = f"http://{host}:{server.server_address[1]}/" + (f"?token={token}" if token else "")
    print(f"live view: {url}", flush=True)
    if token:
        print(f"listening on {args.host}, reachable from other machines: the page and its data need the token "
              "in this URL", flush=True)
    print("Ctrl-C stops it", flush=True)
    try:
        previous_term = signal.signal(signal.SIGTERM, _interrupt)
    except ValueError:
        previous_term = None  # not the main thread: Ctrl-C of the caller only
    try:
        server.serve_forever(poll_interval=0.2)
    except KeyboardInterrupt:
        print("live view: stopped", file=sys.stderr)
    finally:
        if previous_term is not None:
            signal.signal(signal.SIGTERM, previous_term)
        server.stopping = True
        server.server_close()
        measurement.close()


def _interrupt(signal_number, frame):
    raise KeyboardInterrupt
