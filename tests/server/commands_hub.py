"""The main screen's commands and resources.

Command 14 ("14;<uuid>,<op>", no handshake): op 1 answers the account data
  {"name", "phone", "image", "otp", "duration", "enabletime"} (members set to
  None by the control are left out); "duration" and "enabletime" are the hour
  lock the server holds (commands_protect.py: its GMT+8 mask and when it
  started, 0 when none) unless the control set them; op 2 answers
  {"count": unread log entries}. The name and phone are the account holder's
  (the person centre of commands_protect.py and the SMS binding show the same).
Command 21 ("21;<uuid>"): the pending login approvals of a bound phone,
  {"isSuccess": true, "results": [{"time", "location", "business", "checkid"}]}.
Command 19 ("19;<uuid>,<answer>,<checkid>" after a handshake in mode "1"):
  a proven phone approves a pending request; the request leaves the list and
  is recorded. Anything else answers {"isSuccess": false}.
Command 23 ("23;<advert version seen>"): {"isSuccess": false} when the phone
  has seen the current advert, else {"isSuccess": true, "version", "url"}.
Command 33 (JSON {"service": "33", "uuid", "answer", "korvexTokenId"}): a
  proven phone turns payment verification on: {"result": 202, "bid",
  "checktime"} (or the scripted refusal {"result", "message"}).

GET /hub/photo.png and /hub/advert.png serve small pictures (or, when the
control says "broken", bytes that are not a picture); GET /lookup?id=<id>
answers the store's look-up {"resultCount", "results": [{"version"}, ...]}.

Control /_control/hub:
  GET  {"user", "pending", "approvals", "korvex_tokens", "advert", "store_versions"}
  POST any of
    "user": {...}           merged into the account data of command 14
    "pending": [{...}]      appended to the pending requests ("time" in ms,
                            "location", "business"; "checkid" made when absent)
    "clear_pending": true
    "advert": {"version", "broken"}
    "photo": {"broken"}
    "store_versions": [...]  the versions the look-up lists
    "korvex": {"result", "message"}  how command 33 answers
"""

import json
import struct
import zlib

from security_server import check_proof

# The account holder as every screen shows them.
HOLDER_NAME = "小禾"
HOLDER_PHONE = "13812345678"

DEFAULT_USER = {
    "name": HOLDER_NAME,
    "phone": HOLDER_PHONE,
    "image": "/hub/photo.png",
    "otp": True,
    "count": 0,
}


def reset(state):
    state.hub_user = dict(DEFAULT_USER)
    state.hub_pending = []
    state.hub_next_checkid = 1
    state.hub_approvals = []
    state.hub_korvex_tokens = []
    state.hub_korvex = {"result": 202}
    state.hub_advert = {"version": "2", "broken": False}
    state.hub_photo = {"broken": False}
    state.hub_store_versions = ["3.0.1"]


def png(width, height, pixel):
    """A PNG of RGB pixels given by pixel(x, y) -> (r, g, b)."""
    rows = b"".join(b"\0" + b"".join(bytes(pixel(x, y)) for x in range(width)) for y in range(height))

    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data) & 0xFFFFFFFF)

    header = struct.pack(">IIBBBBB", width, height, 8, 2, 0, 0, 0)
    return b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", header) + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b"")


def photo_pixel(x, y):
    # A round face on a teal ground.
    inside = (x - 32) ** 2 + (y - 28) ** 2 < 15 ** 2 or (x - 32) ** 2 + (y - 70) ** 2 < 28 ** 2
    return (250, 224, 196) if inside else (38, 140, 150)


def advert_pixel(x, y):
    # Orange and white stripes.
    return (255, 140, 40) if (x // 16) % 2 == 0 else (255, 245, 230)


def address(server, path):
    host, port = server.server_address[:2]
    return "http://%s:%d%s" % (host, port, path)


def bound_uuid(server, fields):
    uuid = fields[0] if fields else None
    with server.state.lock:
        return uuid if uuid in server.state.devices else None


def command_user_info(server, request):
    fields = request["fields"] or []
    if len(fields) != 2 or bound_uuid(server, fields) is None:
        return json.dumps({"result": 400})
    state = server.state
    with state.lock:
        user = dict(state.hub_user)
        # The lock as the server holds it, unless the control said otherwise.
        lock = getattr(state, "protect", None) or {}
        user.setdefault("duration", int(lock.get("lock_mask") or 0))
        user.setdefault("enabletime", int(lock.get("lock_enabletime") or 0))
    if fields[1] == "2":
        return json.dumps({"count": user["count"]})
    if fields[1] != "1":
        return json.dumps({"result": 400})
    reply = {k: v for k, v in user.items() if k != "count" and v is not None}
    if isinstance(reply.get("image"), str) and reply["image"].startswith("/"):
        reply["image"] = address(server, reply["image"])
    return json.dumps(reply, ensure_ascii=False)


def command_pull_requests(server, request):
    fields = request["fields"] or []
    if len(fields) != 1 or bound_uuid(server, fields) is None:
        return json.dumps({"isSuccess": False})
    with server.state.lock:
        results = [dict(entry) for entry in server.state.hub_pending]
    return json.dumps({"isSuccess": True, "results": results}, ensure_ascii=False)


def command_let_go(server, request):
    fields = request["fields"] or []
    if len(fields) != 3:
        return json.dumps({"isSuccess": False})
    uuid, answer, checkid = fields
    state = server.state
    with state.lock:
        mac = state.devices.get(uuid)
    if mac is None or not check_proof(server, uuid, mac, answer):
        return json.dumps({"isSuccess": False})
    with state.lock:
        entry = next((e for e in state.hub_pending if str(e.get("checkid")) == checkid), None)
        if entry is None:
            return json.dumps({"isSuccess": False})
        state.hub_pending.remove(entry)
        state.hub_approvals.append({"uuid": uuid, "checkid": checkid, "business": entry.get("business")})
    return json.dumps({"isSuccess": True})


def command_advert(server, request):
    fields = request["fields"] or []
    seen = fields[0] if fields else ""
    with server.state.lock:
        version = server.state.hub_advert["version"]
    if seen == version:
        return json.dumps({"isSuccess": False})
    return json.dumps({"isSuccess": True, "version": version, "url": address(server, "/hub/advert.png")})


def command_open_korvex(server, request):
    obj = request["json"] or {}
    uuid, answer, token = obj.get("uuid"), obj.get("answer"), obj.get("korvexTokenId")
    state = server.state
    with state.lock:
        mac = state.devices.get(uuid)
    if mac is None or not isinstance(answer, str) or not check_proof(server, uuid, mac, answer):
        return json.dumps({"result": 413, "message": "验证失败"}, ensure_ascii=False)
    with state.lock:
        state.hub_korvex_tokens.append(token)
        scripted = dict(state.hub_korvex)
        bid = state.account["bid"]
    if scripted.get("result") != 202:
        return json.dumps(scripted, ensure_ascii=False)
    return json.dumps({"result": 202, "bid": bid, "checktime": int(state.now() * 1000)})


def route_photo(server, query):
    with server.state.lock:
        broken = server.state.hub_photo["broken"]
    return 200, "image/png", b"not a picture" if broken else png(64, 64, photo_pixel)


def route_advert(server, query):
    with server.state.lock:
        broken = server.state.hub_advert["broken"]
    return 200, "image/png", b"not a picture" if broken else png(320, 30, advert_pixel)


def route_lookup(server, query):
    with server.state.lock:
        versions = list(server.state.hub_store_versions)
    results = [{"version": v, "trackId": query.get("id", [""])[0]} for v in versions]
    return 200, "application/json", json.dumps({"resultCount": len(results), "results": results})


def control_hub(server, method, body):
    state = server.state
    with state.lock:
        if method == "POST":
            if not isinstance(body, dict):
                return 400, {"error": "the body must be an object"}
            if isinstance(body.get("user"), dict):
                state.hub_user.update(body["user"])
            if body.get("clear_pending"):
                state.hub_pending = []
            for entry in body.get("pending", []):
                if not isinstance(entry, dict):
                    return 400, {"error": "a pending request must be an object"}
                entry = dict(entry)
                if "checkid" not in entry:
                    entry["checkid"] = "CK%04d" % state.hub_next_checkid
                    state.hub_next_checkid += 1
                state.hub_pending.append(entry)
            if isinstance(body.get("advert"), dict):
                state.hub_advert.update(body["advert"])
            if isinstance(body.get("photo"), dict):
                state.hub_photo.update(body["photo"])
            if isinstance(body.get("store_versions"), list):
                state.hub_store_versions = [str(v) for v in body["store_versions"]]
            if isinstance(body.get("korvex"), dict):
                state.hub_korvex = dict(body["korvex"])
        return 200, {
            "user": dict(state.hub_user),
            "pending": [dict(e) for e in state.hub_pending],
            "approvals": list(state.hub_approvals),
            "korvex_tokens": list(state.hub_korvex_tokens),
            "advert": dict(state.hub_advert),
            "store_versions": list(state.hub_store_versions),
        }


COMMANDS = {
    14: command_user_info,
    19: command_let_go,
    21: command_pull_requests,
    23: command_advert,
    33: command_open_korvex,
}

CONTROL = {"hub": control_hub}

ROUTES = {
    "/hub/photo.png": route_photo,
    "/hub/advert.png": route_advert,
    "/lookup": route_lookup,
}
