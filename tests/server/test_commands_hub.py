"""The main screen's commands and resources against the running server."""

import json
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_case import ServerCase  # noqa: E402


class HubCommandsTest(ServerCase):
    def reply(self, payload):
        return json.loads(self.open_reply(self.send(payload)[1]))

    def test_account_data_and_badge_count_for_a_bound_phone_only(self):
        uuid, _ = self.bind_device()
        self.control("POST", "hub", {"user": {"name": "张三", "count": 12, "duration": None}})
        info = self.reply("14;%s,1" % uuid)
        self.assertEqual(info["name"], "张三")
        self.assertNotIn("duration", info)
        self.assertTrue(info["image"].startswith("http://127.0.0.1:%d/hub/photo.png" % self.server.port))
        self.assertEqual(self.reply("14;%s,2" % uuid), {"count": 12})
        self.assertEqual(self.reply("14;unknown,1"), {"result": 400})

    def test_the_account_data_reports_the_lock_the_server_holds(self):
        uuid, mac = self.bind_device()
        info = self.reply("14;%s,1" % uuid)
        self.assertEqual((info["duration"], info["enabletime"]), (0, 0))
        opened = json.loads(self.open_reply(self.send(json.dumps(
            {"service": "10", "type": "2", "uuid": uuid, "answer": self.handshake(uuid, "1", mac),
             "duration": "16777215", "lock": 3}))[1]))
        self.assertTrue(opened["isSuccess"])
        info = self.reply("14;%s,1" % uuid)
        self.assertEqual((info["duration"], info["enabletime"]), (16777215, opened["enabletime"]))
        self.control("POST", "protect", {"lock_mask": 256})
        self.assertEqual(self.reply("14;%s,1" % uuid)["duration"], 256)
        # A lock the control sets starts now, unless it says when.
        self.control("POST", "protect", {"lock_mask": 0})
        self.control("POST", "clock", {"time": 1700000000})
        self.control("POST", "protect", {"lock_mask": 16777215, "lock_types": 1})
        self.assertEqual(self.reply("14;%s,1" % uuid)["enabletime"], 1700000000000)
        self.control("POST", "protect", {"lock_mask": 16777215, "lock_enabletime": 1600000000000})
        self.assertEqual(self.reply("14;%s,1" % uuid)["enabletime"], 1600000000000)
        # What the control sets goes before.
        self.control("POST", "hub", {"user": {"duration": 0}})
        self.assertEqual(self.reply("14;%s,1" % uuid)["duration"], 0)

    def test_the_hub_and_the_person_centre_name_the_same_holder(self):
        uuid, _ = self.bind_device()
        for change in [{}, {"user": {"name": "张三", "phone": "13900001111"}}]:
            self.control("POST", "hub", change)
            hub = self.reply("14;%s,1" % uuid)
            person = self.reply("14;%s,0" % uuid)
            self.assertEqual((person["name"], person["phone"]), (hub["name"], hub["phone"]))
        self.assertEqual((hub["name"], hub["phone"]), ("张三", "13900001111"))

    def test_a_queued_login_is_listed_and_approved_once_with_a_valid_proof(self):
        uuid, mac = self.bind_device()
        self.control("POST", "hub", {"pending": [{"time": 1700000000000, "location": "杭州", "business": "登录"}]})
        listed = self.reply("21;%s" % uuid)
        self.assertTrue(listed["isSuccess"])
        checkid = listed["results"][0]["checkid"]
        # A wrong proof and an unknown checkid are refused and change nothing.
        self.assertEqual(self.reply("19;%s,%s,%s" % (uuid, self.handshake(uuid, "1", "wrong"), checkid)),
                         {"isSuccess": False})
        self.assertEqual(self.reply("19;%s,%s,%s" % (uuid, self.handshake(uuid, "1", mac), "nope")),
                         {"isSuccess": False})
        self.assertEqual(self.reply("19;%s,%s,%s" % (uuid, self.handshake(uuid, "1", mac), checkid)),
                         {"isSuccess": True})
        state = self.control("GET", "hub")[1]
        self.assertEqual(state["pending"], [])
        self.assertEqual([a["checkid"] for a in state["approvals"]], [checkid])
        self.assertEqual(self.reply("21;unknown"), {"isSuccess": False})

    def test_an_applied_fault_approves_before_the_reply_goes_wrong(self):
        uuid, mac = self.bind_device()
        for fault, checkid in [("garbled", "A1"), ("empty", "A2"), ("http500", "A3")]:
            with self.subTest(fault=fault):
                self.control("POST", "hub", {"pending": [{"time": 1, "business": "登录", "checkid": checkid}]})
                self.control("POST", "script", {"command": 19, "fault": fault, "apply": True})
                self.send("19;%s,%s,%s" % (uuid, self.handshake(uuid, "1", mac), checkid))
                self.assertEqual(self.control("GET", "hub")[1]["pending"], [])
        self.control("POST", "hub", {"pending": [{"time": 1, "business": "登录", "checkid": "N1"}]})
        self.control("POST", "script", {"command": 19, "fault": "empty"})
        self.send("19;%s,%s,%s" % (uuid, self.handshake(uuid, "1", mac), "N1"))
        self.assertEqual([p["checkid"] for p in self.control("GET", "hub")[1]["pending"]], ["N1"])
        approvals = [a["checkid"] for a in self.control("GET", "hub")[1]["approvals"]]
        self.assertEqual(approvals, ["A1", "A2", "A3"])

    def test_advert_is_offered_until_its_version_was_seen(self):
        offer = self.reply("23;0")
        self.assertEqual(offer["version"], "2")
        status, data, _ = self.request("GET", offer["url"].split(str(self.server.port), 1)[1])
        self.assertEqual((status, data[:8]), (200, b"\x89PNG\r\n\x1a\n"))
        self.assertEqual(self.reply("23;2"), {"isSuccess": False})

    def test_payment_verification_needs_a_proof_and_records_the_token(self):
        uuid, mac = self.bind_device()
        payload = {"service": "33", "uuid": uuid, "answer": self.handshake(uuid, "1", mac), "korvexTokenId": "T1"}
        reply = self.reply(json.dumps(payload))
        self.assertEqual(reply["result"], 202)
        self.assertIn("checktime", reply)
        payload["answer"] = "stale"
        self.assertEqual(self.reply(json.dumps(payload))["result"], 413)
        self.assertEqual(self.control("GET", "hub")[1]["korvex_tokens"], ["T1"])

    def test_store_lookup_lists_the_versions(self):
        self.control("POST", "hub", {"store_versions": ["3.0.1", "3.1.0"]})
        status, data, _ = self.request("GET", "/lookup?id=123")
        self.assertEqual(status, 200)
        self.assertEqual([r["version"] for r in json.loads(data)["results"]], ["3.0.1", "3.1.0"])


if __name__ == "__main__":
    unittest.main()
