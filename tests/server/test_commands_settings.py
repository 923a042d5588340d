"""The security log, what's-new and feedback commands against the running server."""

import json
import os
import sys
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from server_case import ServerCase  # noqa: E402

EVENTS = [
    {"id": 7, "type": 0, "category": 0, "time": 1355000000000, "location": "杭州"},
    {"id": "a8", "type": 1, "category": 1, "time": 1355000100000, "location": "广州"},
    {"id": 9, "type": 1, "category": 2, "time": 1355000200000, "location": "北京"},
]


class SettingsCommandsTest(ServerCase):
    def reply(self, payload):
        return json.loads(self.open_reply(self.send(payload)[1]))

    def test_the_log_is_the_bound_phones_only(self):
        uuid, _ = self.bind_device()
        self.control("POST", "audit", {"events": EVENTS})
        self.assertEqual(self.reply("13;%s" % uuid), {"isSuccess": True, "events": EVENTS})
        self.assertEqual(self.reply("13;someone-else"), {"isSuccess": False})

    def test_read_marks_and_deletions_need_a_proof(self):
        uuid, mac = self.bind_device()
        self.control("POST", "audit", {"events": EVENTS})
        ids = json.dumps({"ids": ["a8", 9]})
        self.assertEqual(self.reply("18;%s,%s,0,%s" % (uuid, self.handshake(uuid, "1", mac), ids)),
                         {"isSuccess": True})
        self.assertEqual(self.reply("18;%s,wrong,1,%s" % (uuid, ids)), {"isSuccess": False})
        self.assertEqual(self.reply("18;%s,%s,1,{\"ids\":[9]}" % (uuid, self.handshake(uuid, "1", mac))),
                         {"isSuccess": True})
        # An id no longer in the log is refused.
        self.assertEqual(self.reply("18;%s,%s,1,{\"ids\":[9]}" % (uuid, self.handshake(uuid, "1", mac))),
                         {"isSuccess": False})
        state = self.control("GET", "audit")[1]
        self.assertEqual(state["read"], [["a8", 9]])
        self.assertEqual(state["deleted"], [9])
        self.assertEqual([e["id"] for e in state["events"]], [7, "a8"])

    def test_what_is_new_and_feedback(self):
        self.assertEqual(self.reply("25;1"), {})
        self.control("POST", "features", {"details": "新版本支持时段锁"})
        self.assertEqual(self.reply("25;1"), {"details": "新版本支持时段锁"})
        text = "(Linux 6.1)-V3.0: 好用；谢谢"
        self.assertEqual(self.reply("28;u1,%s" % urllib.parse.quote(text)), {"isSuccess": True})
        self.assertEqual(self.control("GET", "suggestions")[1]["suggestions"], [{"uuid": "u1", "text": text}])

    def test_a_bad_log_is_refused(self):
        status, _ = self.control("POST", "audit", {"events": [{"type": 0}]})
        self.assertEqual(status, 400)


if __name__ == "__main__":
    unittest.main()
