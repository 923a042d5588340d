"""The safe phone (17), the freeze clock (22) and the forgotten PIN (26)."""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_case import ServerCase  # noqa: E402


class PinCommandsTest(ServerCase):
    def text(self, payload):
        return self.open_reply(self.send(payload)[1])

    def safe(self, uuid, mac, rest):
        return self.text("17;%s,%s,%s" % (uuid, self.handshake(uuid, "1", mac), rest))

    def test_open_change_cancel_of_the_safe_phone(self):
        uuid, mac = self.bind_device()
        self.assertEqual(self.safe(uuid, mac, "0,13812345678,123456,0"), "true")
        self.assertEqual(self.safe(uuid, mac, "0,13812345678,123456,0"), "false")  # already on
        self.assertEqual(self.control("GET", "safephone")[1]["phone"], "13812345678")
        self.assertEqual(self.safe(uuid, mac, "2,13812345678,999,13900000000,42,1"), "false")  # wrong old
        self.assertEqual(self.safe(uuid, mac, "2,13812345678,123456,13900000000,42,1"), "true")
        state = self.control("GET", "safephone")[1]
        self.assertEqual((state["phone"], state["password"], state["keep"]), ("13900000000", "42", "1"))
        self.assertEqual(self.safe(uuid, mac, "3,13812345678,123456"), "false")
        self.assertEqual(self.safe(uuid, mac, "3,13900000000,42"), "true")
        self.assertIsNone(self.control("GET", "safephone")[1]["phone"])

    def test_safe_setting_refusals(self):
        uuid, mac = self.bind_device()
        wrong = self.handshake(uuid, "1", "not-the-mac")
        for payload in ["17;%s,%s,0,13812345678,1,0" % (uuid, wrong), "17;%s" % uuid,
                        "17;unknown,abc,0,13812345678,1,0"]:
            with self.subTest(payload=payload):
                self.assertEqual(self.text(payload), "false")
        for rest in ["0,13812345678,1", "0,13812345678,1,0,extra", "5,1", "0,13812345678,1,2"]:
            with self.subTest(rest=rest):
                self.assertEqual(self.safe(uuid, mac, rest), "false")
        self.assertIsNone(self.control("GET", "safephone")[1]["phone"])

    def test_push_switch(self):
        uuid, mac = self.bind_device()
        self.assertEqual(self.safe(uuid, mac, "1,0"), "true")
        self.assertEqual(self.control("GET", "safephone")[1]["push"], "0")

    def test_unfreeze_time_follows_the_server_clock(self):
        self.control("POST", "clock", {"time": 2000000000.25})
        self.assertEqual(json.loads(self.text("22;***")), {"time": 2000000000250})

    def test_forgotten_pin_check(self):
        uuid, _ = self.bind_device()
        self.assertEqual(self.text("26;%s,13812345678,123456" % uuid), "false")  # service off
        self.control("POST", "safephone", {"phone": "13812345678", "password": "123456"})
        self.assertEqual(self.text("26;%s,13812345678,123456" % uuid), "true")
        for payload in ["26;%s,13812345678,12345" % uuid, "26;other,13812345678,123456", "26;%s" % uuid]:
            with self.subTest(payload=payload):
                self.assertEqual(self.text(payload), "false")

    def test_control_refuses_non_text(self):
        status, _ = self.control("POST", "safephone", {"phone": 138})
        self.assertEqual(status, 400)


if __name__ == "__main__":
    unittest.main()
