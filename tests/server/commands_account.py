"""Commands about the binding itself, shared by several screens.

Command 24 de-registers the phone: "24;<uuid>,<answer>" after a handshake in
mode "1". A proven, bound phone is unbound and the reply is
{"isSuccess": true}; anything else is {"isSuccess": false} and changes nothing.
"""

import json

from security_server import check_proof


def command_logout(server, request):
    fields = request["fields"] or []
    if len(fields) != 2:
        return json.dumps({"isSuccess": False})
    uuid, answer = fields
    state = server.state
    with state.lock:
        mac = state.devices.get(uuid)
    if mac is None or not check_proof(server, uuid, mac, answer):
        return json.dumps({"isSuccess": False})
    with state.lock:
        state.devices.pop(uuid, None)
    return json.dumps({"isSuccess": True})


COMMANDS = {
    24: command_logout,
}
