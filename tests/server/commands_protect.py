"""The account's protections, its hour lock, the person centre, the daily
check-in and the password change.

The server keeps, per run, which protections are on, the lock (its hours in
GMT+8, the sum of its lock types and when it started), the person's overview
and the password, so a change made by one command is what the next read
shows.

  11  "11;<uuid>"                              {"isSuccess", "protects": [ids], "lock"}
  12  "12;<uuid>,<answer>,<id>,<1 on|0 off>[,<strong 1|0>]"   after a handshake in mode "1"
                                               {"isSuccess", "protect", "tips"}; id "601" is
                                               login protection, both its parts "10" and "80"
  10  {"service":"10","type":"0"}              the lock types, [{"id","name","description"}]
      {"service":"10","type":"2","uuid","duration","lock"}   opens the lock for the hours of
                                               "duration" (a GMT+8 mask) and the types of "lock"
      {"service":"10","type":"1","uuid","duration","lock":0} closes it
                                               {"isSuccess", "protect": "600", "enabletime", "tips"}
  14  "14;<uuid>,0"                            the person centre's overview (operation 0 only;
                                               the other operations belong to other areas)
  27  "27;<uuid>,<answer>"                     the daily check-in: {"isSuccess", "safepoint"}
  15  "15;<uuid>,<answer>,<password escaped>"  {"isSuccess"} or {"isSuccess": false, "message"}

Control: GET /_control/protect answers the kept state; POST changes any of
"protects", "lock_mask", "lock_types", "lock_enabletime", "lock_types_list",
"person", "checked_in", "password" (and answers as GET). A lock set by the
control without "lock_enabletime" starts now; a mask of 0 ends the lock.
"""

import copy
import json
import urllib.parse

from security_server import check_proof

PROTECTION_IDS = {"10", "80", "19", "6", "8", "16", "12", "18", "22"}
LOGIN = "601"
LOCK = "600"
CHECK_IN_POINTS = 5
PASSWORD_RULE = "您的密码长度必须密码由6-16位字符(字母、数字、符号)组合而成，请重新输入"

LOCK_TYPES = [
    {"id": 1, "name": "网页主站登录锁定", "description": "禾川网、鹊岭、览途网等禁止登录"},
    {"id": 2, "name": "讯禾PC端登录锁定", "description": "讯禾买家版及卖家版PC端禁止登录"},
]

# The person's overview; its "name" and "phone" are the account holder's of
# the main screen's data (commands_hub.py) unless the control gives its own.
PERSON = {
    "image": "",
    "safescore": 86,
    "count": 0,
    "safepoint": 20,
    "lastlogin": 1700000000000,
    "lastlogincity": "杭州",
    "usertype": "1",
    "products": ["phone", "otp", "email"],
}


def reset(state):
    state.protect = {
        "protects": set(),
        "strong": None,
        "lock_mask": 0,
        "lock_types": 0,
        "lock_enabletime": None,
        "lock_types_list": copy.deepcopy(LOCK_TYPES),
        "person": copy.deepcopy(PERSON),
        "checked_in": False,
        "password": None,
    }


# What lasts across runs of a server with a state file: the protections and the lock.
KEPT = ("protects", "strong", "lock_mask", "lock_types", "lock_enabletime")


def keep(state):
    kept = {k: state.protect[k] for k in KEPT}
    kept["protects"] = sorted(kept["protects"])
    return {"protect": kept}


def restore(state, kept):
    saved = kept.get("protect")
    if not isinstance(saved, dict):
        return
    for k in KEPT:
        if k in saved:
            state.protect[k] = set(map(str, saved[k])) if k == "protects" else saved[k]


def _bound(server, uuid):
    with server.state.lock:
        return server.state.devices.get(uuid)


def _proven(server, uuid, answer):
    mac = _bound(server, uuid)
    return mac is not None and check_proof(server, uuid, mac, answer)


def command_status(server, request):
    fields = request["fields"] or []
    if len(fields) != 1 or _bound(server, fields[0]) is None:
        return ""
    with server.state.lock:
        p = server.state.protect
        on = sorted(p["protects"])
        return json.dumps({"isSuccess": bool(on), "protects": on, "lock": p["lock_mask"] > 0})


def command_change(server, request):
    fields = request["fields"] or []
    if len(fields) not in (4, 5) or fields[3] not in ("0", "1"):
        return json.dumps({"isSuccess": False, "tips": "参数错误"})
    uuid, answer, ident, on = fields[:4]
    if ident != LOGIN and ident not in PROTECTION_IDS:
        return json.dumps({"isSuccess": False, "tips": "没有这项保护"})
    if not _proven(server, uuid, answer):
        return json.dumps({"isSuccess": False, "tips": "安全校验失败，请重试"})
    ids = {"10", "80"} if ident == LOGIN else {ident}
    with server.state.lock:
        p = server.state.protect
        if on == "1":
            p["protects"] |= ids
        else:
            p["protects"] -= ids
        if ident == LOGIN:
            p["strong"] = fields[4] if len(fields) == 5 else None
    return json.dumps({"isSuccess": True, "protect": ident})


def command_lock(server, request):
    body = request["json"] or {}
    kind = str(body.get("type"))
    state = server.state
    if kind == "0":
        with state.lock:
            return json.dumps(state.protect["lock_types_list"], ensure_ascii=False)
    if kind not in ("1", "2"):
        return json.dumps({"isSuccess": False, "tips": "参数错误"})
    if _bound(server, str(body.get("uuid"))) is None:
        return json.dumps({"isSuccess": False, "tips": "账号未绑定"})
    try:
        duration = int(str(body.get("duration")))
        lock = int(body.get("lock"))
    except (TypeError, ValueError):
        return json.dumps({"isSuccess": False, "tips": "参数错误"})
    if kind == "2" and (not 0 < duration <= 0xFFFFFF or lock <= 0):
        return json.dumps({"isSuccess": False, "tips": "请选择锁定时段和锁定类型"}, ensure_ascii=False)
    now_ms = int(state.now() * 1000)
    with state.lock:
        p = state.protect
        if kind == "2":
            p["lock_mask"], p["lock_types"], p["lock_enabletime"] = duration, lock, now_ms
            return json.dumps({"isSuccess": True, "protect": LOCK, "enabletime": now_ms})
        p["lock_mask"], p["lock_types"], p["lock_enabletime"] = 0, 0, None
        return json.dumps({"isSuccess": True, "protect": LOCK})


def person_overview(server, uuid):
    with server.state.lock:
        p = server.state.protect
        user = server.state.hub_user
        reply = {"name": user.get("name"), "phone": user.get("phone")}
        reply = {k: v for k, v in reply.items() if v is not None}
        reply.update(p["person"])
        reply["protects"] = str(len(p["protects"] - {"80"}))
        reply["checkin"] = "true" if p["checked_in"] else "false"
    return json.dumps(reply, ensure_ascii=False)


def command_person_overview(server, request):
    fields = request["fields"] or []
    if len(fields) != 2 or _bound(server, fields[0]) is None:
        return "{}"
    return person_overview(server, fields[0])


def command_check_in(server, request):
    fields = request["fields"] or []
    if len(fields) != 2 or not _proven(server, fields[0], fields[1]):
        return json.dumps({"isSuccess": False})
    with server.state.lock:
        p = server.state.protect
        if p["checked_in"]:
            return json.dumps({"isSuccess": False})
        p["checked_in"] = True
        p["person"]["safepoint"] = int(p["person"].get("safepoint") or 0) + CHECK_IN_POINTS
        return json.dumps({"isSuccess": True, "safepoint": p["person"]["safepoint"]})


def command_password(server, request):
    fields = request["fields"] or []
    if len(fields) != 3:
        return json.dumps({"isSuccess": False, "message": "参数错误"}, ensure_ascii=False)
    uuid, answer, escaped = fields
    if not _proven(server, uuid, answer):
        return json.dumps({"isSuccess": False, "message": "安全校验失败，请重试"}, ensure_ascii=False)
    password = urllib.parse.unquote(escaped, errors="strict")
    if not 6 <= len(password) <= 16:
        return json.dumps({"isSuccess": False, "message": PASSWORD_RULE}, ensure_ascii=False)
    with server.state.lock:
        server.state.protect["password"] = password
    return json.dumps({"isSuccess": True})


def control_protect(server, method, body):
    state = server.state
    with state.lock:
        p = state.protect
        if method == "POST":
            if "protects" in body:
                if not isinstance(body["protects"], list):
                    return 400, {"error": "\"protects\" must be a list of ids"}
                p["protects"] = {str(i) for i in body["protects"]}
            for key in ("lock_mask", "lock_types"):
                if key in body:
                    p[key] = int(body[key])
            if "lock_enabletime" in body:
                p["lock_enabletime"] = None if body["lock_enabletime"] is None else int(body["lock_enabletime"])
            elif "lock_mask" in body:
                p["lock_enabletime"] = None if p["lock_mask"] == 0 else p["lock_enabletime"] or int(
                    server.state.now_unlocked() * 1000)
            for key in ("lock_types_list", "password", "checked_in"):
                if key in body:
                    p[key] = body[key]
            if "person" in body:
                if not isinstance(body["person"], dict):
                    return 400, {"error": "\"person\" must be an object"}
                p["person"] = dict(body["person"])
        out = dict(p)
        out["protects"] = sorted(p["protects"])
        return 200, out


COMMANDS = {
    10: command_lock,
    11: command_status,
    12: command_change,
    15: command_password,
    27: command_check_in,
}

# Command 14 is shared by operation: the person centre's overview is op 0.
OPERATIONS = {14: {"0": command_person_overview}}

CONTROL = {"protect": control_protect}
