"""SMS binding (command 31) and payment binding (commands 32, 34) against the running server."""

import json
import os
import sys
import tempfile
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_case import ServerCase  # noqa: E402

UUID = "0E5B4F1C-2D3A-4B5C-8D9E-0F1A2B3C4D5E"
MAC = "9f0e1d2c3b4a59687766554433221100"


class TextBindTest(ServerCase):
    def reply(self, payload):
        return json.loads(self.open_reply(self.send(payload)[1]))

    def ask_phone(self, name="demo@quenta.test"):
        return self.reply("31;0," + urllib.parse.quote(name, safe=""))

    def bind_payload(self, sid, mac=MAC):
        return "31;2,%s,%s,%s,iPhone,6.1,960,640,3002," % (sid, UUID, mac)

    def test_the_whole_road_binds_the_phone_once(self):
        first = self.ask_phone()
        self.assertEqual(first["result"], 202)
        # The account holder's phone, as the main screen shows it.
        self.assertEqual(first["phone"], self.control("GET", "hub")[1]["user"]["phone"])
        self.assertEqual(first["phone"], "13812345678")
        sid = str(first["sid"])
        self.assertEqual(self.reply("31;1," + sid)["result"], 100)
        self.assertEqual(self.reply(self.bind_payload(sid))["result"], 205)  # nothing arrived yet
        self.assertEqual(self.control("POST", "sms", {"arrived": True})[0], 200)
        self.assertEqual(self.reply("31;1," + sid)["result"], 204)
        bound = self.reply(self.bind_payload(sid))
        self.assertEqual(bound["result"], 202)
        self.assertEqual(bound["bid"], "3132333435363738393031323334353637383930")
        self.assertIsInstance(bound["checktime"], int)
        self.assertEqual(self.control("GET", "account")[1]["devices"], {UUID: MAC})
        # The sid is used up.
        self.assertEqual(self.reply(self.bind_payload(sid))["result"], 205)

    def test_a_binding_text_in_the_outbox_arrives(self):
        sid = str(self.ask_phone()["sid"])
        other = str(self.ask_phone()["sid"])
        with tempfile.TemporaryDirectory() as folder:
            outbox = os.path.join(folder, "messages.txt")
            self.server.sms_outbox = outbox
            try:
                # Nothing sent yet (no file), then a text of another account and a
                # stray line: still waiting.
                self.assertEqual(self.reply("31;1," + sid)["result"], 100)
                with open(outbox, "w", encoding="utf-8") as f:
                    f.write("10655000\tSC#B#nobody#%s\nhello\n" % sid)
                self.assertEqual(self.reply("31;1," + sid)["result"], 100)
                with open(outbox, "a", encoding="utf-8") as f:
                    f.write("10655000\tSC#B#demo@quenta.test#%s\n" % sid)
                self.assertEqual(self.reply("31;1," + sid)["result"], 204)
                self.assertEqual(self.reply("31;1," + other)["result"], 100)
                self.assertEqual(self.reply(self.bind_payload(sid))["result"], 202)
            finally:
                self.server.sms_outbox = None

    def test_refusals(self):
        self.assertEqual(self.ask_phone("nobody")["result"], 201)
        self.assertEqual(self.ask_phone("演示账号")["result"], 201)
        self.assertEqual(self.reply("31;1,123")["result"], 205)
        sid = str(self.ask_phone()["sid"])
        self.control("POST", "sms", {"arrived": True})
        self.assertEqual(self.reply(self.bind_payload(sid, mac="(null)"))["result"], 400)
        self.control("POST", "sms", {"expired": True})
        self.assertEqual(self.reply("31;1," + sid)["result"], 205)
        self.assertEqual(self.control("GET", "account")[1]["devices"], {})

    def test_a_name_beyond_ascii_arrives_escaped(self):
        self.control("POST", "account", {"name": "演示账号"})
        self.assertEqual(self.ask_phone("演示账号")["result"], 202)

    def test_forced_results_go_to_their_op_in_order(self):
        self.control("POST", "sms", {"results": {"1": [412, 100]}, "phone": "1380013800"})
        sid = str(self.ask_phone()["sid"])
        self.assertEqual(self.ask_phone()["phone"], "1380013800")
        self.assertEqual([self.reply("31;1," + sid)["result"] for _ in range(3)], [412, 100, 100])


class PaymentBindTest(ServerCase):
    def reply(self, obj):
        return json.loads(self.open_reply(self.send(json.dumps(obj))[1]))

    def test_the_payment_account_of_a_name(self):
        got = self.reply({"service": "32", "nick": "demo@quenta.test"})
        self.assertEqual(got, {"result": 202, "username": "demo_pay@korvex.test", "sid": 20261210001, "cert": False})
        self.control("POST", "korvex", {"cert": True})
        self.assertTrue(self.reply({"service": "32", "nick": "demo@quenta.test"})["cert"])
        self.assertEqual(self.reply({"service": "32", "nick": "other"})["result"], 416)
        self.control("POST", "korvex", {"bound": False})
        self.assertEqual(self.reply({"service": "32", "nick": "demo@quenta.test"})["result"], 416)

    def bind(self, token, proof=None):
        answer = proof or self.handshake(MAC, "0", MAC)
        return self.reply({"service": "34", "mac": MAC, "answer": answer, "uuid": UUID, "korvexTokenId": token,
                           "sid": "20261210001", "osType": "iPhone", "osVersion": "6.1", "screenHeight": "960",
                           "screenWidth": "640", "iphoneToken": "", "source": "3002"})

    def test_a_handed_back_token_binds_after_the_handshake(self):
        self.assertEqual(self.bind("wrong")["result"], 407)
        self.assertEqual(self.bind("kvtoken-demo-0001", proof="000000")["result"], 413)
        self.assertEqual(self.control("GET", "account")[1]["devices"], {})
        bound = self.bind("kvtoken-demo-0001")
        self.assertEqual(bound["result"], 202)
        self.assertEqual(self.control("GET", "account")[1]["devices"], {UUID: MAC})


if __name__ == "__main__":
    unittest.main()
