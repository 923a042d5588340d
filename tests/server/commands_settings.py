"""The security log, the what's-new text and the feedback.

Command 13 pulls the log of the phone's account: "13;<uuid>" ->
{"isSuccess": true, "events": [{"id", "type", "category", "time", "location"}]}
for a bound phone, {"isSuccess": false} otherwise.
Command 18 marks events as read (operation 0) or deletes them (1):
"18;<uuid>,<answer>,<op>,{"ids":[...]}" after a handshake in mode "1" (the
ids text is the last field and may hold commas) -> {"isSuccess": true} when
the phone is proven and, for a deletion, every id was in the log.
Command 25 answers the what's-new text: {"details": text}, or {} when none.
Command 28 takes a feedback text: "28;<uuid>,<percent-escaped text>" ->
{"isSuccess": true}; the text is kept unescaped.

Controls:
  POST /_control/audit        {"events": [...]} replaces the account's log; {} only reads
  GET  /_control/audit        {"events": [...], "read": [[ids of one mark], ...], "deleted": [ids]}
  POST /_control/features     {"details": text or null}
  GET  /_control/suggestions  {"suggestions": [{"uuid", "text"}]}
"""

import json
import urllib.parse

from security_server import check_proof


def reset(state):
    state.audit_events = []
    state.audit_read = []
    state.audit_deleted = []
    state.feature_details = None
    state.suggestions = []


def command_pull_log(server, request):
    fields = request["fields"] or []
    state = server.state
    with state.lock:
        if len(fields) != 1 or fields[0] not in state.devices:
            return json.dumps({"isSuccess": False})
        events = [dict(e) for e in state.audit_events]
    return json.dumps({"isSuccess": True, "events": events}, ensure_ascii=False)


def command_log_ids(server, request):
    fields = request["fields"] or []
    if len(fields) < 4 or fields[2] not in ("0", "1"):
        return json.dumps({"isSuccess": False})
    uuid, answer, op = fields[0], fields[1], fields[2]
    try:
        ids = json.loads(",".join(fields[3:]))["ids"]
    except (ValueError, KeyError, TypeError):
        return json.dumps({"isSuccess": False})
    if not isinstance(ids, list):
        return json.dumps({"isSuccess": False})
    state = server.state
    with state.lock:
        mac = state.devices.get(uuid)
    if mac is None or not check_proof(server, uuid, mac, answer):
        return json.dumps({"isSuccess": False})
    with state.lock:
        if op == "0":
            state.audit_read.append(ids)
            return json.dumps({"isSuccess": True})
        known = [e["id"] for e in state.audit_events]
        if not ids or any(i not in known for i in ids):
            return json.dumps({"isSuccess": False})
        state.audit_events = [e for e in state.audit_events if e["id"] not in ids]
        state.audit_deleted.extend(ids)
    return json.dumps({"isSuccess": True})


def command_new_feature(server, request):
    with server.state.lock:
        details = server.state.feature_details
    return json.dumps({"details": details}, ensure_ascii=False) if details else "{}"


def command_suggestion(server, request):
    fields = request["fields"] or []
    if len(fields) != 2:
        return json.dumps({"isSuccess": False})
    state = server.state
    with state.lock:
        state.suggestions.append({"uuid": fields[0], "text": urllib.parse.unquote(fields[1])})
    return json.dumps({"isSuccess": True})


def control_audit(server, method, body):
    state = server.state
    if method == "POST" and isinstance(body, dict) and body:
        events = body.get("events")
        if not isinstance(events, list) or not all(isinstance(e, dict) and "id" in e for e in events):
            return 400, {"error": "\"events\" must be a list of objects with an \"id\""}
        with state.lock:
            state.audit_events = [dict(e) for e in events]
    with state.lock:
        return 200, {"events": list(state.audit_events), "read": list(state.audit_read),
                     "deleted": list(state.audit_deleted)}


def control_features(server, method, body):
    if method != "POST" or not isinstance(body, dict):
        return 400, {"error": "POST {\"details\": text}"}
    with server.state.lock:
        server.state.feature_details = body.get("details")
    return 200, {"ok": True}


def control_suggestions(server, method, body):
    with server.state.lock:
        return 200, {"suggestions": list(server.state.suggestions)}


COMMANDS = {
    13: command_pull_log,
    18: command_log_ids,
    25: command_new_feature,
    28: command_suggestion,
}

CONTROL = {
    "audit": control_audit,
    "features": control_features,
    "suggestions": control_suggestions,
}
