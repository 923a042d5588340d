"""Commands of the app's own lock: the safe phone, the freeze clock and the
forgotten start PIN.

Command 17 changes the safe-phone service after a handshake in mode "1":
  "17;<uuid>,<answer>,0,<phone>,<password>,<keep>"        open
  "17;<uuid>,<answer>,1,<state>"                            push notices on ("1") or off ("0")
  "17;<uuid>,<answer>,2,<old phone>,<old password>,<new phone>,<new password>,<keep>"  change
  "17;<uuid>,<answer>,3,<old phone>,<old password>"       cancel
The reply is the bare text "true" when done, "false" otherwise. Opening needs
the service off, changing and cancelling need the old phone and password.

Command 22 ("22;***", no handshake) answers {"time": <server time in ms>}.

Command 26 ("26;<uuid>,<phone>,<password>", no handshake) answers "true"
when the uuid is a bound phone and the phone and password are the safe
phone's, "false" otherwise.

Control:
  GET  /_control/safephone   {"phone", "password", "keep", "push"} (null when off)
  POST /_control/safephone   sets any of "phone", "password", "keep", "push"
                             ({"phone": null} turns the service off); answers as GET
"""

import json

from security_server import check_proof

FIELDS = ("phone", "password", "keep", "push")


def reset(state):
    state.safe_phone = {"phone": None, "password": None, "keep": None, "push": "1"}


def keep(state):
    """The safe phone lasts across runs of a server with a state file."""
    return {"safe_phone": dict(state.safe_phone)}


def restore(state, kept):
    saved = kept.get("safe_phone")
    if isinstance(saved, dict):
        state.safe_phone.update({k: saved[k] for k in FIELDS if k in saved})


def proven(server, uuid, answer):
    state = server.state
    with state.lock:
        mac = state.devices.get(uuid)
    return mac is not None and check_proof(server, uuid, mac, answer)


def command_safe_setting(server, request):
    fields = request["fields"] or []
    if len(fields) < 3:
        return "false"
    uuid, answer, op, rest = fields[0], fields[1], fields[2], fields[3:]
    expected = {"0": 3, "1": 1, "2": 5, "3": 2}.get(op)
    if expected is None or len(rest) != expected:
        return "false"
    if not proven(server, uuid, answer):
        return "false"
    state = server.state
    with state.lock:
        current = state.safe_phone
        if op == "0":
            phone, password, keep = rest
            if current["phone"] is not None or keep not in ("0", "1"):
                return "false"
            current.update(phone=phone, password=password, keep=keep)
        elif op == "1":
            if rest[0] not in ("0", "1"):
                return "false"
            current["push"] = rest[0]
        elif op == "2":
            old_phone, old_password, phone, password, keep = rest
            if current["phone"] is None or (old_phone, old_password) != (current["phone"], current["password"]):
                return "false"
            if keep not in ("0", "1"):
                return "false"
            current.update(phone=phone, password=password, keep=keep)
        else:
            old_phone, old_password = rest
            if current["phone"] is None or (old_phone, old_password) != (current["phone"], current["password"]):
                return "false"
            current.update(phone=None, password=None, keep=None)
    return "true"


def command_unfreeze_time(server, request):
    return json.dumps({"time": int(server.state.now() * 1000)})


def command_verify_safe_phone(server, request):
    fields = request["fields"] or []
    if len(fields) != 3:
        return "false"
    uuid, phone, password = fields
    state = server.state
    with state.lock:
        current = state.safe_phone
        ok = (uuid in state.devices and current["phone"] is not None
              and (phone, password) == (current["phone"], current["password"]))
    return "true" if ok else "false"


def control_safe_phone(server, method, body):
    state = server.state
    with state.lock:
        if method == "POST":
            for key in FIELDS:
                if key in body:
                    value = body[key]
                    if value is not None and not isinstance(value, str):
                        return 400, {"error": "%r must be a text or null" % key}
                    state.safe_phone[key] = value
        return 200, dict(state.safe_phone)


COMMANDS = {
    17: command_safe_setting,
    22: command_unfreeze_time,
    26: command_verify_safe_phone,
}

CONTROL = {
    "safephone": control_safe_phone,
}
