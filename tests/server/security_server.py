#!/usr/bin/env python3
"""A local stand-in for the security server, for tests and demos.

    security_server.py [--port N] [--host 127.0.0.1] [--base-path /path]
                       [--key resources/keys/test-key.txt] [--demo]
                       [--state FILE [--fresh]] [--sms-outbox FILE]

Serves GET <base path>/safeCenter.do?c=<hex> (no base path by default) and answers
{"safecenter":"1","content":<hex>} with the reply enciphered (envelope.py).
Once listening it prints "READY <port>" on its own line. It stops on SIGTERM,
SIGINT, or when its standard input reaches its end (so a test that dies takes
its server with it), unless --no-stdin is given.

The server holds one account (DEMO_ACCOUNT unless told otherwise: an account
name, the six-character serial code a user binds with, its one-time-password
key and nick name). With --demo it names the account on stderr, for a person
trying the app.

Control interface on the same port, JSON in and out:
  GET  /_control/ping              {"ok": true}
  GET  /_control/log               {"requests": [ {command, text, fields, json, error, path}, ... ]}
  POST /_control/clock             {"time": seconds} fixes the server clock,
                                   {"offset": seconds} runs it ahead of real time,
                                   {} returns to real time; answers {"time": now}
  POST /_control/script            queues one answer for the next request of a command:
                                   {"command": 20, "reply": "text" | {...}}   a plain reply
                                   {"command": 20, "result": 201}             reply {"result": 201}
                                   {"command": 20, "fault": F}  F is one of
                                     "empty"       status 200, empty body
                                     "malformed"   a body that is not JSON
                                     "no-content"  {"safecenter":"1"} without "content"
                                     "garbled"     content that is not whole hex blocks
                                     "drop"        the connection closes without an answer
                                     "http500"     status 500
                                     "oversized"   a wrapper whose content is "size" hex
                                                   characters (default 1000000)
                                     "bomb"        the same wrapper of "size" characters
                                                   (default 64 MiB), gzip-compressed
                                     "endless"     a chunked body that never ends (until
                                                   the client goes or 1 GiB was sent)
                                     "trickle"     a body announced as "size" bytes (default
                                                   100000), sent one byte every "interval"
                                                   seconds (default 0.05); the log entry's
                                                   "trickled" counts the bytes sent so far
                                   "delay": seconds may come with any of these (or alone)
                                   "hold": "name" likewise: the answer waits until the gate of
                                   that name is opened (POST /_control/release), so a test
                                   orders replies by what happened, not by a time
                                   "apply": true  the command takes effect (as it would
                                                  without a script) before the delay or
                                                  the fault
  POST /_control/release           {"gate": "name"} opens a gate: answers held by it go out,
                                   and so do later ones held by it
  POST /_control/reset             forgets the log, the queued answers, the clock and the sessions
  GET  /_control/account           {"account": {"name", "serial", "bid", "nick"}, "devices": {uuid: mac}}
  POST /_control/account           changes any of "name", "serial", "bid", "nick"; "devices"
                                   {uuid: mac} adds bound phones without a binding run; answers as GET

The handshake (command 0) gives every device a session: a fresh sid and a
question of positions into HMAC-SHA-1(device identifier, sid) in hex. A later
signed command proves the device by the characters at those positions; the
session is used up by it. Command 16 binds a device by the account's serial.

With --state FILE the server keeps what lasts of the account in FILE (JSON):
the account, its bound phones and what the areas keep (the protections and
the lock, the safe phone). It reads FILE when it starts, so a phone bound in
one run is still bound in the next, and writes it again (whole, by renaming
a new file over it) after each change. --fresh forgets FILE first. A reset
through the control interface writes the reset state too.

With --sms-outbox FILE the binding texts the app's message composer puts in
FILE arrive at the SMS gateway (commands_bind.py).
"""

import argparse
import gzip
import hashlib
import hmac
import random
import json
import os
import signal
import socket
import sys
import threading
import time
import urllib.parse
from http.server import BaseHTTPRequestHandler, ThreadingHTTPServer

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import envelope  # noqa: E402

# The account a new user binds with: its serial is what the user types on the
# bind screen; bid is its one-time-password key as hex text
# ("12345678901234567890").
DEMO_ACCOUNT = {
    "name": "demo@quenta.test",
    "serial": "Q3T7K9",
    "bid": "3132333435363738393031323334353637383930",
    "nick": "demo_user",
}

FAULTS = {"empty", "malformed", "no-content", "garbled", "drop", "http500", "oversized", "bomb", "endless", "trickle"}


class State:
    """What the control interface changes; shared by all handler threads."""

    def __init__(self, account=None, path=None):
        self.lock = threading.Lock()
        self.initial_account = dict(account or DEMO_ACCOUNT)
        self.path = path
        self.saved = None
        self.reset()
        if path and os.path.exists(path):
            self.restore(path)

    def reset(self):
        # Answers held by a gate go out: nothing waits for a gate forgotten.
        for gate in getattr(self, "gates", {}).values():
            gate.set()
        self.gates = {}         # name -> threading.Event (set: open)
        self.fixed_time = None
        self.offset = 0.0
        self.scripts = {}
        self.log = []
        self.sessions = {}      # device identifier or uuid -> (sid, positions)
        self.devices = {}       # uuid -> device identifier, learnt at binding
        self.account = dict(self.initial_account)
        for area in AREAS:
            if hasattr(area, "reset"):
                area.reset(self)

    def now(self):
        with self.lock:
            return self.now_unlocked()

    def now_unlocked(self):
        """now() for a caller that holds the lock."""
        if self.fixed_time is not None:
            return self.fixed_time
        return time.time() + self.offset

    def kept(self):
        """What lasts from run to run, as JSON-ready values (call with the lock held)."""
        kept = {"account": dict(self.account), "devices": dict(self.devices)}
        for area in AREAS:
            if hasattr(area, "keep"):
                kept.update(area.keep(self))
        return kept

    def restore(self, path):
        """Reads a file written by save(); a file that cannot be read is an error, not a fresh start."""
        with open(path, encoding="utf-8") as f:
            kept = json.load(f)
        if not isinstance(kept, dict) or not isinstance(kept.get("account"), dict) or not isinstance(
                kept.get("devices"), dict):
            raise ValueError("%s is not a state file of this server" % path)
        with self.lock:
            self.account.update({k: str(v) for k, v in kept["account"].items() if k in self.account})
            self.devices = {str(k): str(v) for k, v in kept["devices"].items()}
            for area in AREAS:
                if hasattr(area, "restore"):
                    area.restore(self, kept)
            self.saved = json.dumps(self.kept(), sort_keys=True, ensure_ascii=False)

    def save(self):
        """Writes the kept state when it changed since the last write (no-op without a path)."""
        if not self.path:
            return
        with self.lock:
            text = json.dumps(self.kept(), sort_keys=True, ensure_ascii=False)
            if text == self.saved:
                return
            folder = os.path.dirname(os.path.abspath(self.path))
            os.makedirs(folder, exist_ok=True)
            new = self.path + ".new"
            with open(new, "w", encoding="utf-8") as f:
                f.write(text)
                f.flush()
                os.fsync(f.fileno())
            os.replace(new, self.path)
            self.saved = text

    def gate(self, name):
        """The gate of that name, made closed on first use (call with the lock held)."""
        return self.gates.setdefault(name, threading.Event())

    def next_script(self, command):
        with self.lock:
            queue = self.scripts.get(command)
            return queue.pop(0) if queue else None


def proof_text(device_key, sid):
    """HMAC-SHA-1 of the sid under the device identifier, 40 lowercase hex digits."""
    return hmac.new(device_key.encode("utf-8"), sid.encode("utf-8"), hashlib.sha1).hexdigest()


def command_handshake(server, request):
    """Command 0: "0;<device identifier or uuid>,<mode>" -> {"sid", "question"}."""
    fields = request["fields"] or []
    if len(fields) != 2 or fields[1] not in ("0", "1"):
        return json.dumps({"result": 400})
    who, mode = fields
    state = server.state
    with state.lock:
        if mode == "1" and who not in state.devices:
            # A uuid the server no longer knows: the binding was removed.
            return json.dumps({"result": 201, "sid": "null"})
        sid = "%016x" % random.getrandbits(64)
        positions = [random.randrange(40) for _ in range(6)]
        state.sessions[who] = (sid, positions)
    return json.dumps({"result": 200, "sid": sid, "question": ",".join(str(p) for p in positions)})


def check_proof(server, who, device_key, answer):
    """True when answer proves the session of `who` (used up either way)."""
    state = server.state
    with state.lock:
        session = state.sessions.pop(who, None)
    if session is None:
        return False
    sid, positions = session
    expected = proof_text(device_key, sid)
    return answer == "".join(expected[p] for p in positions)


def command_bind_serial(server, request):
    """Command 16: mac, answer, serial, model, version, height, width, uuid[, token]."""
    fields = request["fields"] or []
    if len(fields) < 8:
        return json.dumps({"result": 400})
    mac, answer, serial, uuid = fields[0], fields[1], fields[2], fields[7]
    if not check_proof(server, mac, mac, answer):
        return json.dumps({"result": 413})
    state = server.state
    with state.lock:
        account = dict(state.account)
        if serial != account["serial"]:
            return json.dumps({"result": 407})
        state.devices[uuid] = mac
    now_ms = int(state.now() * 1000)
    return json.dumps({"result": 202, "checktime": now_ms, "bid": account["bid"], "nick": account["nick"]})


def command_time(server, request):
    """Command 20: the server time in whole seconds since 1970, as bare text."""
    return str(int(server.state.now() // 1))


COMMANDS = {
    0: command_handshake,
    16: command_bind_serial,
    20: command_time,
}

# The commands of each part of the app live beside this file, one module per
# area: commands_<area>.py. Such a module defines
#   COMMANDS  {number: handler(server, request) -> reply text}
# and may define
#   reset(state)  sets up its own members of the state (called at every reset)
#   CONTROL   {name: handler(server, method, body) -> (status, obj)}, served
#             as /_control/<name>
#   OPERATIONS  {number: {op: handler}} for text commands whose second field
#             names an operation, when areas share a command by operation
#             (an operation handler goes before the command's own handler)
#   ROUTES    {path: handler(server, query) -> (status, content type, body)},
#             plain GET resources beside the security server (pictures, look-ups)
# A number, operation, control name or path may be defined once only.
CONTROL = {}
OPERATIONS = {}
ROUTES = {}
AREAS = []


def load_areas():
    """Loads the area modules once (a server calls it when it is made)."""
    import importlib

    if AREAS:
        return
    here = os.path.dirname(os.path.abspath(__file__))
    for name in sorted(os.listdir(here)):
        if not (name.startswith("commands_") and name.endswith(".py")):
            continue
        module = importlib.import_module(name[:-3])
        for number, handler in getattr(module, "COMMANDS", {}).items():
            if number in COMMANDS:
                raise RuntimeError("command %d is defined twice (%s)" % (number, name))
            COMMANDS[number] = handler
        for number, ops in getattr(module, "OPERATIONS", {}).items():
            for op, handler in ops.items():
                if op in OPERATIONS.get(number, {}):
                    raise RuntimeError("operation %s of command %d is defined twice (%s)" % (op, number, name))
                OPERATIONS.setdefault(number, {})[op] = handler
        for control, handler in getattr(module, "CONTROL", {}).items():
            if control in CONTROL:
                raise RuntimeError("control %r is defined twice (%s)" % (control, name))
            CONTROL[control] = handler
        for path, handler in getattr(module, "ROUTES", {}).items():
            if path in ROUTES:
                raise RuntimeError("route %r is defined twice (%s)" % (path, name))
            ROUTES[path] = handler
        AREAS.append(module)


def parse_payload(text):
    """(command, fields, json) of a text payload "cmd;f1,f2" or a JSON payload."""
    stripped = text.strip()
    if stripped.startswith("{"):
        obj = json.loads(stripped)
        if not isinstance(obj, dict) or "service" not in obj:
            raise ValueError("JSON payload without \"service\"")
        return int(str(obj["service"])), None, obj
    head, sep, rest = text.partition(";")
    if not sep:
        raise ValueError("text payload without \";\"")
    return int(head), rest.split(","), None


class Handler(BaseHTTPRequestHandler):
    protocol_version = "HTTP/1.1"
    server_version = "QuentaTestServer/1"

    def log_message(self, fmt, *args):
        if self.server.verbose:
            sys.stderr.write("server: " + fmt % args + "\n")

    # -- plumbing -----------------------------------------------------------

    def date_time_string(self, timestamp=None):
        # The Date header follows the server's clock, as the control sets it
        # (read without the state's lock, which a control answer may hold).
        if timestamp is None:
            state = self.server.state
            fixed = state.fixed_time
            timestamp = fixed if fixed is not None else time.time() + state.offset
        return super().date_time_string(timestamp)

    def send_body(self, status, body, content_type="application/json; charset=utf-8"):
        data = body.encode("utf-8") if isinstance(body, str) else body
        gz = "gzip" in (self.headers.get("Accept-Encoding") or "") and data
        if gz:
            data = gzip.compress(data)
        self.send_response(status)
        self.send_header("Content-Type", content_type)
        if gz:
            self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def send_json(self, status, obj):
        self.send_body(status, json.dumps(obj, ensure_ascii=False))

    def drop(self):
        self.close_connection = True
        try:
            self.connection.shutdown(socket.SHUT_RDWR)
        except OSError:
            pass

    def send_bomb(self, size):
        data = gzip.compress(('{"safecenter":"1","content":"' + "0" * size + '"}').encode("ascii"), 9)
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Encoding", "gzip")
        self.send_header("Content-Length", str(len(data)))
        self.end_headers()
        self.wfile.write(data)

    def send_endless(self):
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Transfer-Encoding", "chunked")
        self.end_headers()
        piece = b"4000\r\n" + b"0" * 0x4000 + b"\r\n"
        try:
            self.wfile.write(b'2c\r\n{"safecenter":"1","content":"00000000000000\r\n')
            for _ in range((1 << 30) // 0x4000):
                self.wfile.write(piece)
        except OSError:
            pass  # the client went away

    def send_trickle(self, entry, size, interval):
        self.close_connection = True
        self.send_response(200)
        self.send_header("Content-Type", "application/json; charset=utf-8")
        self.send_header("Content-Length", str(size))
        self.end_headers()
        try:
            for i in range(size):
                self.wfile.write(b"0")
                self.wfile.flush()
                with self.server.state.lock:
                    entry["trickled"] = i + 1
                time.sleep(interval)
        except OSError:
            pass  # the client went away

    def read_json_body(self):
        length = int(self.headers.get("Content-Length") or 0)
        raw = self.rfile.read(length) if length else b""
        return json.loads(raw.decode("utf-8")) if raw.strip() else {}

    # -- routing ------------------------------------------------------------

    def do_GET(self):
        try:
            self.route_get()
        finally:
            self.server.state.save()

    def do_POST(self):
        try:
            self.route_post()
        finally:
            self.server.state.save()

    def route_get(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path.startswith("/_control/"):
            return self.control("GET", url.path[len("/_control/"):])
        if url.path == self.server.base_path + "/safeCenter.do":
            return self.safe_center(url)
        if url.path in ROUTES:
            query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
            status, content_type, body = ROUTES[url.path](self.server, query)
            return self.send_body(status, body, content_type)
        self.send_body(404, "not found", "text/plain")

    def route_post(self):
        url = urllib.parse.urlsplit(self.path)
        if url.path.startswith("/_control/"):
            return self.control("POST", url.path[len("/_control/"):])
        self.send_body(404, "not found", "text/plain")

    # -- the security server ------------------------------------------------

    def safe_center(self, url):
        state = self.server.state
        query = urllib.parse.parse_qs(url.query, keep_blank_values=True)
        entry = {"path": self.path, "command": None, "text": None, "fields": None, "json": None, "error": None}
        cipher = query.get("c", [None])[0]
        try:
            if cipher is None:
                raise envelope.EnvelopeError("no \"c\" in the query")
            entry["text"] = envelope.decrypt_request(self.server.key, cipher)
            entry["command"], fields, entry["json"] = parse_payload(entry["text"])
            if fields is not None:
                entry["fields"] = fields
        except (ValueError, envelope.EnvelopeError) as error:
            entry["error"] = str(error)
        with state.lock:
            state.log.append(entry)
        if entry["error"]:
            return self.send_body(400, entry["error"], "text/plain")

        script = state.next_script(entry["command"])
        # "apply": the command takes effect before the reply is delayed or spoilt.
        plain = self.answer(entry, None) if script and script.get("apply") else None
        if script and script.get("delay"):
            time.sleep(float(script["delay"]))
        if script and script.get("hold"):
            with state.lock:
                gate = state.gate(str(script["hold"]))
            # Opened by the test; a test that never opens it has failed
            # already, and the answer goes out late rather than never.
            gate.wait(600)
        fault = script.get("fault") if script else None
        if fault == "drop":
            return self.drop()
        if fault == "http500":
            return self.send_body(500, "internal error", "text/plain")
        if fault == "empty":
            return self.send_body(200, b"")
        if fault == "malformed":
            return self.send_body(200, "{\"safecenter\":\"1\",\"content\":")
        if fault == "no-content":
            return self.send_json(200, {"safecenter": "1"})
        if fault == "oversized":
            size = int(script.get("size", 1000000))
            return self.send_body(200, '{"safecenter":"1","content":"' + "0" * size + '"}')
        if fault == "bomb":
            return self.send_bomb(int(script.get("size", 64 << 20)))
        if fault == "endless":
            return self.send_endless()
        if fault == "trickle":
            return self.send_trickle(entry, int(script.get("size", 100000)), float(script.get("interval", 0.05)))

        if plain is None:
            plain = self.answer(entry, script)
        if plain is None:
            return self.send_body(400, "unknown command %s" % entry["command"], "text/plain")
        content = envelope.encrypt_reply(self.server.key, plain)
        if fault == "garbled":
            content = content[:-3]
        self.send_json(200, {"safecenter": "1", "content": content})

    def answer(self, entry, script):
        """The reply text of a command (scripted or the handler's), or None for an unknown command."""
        if script and "reply" in script:
            reply = script["reply"]
            return reply if isinstance(reply, str) else json.dumps(reply, ensure_ascii=False, separators=(",", ":"))
        if script and "result" in script:
            return json.dumps({"result": script["result"]})
        fields = entry["fields"] or []
        ops = OPERATIONS.get(entry["command"], {})
        handler = ops.get(fields[1]) if len(fields) > 1 else None
        handler = handler or COMMANDS.get(entry["command"])
        if handler is None:
            return None
        return handler(self.server, entry)

    # -- control --------------------------------------------------------------

    def control(self, method, name):
        state = self.server.state
        try:
            body = self.read_json_body() if method == "POST" else {}
        except ValueError as error:
            return self.send_json(400, {"error": "body is not JSON: %s" % error})
        if method == "GET" and name == "ping":
            return self.send_json(200, {"ok": True})
        if method == "GET" and name == "log":
            with state.lock:
                return self.send_json(200, {"requests": list(state.log)})
        if method == "POST" and name == "reset":
            with state.lock:
                state.reset()
            return self.send_json(200, {"ok": True})
        if method == "POST" and name == "release":
            if not isinstance(body, dict) or not isinstance(body.get("gate"), str):
                return self.send_json(400, {"error": "\"gate\" must be a name"})
            with state.lock:
                state.gate(body["gate"]).set()
            return self.send_json(200, {"ok": True})
        if method == "POST" and name == "clock":
            with state.lock:
                if "time" in body:
                    state.fixed_time, state.offset = float(body["time"]), 0.0
                elif "offset" in body:
                    state.fixed_time, state.offset = None, float(body["offset"])
                else:
                    state.fixed_time, state.offset = None, 0.0
            return self.send_json(200, {"time": state.now()})
        if name == "account":
            with state.lock:
                if method == "POST":
                    devices = body.get("devices", {})
                    if not isinstance(devices, dict) or not all(
                            isinstance(k, str) and isinstance(v, str) for k, v in devices.items()):
                        return self.send_json(400, {"error": "\"devices\" must map uuids to device identifiers"})
                    for key in ("name", "serial", "bid", "nick"):
                        if key in body:
                            state.account[key] = str(body[key])
                    state.devices.update(devices)
                return self.send_json(200, {"account": dict(state.account), "devices": dict(state.devices)})
        if method == "POST" and name == "script":
            return self.control_script(body)
        if name in CONTROL:
            status, obj = CONTROL[name](self.server, method, body)
            return self.send_json(status, obj)
        self.send_json(404, {"error": "no control %s %s" % (method, name)})

    def control_script(self, body):
        if not isinstance(body, dict) or not isinstance(body.get("command"), int):
            return self.send_json(400, {"error": "\"command\" must be an integer"})
        fault = body.get("fault")
        if fault is not None and fault not in FAULTS:
            return self.send_json(400, {"error": "unknown fault %r" % fault})
        if not any(k in body for k in ("reply", "result", "fault", "delay", "hold")):
            return self.send_json(400, {"error": "nothing to script"})
        state = self.server.state
        with state.lock:
            state.scripts.setdefault(body["command"], []).append(body)
        self.send_json(200, {"ok": True})


class SecurityServer(ThreadingHTTPServer):
    daemon_threads = True
    allow_reuse_address = True

    def __init__(self, host="127.0.0.1", port=0, base_path="", key=None, verbose=False, account=None,
                 state_path=None, sms_outbox=None):
        load_areas()
        # The state first: a state file that cannot be read stops the server
        # before it listens.
        self.state = State(account, state_path)
        super().__init__((host, port), Handler)
        self.base_path = "/" + base_path.strip("/") if base_path.strip("/") else ""
        self.key = key or envelope.Key.load()
        self.verbose = verbose
        # The message composer's outbox the SMS gateway reads (None: texts
        # arrive only when the control says so).
        self.sms_outbox = sms_outbox

    @property
    def port(self):
        return self.server_address[1]


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--host", default="127.0.0.1")
    parser.add_argument("--port", type=int, default=0, help="0 picks a free port")
    parser.add_argument("--base-path", default="")
    parser.add_argument("--key", default=envelope.DEFAULT_KEY)
    parser.add_argument("--no-stdin", action="store_true", help="do not stop when standard input ends")
    parser.add_argument("--verbose", action="store_true")
    parser.add_argument("--demo", action="store_true", help="name the demo account on stderr")
    parser.add_argument("--state", help="keep the account and its bound phones in this file across runs")
    parser.add_argument("--fresh", action="store_true", help="forget the --state file first")
    parser.add_argument("--sms-outbox", help="the app's message outbox: binding texts there arrive")
    args = parser.parse_args(argv)
    if args.fresh and not args.state:
        parser.error("--fresh needs --state")
    if args.fresh and os.path.exists(args.state):
        os.remove(args.state)

    try:
        server = SecurityServer(args.host, args.port, args.base_path, envelope.Key.load(args.key), args.verbose,
                                state_path=args.state, sms_outbox=args.sms_outbox)
    except (OSError, ValueError) as error:
        sys.stderr.write("server: %s\n" % error)
        return 1
    if args.demo:
        account = server.state.account
        sys.stderr.write("server: demo account %s, serial code %s\n" % (account["name"], account["serial"]))
        if args.state:
            with server.state.lock:
                bound = len(server.state.devices)
            sys.stderr.write("server: state kept in %s (%d bound phone%s)\n" %
                             (args.state, bound, "" if bound == 1 else "s"))

    def stop(*_):
        threading.Thread(target=server.shutdown, daemon=True).start()

    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGINT, stop)
    if not args.no_stdin:
        def watch_stdin():
            try:
                # The raw descriptor: a buffered reader's lock, held by this
                # thread, would stop the interpreter's exit after SIGTERM.
                while os.read(sys.stdin.fileno(), 4096):
                    pass
            except (OSError, ValueError):
                pass
            stop()
        threading.Thread(target=watch_stdin, daemon=True).start()

    print("READY %d" % server.port, flush=True)
    try:
        server.serve_forever(poll_interval=0.1)
    finally:
        server.server_close()
    return 0


if __name__ == "__main__":
    sys.exit(main())
