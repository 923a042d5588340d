"""Protections, the lock, the overview, the check-in and the password
change against the running server."""

import json
import os
import sys
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_case import ServerCase  # noqa: E402


class ProtectTest(ServerCase):
    def reply(self, payload):
        return json.loads(self.open_reply(self.send(payload)[1]))

    def signed(self, command, uuid, mac, *fields):
        answer = self.handshake(uuid, "1", mac)
        return self.reply("%d;%s,%s%s" % (command, uuid, answer, "".join("," + f for f in fields)))

    def test_a_change_is_what_the_next_status_read_shows(self):
        uuid, mac = self.bind_device()
        self.assertEqual(self.reply("11;" + uuid), {"isSuccess": False, "protects": [], "lock": False})
        self.assertEqual(self.signed(12, uuid, mac, "601", "1", "1"), {"isSuccess": True, "protect": "601"})
        self.assertEqual(self.signed(12, uuid, mac, "19", "1"), {"isSuccess": True, "protect": "19"})
        self.assertEqual(self.reply("11;" + uuid), {"isSuccess": True, "protects": ["10", "19", "80"], "lock": False})
        self.assertEqual(self.control("GET", "protect")[1]["strong"], "1")
        self.assertEqual(self.signed(12, uuid, mac, "601", "0"), {"isSuccess": True, "protect": "601"})
        self.assertEqual(self.reply("11;" + uuid)["protects"], ["19"])

    def test_changes_without_proof_or_of_unknown_ids_are_refused(self):
        uuid, mac = self.bind_device()
        for fields in [("99", "1"), ("19", "2")]:
            with self.subTest(fields=fields):
                self.assertFalse(self.signed(12, uuid, mac, *fields)["isSuccess"])
        self.handshake(uuid, "1", mac)
        self.assertFalse(self.reply("12;%s,badanswer,19,1" % uuid)["isSuccess"])
        self.assertEqual(self.control("GET", "protect")[1]["protects"], [])
        # An unbound phone reads nothing.
        self.assertEqual(self.open_reply(self.send("11;unknown")[1]), "")

    def test_the_lock_opens_with_its_hours_and_closes(self):
        uuid, _ = self.bind_device()
        types = self.reply(json.dumps({"service": "10", "type": "0"}))
        self.assertEqual([t["id"] for t in types], [1, 2])
        self.control("POST", "clock", {"time": 1700000000})
        opened = self.reply(json.dumps({"service": "10", "type": "2", "uuid": uuid, "duration": "768", "lock": 3}))
        self.assertEqual(opened, {"isSuccess": True, "protect": "600", "enabletime": 1700000000000})
        state = self.control("GET", "protect")[1]
        self.assertEqual((state["lock_mask"], state["lock_types"]), (768, 3))
        self.assertTrue(self.reply("11;" + uuid)["lock"])
        closed = self.reply(json.dumps({"service": "10", "type": "1", "uuid": uuid, "duration": "768", "lock": 0}))
        self.assertEqual(closed, {"isSuccess": True, "protect": "600"})
        self.assertEqual(self.control("GET", "protect")[1]["lock_mask"], 0)
        for bad in [{"duration": "0", "lock": 3}, {"duration": "768", "lock": 0}, {"duration": "x", "lock": 1}]:
            with self.subTest(bad=bad):
                body = dict(bad, service="10", type="2", uuid=uuid)
                self.assertFalse(self.reply(json.dumps(body))["isSuccess"])

    def test_overview_and_a_check_in_once_a_day(self):
        uuid, mac = self.bind_device()
        overview = self.reply("14;%s,0" % uuid)
        self.assertEqual((overview["checkin"], overview["safepoint"]), ("false", 20))
        self.assertEqual(self.signed(27, uuid, mac), {"isSuccess": True, "safepoint": 25})
        self.assertEqual(self.signed(27, uuid, mac), {"isSuccess": False})
        self.assertEqual(self.reply("14;%s,0" % uuid)["checkin"], "true")
        self.assertEqual(self.reply("14;unknown,0"), {})

    def test_the_password_is_unescaped_and_checked_for_length(self):
        uuid, mac = self.bind_device()
        escaped = urllib.parse.quote("ab；c，1", safe="0123456789")
        self.assertEqual(self.signed(15, uuid, mac, escaped), {"isSuccess": True})
        self.assertEqual(self.control("GET", "protect")[1]["password"], "ab；c，1")
        refused = self.signed(15, uuid, mac, "%61%62")
        self.assertFalse(refused["isSuccess"])
        self.assertIn("6-16", refused["message"])


if __name__ == "__main__":
    unittest.main()
