"""De-registration (command 24) against the running server."""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_case import ServerCase  # noqa: E402


class LogoutTest(ServerCase):
    def logout(self, uuid, answer):
        return json.loads(self.open_reply(self.send("24;%s,%s" % (uuid, answer))[1]))

    def test_a_proven_phone_is_unbound_once(self):
        uuid, mac = self.bind_device()
        self.assertEqual(self.logout(uuid, self.handshake(uuid, "1", mac)), {"isSuccess": True})
        self.assertEqual(self.control("GET", "account")[1]["devices"], {})
        # The phone is gone: its next handshake says so.
        reply = json.loads(self.open_reply(self.send("0;%s,1" % uuid)[1]))
        self.assertEqual(reply["sid"], "null")

    def test_refusals_change_nothing(self):
        uuid, mac = self.bind_device()
        wrong_key = self.handshake(uuid, "1", "not-the-mac")
        for payload in ["24;%s,%s" % (uuid, wrong_key), "24;%s" % uuid, "24;unknown-uuid,abcdef"]:
            with self.subTest(payload=payload):
                reply = json.loads(self.open_reply(self.send(payload)[1]))
                self.assertEqual(reply, {"isSuccess": False})
        self.assertEqual(self.control("GET", "account")[1]["devices"], {uuid: mac})


if __name__ == "__main__":
    unittest.main()
