"""Binding by SMS (command 31) and through the payment service (commands 32, 34).

Command 31, text payloads, no handshake:
  op 0  "31;0,<account name, percent-escaped UTF-8>"  -> 202 with "phone" and a new
        "sid" (a number) for the named account, 201 for any other name
  op 1  "31;1,<sid>"  -> 204 once the binding text has arrived, 100 while it has
        not, 205 for an unknown or expired sid
  op 2  "31;2,<sid>,<uuid>,<device identifier>,<model>,<version>,<height>,<width>,
        3002,<push token>"  -> 202 with "checktime", "bid", "nick" once the text
        has arrived (the phone is bound under the uuid; the sid is used up), 205
        otherwise, 400 for a device identifier that is empty or "(null)"
Command 32, JSON {"service": "32", "nick": <account name>} (or "uuid" of a bound
  phone), no handshake -> 202 with the payment account's "username", "sid" (an
  eleven-digit number) and "cert"; 416 when the account has none.
Command 34, JSON after a handshake in mode "0": "mac", "answer", "uuid",
  "korvexTokenId" (the token the payment client app handed back) and "sid" (the
  sid of command 32, or the handshake's) -> 202 as for the serial binding; 413
  for a proof that fails, 407 for a token the payment service did not issue.

A server started with --sms-outbox FILE reads FILE (the message composer's
outbox: a line per message, recipients, a tab, the text) at each op 1 and
op 2: a binding text "SC#B#<name>#<sid>" of a pending binding there has
arrived, as a text sent from the phone reaches the gateway.

Control:
  POST /_control/sms     {"arrived": true} marks the text of the newest (or
                         "sid") pending SMS binding as arrived; {"expired": true}
                         ends that session; {"phone": "..."} changes the
                         account's phone; {"results": {"1": [100, 412]}} queues
                         result codes for the next requests of an op
  GET  /_control/sms     {"sessions": {sid: {"name", "arrived", "expired"}}, "phone"}
  POST /_control/korvex  changes any of "username", "sid", "cert", "token", "bound"
                         (whether the account has a payment account); answers
                         the payment side as GET does
"""

import json
import random
import urllib.parse

from security_server import check_proof

PAYMENT_DEFAULTS = {
    "username": "demo_pay@korvex.test",
    "sid": 20261210001,
    "cert": False,
    "token": "kvtoken-demo-0001",
    "bound": True,
}


def reset(state):
    # "phone" None: the account holder's phone of the main screen's data.
    state.sms = {"phone": None, "sessions": {}, "results": {}, "newest": None}
    state.korvex = dict(PAYMENT_DEFAULTS)


def bound_reply(server, uuid, mac):
    state = server.state
    with state.lock:
        state.devices[uuid] = mac
        account = dict(state.account)
    return json.dumps({"result": 202, "checktime": int(state.now() * 1000), "bid": account["bid"],
                       "nick": account["nick"]})


def read_outbox(server):
    """Marks the pending bindings whose text is in the outbox as arrived."""
    path = getattr(server, "sms_outbox", None)
    if not path:
        return
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            lines = f.read().splitlines()
    except OSError:
        return
    state = server.state
    with state.lock:
        for line in lines:
            body = line.partition("\t")[2].strip()
            parts = body.split("#")
            if len(parts) != 4 or parts[:2] != ["SC", "B"]:
                continue
            session = state.sms["sessions"].get(parts[3])
            if session is not None and session["name"] == parts[2]:
                session["arrived"] = True


def forced(state, op):
    with state.lock:
        queue = state.sms["results"].get(op)
        return queue.pop(0) if queue else None


def command_text_bind(server, request):
    fields = request["fields"] or []
    state = server.state
    if not fields or fields[0] not in ("0", "1", "2"):
        return json.dumps({"result": 400})
    op = fields[0]
    if op in ("1", "2"):
        read_outbox(server)
    result = forced(state, op)
    if result is not None:
        return json.dumps({"result": result})
    if op == "0":
        if len(fields) != 2:
            return json.dumps({"result": 400})
        name = urllib.parse.unquote(fields[1], errors="strict")
        with state.lock:
            if name != state.account["name"]:
                return json.dumps({"result": 201})
            sid = random.randrange(10 ** 9, 10 ** 10)
            state.sms["sessions"][str(sid)] = {"name": name, "arrived": False, "expired": False}
            state.sms["newest"] = str(sid)
            phone = state.sms["phone"] or state.hub_user.get("phone") or ""
        return json.dumps({"result": 202, "phone": phone, "sid": sid})
    if op == "1":
        if len(fields) != 2:
            return json.dumps({"result": 400})
        with state.lock:
            session = state.sms["sessions"].get(fields[1])
            if session is None or session["expired"]:
                return json.dumps({"result": 205})
            return json.dumps({"result": 204 if session["arrived"] else 100})
    if len(fields) != 10:
        return json.dumps({"result": 400})
    sid, uuid, mac = fields[1], fields[2], fields[3]
    if not mac or mac == "(null)" or not uuid:
        return json.dumps({"result": 400})
    with state.lock:
        session = state.sms["sessions"].get(sid)
        if session is None or session["expired"] or not session["arrived"]:
            return json.dumps({"result": 205})
        del state.sms["sessions"][sid]
    return bound_reply(server, uuid, mac)


def command_payment_account(server, request):
    body = request["json"] or {}
    state = server.state
    with state.lock:
        korvex = dict(state.korvex)
        known = body.get("nick") == state.account["name"] or body.get("uuid") in state.devices
    if not known or not korvex["bound"]:
        return json.dumps({"result": 416})
    return json.dumps({"result": 202, "username": korvex["username"], "sid": korvex["sid"], "cert": korvex["cert"]})


def command_payment_bind(server, request):
    body = request["json"] or {}
    mac, answer, uuid = body.get("mac"), body.get("answer"), body.get("uuid")
    if not all(isinstance(v, str) and v for v in (mac, answer, uuid)):
        return json.dumps({"result": 400})
    if not check_proof(server, mac, mac, answer):
        return json.dumps({"result": 413})
    state = server.state
    with state.lock:
        token = state.korvex["token"]
    if body.get("korvexTokenId") != token:
        return json.dumps({"result": 407})
    return bound_reply(server, uuid, mac)


def control_sms(server, method, body):
    state = server.state
    with state.lock:
        if method == "POST":
            if "phone" in body:
                state.sms["phone"] = str(body["phone"])
            for op, results in (body.get("results") or {}).items():
                state.sms["results"].setdefault(str(op), []).extend(int(r) for r in results)
            if body.get("arrived") or body.get("expired"):
                sid = str(body.get("sid") or state.sms["newest"])
                session = state.sms["sessions"].get(sid)
                if session is None:
                    return 404, {"error": "no pending SMS binding %s" % sid}
                if body.get("arrived"):
                    session["arrived"] = True
                if body.get("expired"):
                    session["expired"] = True
        return 200, {"sessions": dict(state.sms["sessions"]),
                     "phone": state.sms["phone"] or state.hub_user.get("phone") or ""}


def control_korvex(server, method, body):
    state = server.state
    with state.lock:
        if method == "POST":
            for key in PAYMENT_DEFAULTS:
                if key in body:
                    state.korvex[key] = body[key]
        return 200, dict(state.korvex)


COMMANDS = {
    31: command_text_bind,
    32: command_payment_account,
    34: command_payment_bind,
}

CONTROL = {
    "sms": control_sms,
    "korvex": control_korvex,
}
