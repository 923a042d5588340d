"""Self-tests of the test security server: its envelope and its control
interface, over real sockets on 127.0.0.1."""

import http.client
import json
import os
import sys
import threading
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import envelope  # noqa: E402
from security_server import DEMO_ACCOUNT, SecurityServer  # noqa: E402
from server_case import KEY, ServerCase, client_decrypt, client_encrypt  # noqa: E402


class EnvelopeTest(unittest.TestCase):
    def test_key_is_a_1024_bit_pair(self):
        self.assertEqual(KEY.n.bit_length(), 1024)
        self.assertEqual(KEY.e, 65537)
        self.assertEqual(pow(pow(0x1234567, KEY.e, KEY.n), KEY.d, KEY.n), 0x1234567)

    def test_block_counts(self):
        for length, digits in [(0, 0), (1, 256), (128, 256), (129, 512), (256, 512), (257, 768)]:
            with self.subTest(length=length):
                self.assertEqual(len(client_encrypt("a" * length)), digits)

    def test_reply_escapes_non_ascii_and_percent(self):
        self.assertEqual(envelope.escape_reply("安%a b"), "%E5%AE%89%25a b")
        for text in ["", "1700000000", '{"result":"true","name":"安全中心 100%"}', "x" * 300]:
            with self.subTest(text=text):
                cipher = envelope.encrypt_reply(KEY, text)
                self.assertEqual(cipher, cipher.lower())
                self.assertEqual(client_decrypt(cipher), text)

    def test_request_zero_bytes_are_dropped_and_either_case_accepted(self):
        cipher = client_encrypt("20;ab\x00cd")
        self.assertEqual(envelope.decrypt_request(KEY, cipher.upper()), "20;abcd")

    def test_bad_cipher_texts_are_refused(self):
        good = client_encrypt("20;x")
        top = "%0256x" % KEY.n
        for bad in [good[:-1], good + "0", good[:-2] + "zz", top, "f" * 256,
                    "0x" + good[2:], " " + good[1:], good[:10] + "_" + good[11:], "+" + good[1:]]:
            with self.subTest(bad=bad[:20]):
                with self.assertRaises(envelope.EnvelopeError):
                    envelope.decrypt_request(KEY, bad)


class ServerTest(ServerCase):
    def test_time_command_answers_the_server_clock(self):
        self.assertEqual(self.control("POST", "clock", {"time": 1700000123.9}), (200, {"time": 1700000123.9}))
        status, data, headers = self.send("20;6F9619FF-8B86-D011-B42D-00C04FC964FF")
        self.assertEqual(status, 200)
        self.assertEqual(self.open_reply(data), "1700000123")
        # The Date header tells the same clock.
        self.assertEqual(headers.get("Date"), "Tue, 14 Nov 2023 22:15:23 GMT")

    def test_clock_offset_runs_ahead_of_real_time(self):
        _, answer = self.control("POST", "clock", {"offset": 86400 * 365})
        import time
        self.assertGreater(answer["time"], time.time() + 86400 * 364)

    def test_log_holds_decrypted_text_and_json_payloads(self):
        self.send("20;uuid-1")
        self.send(json.dumps({"service": "32", "uuid": "u"}))
        _, log = self.control("GET", "log")
        entries = log["requests"]
        self.assertEqual([e["command"] for e in entries], [20, 32])
        self.assertEqual(entries[0]["fields"], ["uuid-1"])
        self.assertEqual(entries[1]["json"], {"service": "32", "uuid": "u"})

    def test_scripted_replies_are_used_once_in_order(self):
        self.control("POST", "script", {"command": 20, "reply": {"result": "true", "name": "安"}})
        self.control("POST", "script", {"command": 20, "result": 201})
        self.control("POST", "clock", {"time": 5})
        replies = [self.open_reply(self.send("20;u")[1]) for _ in range(3)]
        self.assertEqual(json.loads(replies[0]), {"result": "true", "name": "安"})
        self.assertEqual(json.loads(replies[1]), {"result": 201})
        self.assertEqual(replies[2], "5")

    def test_a_seeded_device_is_bound_without_a_binding_run(self):
        uuid, mac = "6F9619FF-8B86-D011-B42D-00C04FC964FF", "001122334455"
        # Unknown: the handshake of a bound phone says the binding is gone.
        self.assertEqual(json.loads(self.open_reply(self.send("0;%s,1" % uuid)[1]))["sid"], "null")
        status, answer = self.control("POST", "account", {"devices": {uuid: mac}})
        self.assertEqual((status, answer["devices"]), (200, {uuid: mac}))
        reply = json.loads(self.open_reply(self.send("0;%s,1" % uuid)[1]))
        self.assertEqual(reply["result"], 200)
        self.assertNotEqual(reply["sid"], "null")
        for bad in [{"devices": ["x"]}, {"devices": {uuid: 5}}]:
            with self.subTest(bad=bad):
                self.assertEqual(self.control("POST", "account", bad)[0], 400)
        self.assertEqual(self.control("GET", "account")[1]["devices"], {uuid: mac})

    def test_faults(self):
        cases = {
            "empty": (200, lambda d: self.assertEqual(d, b"")),
            "malformed": (200, lambda d: self.assertRaises(ValueError, json.loads, d)),
            "no-content": (200, lambda d: self.assertEqual(json.loads(d), {"safecenter": "1"})),
            "garbled": (200, lambda d: self.assertRaises(envelope.EnvelopeError, client_decrypt,
                                                          json.loads(d)["content"])),
            "http500": (500, lambda d: None),
            "oversized": (200, lambda d: self.assertEqual(len(json.loads(d)["content"]), 1000000)),
        }
        for fault, (status, check) in cases.items():
            with self.subTest(fault=fault):
                self.assertEqual(self.control("POST", "script", {"command": 20, "fault": fault})[0], 200)
                got, data, _ = self.send("20;u")
                self.assertEqual(got, status)
                check(data)

    def test_a_held_reply_goes_out_when_its_gate_opens_and_not_before(self):
        import threading
        self.control("POST", "script", {"command": 20, "result": 7, "hold": "late"})
        replies = []
        sender = threading.Thread(target=lambda: replies.append(self.send("20;u")[1]))
        sender.start()
        # The request is in (logged) and its answer waits for the gate.
        while not [r for r in self.control("GET", "log")[1]["requests"] if r["command"] == 20]:
            threading.Event().wait(0.01)
        self.assertEqual(self.open_reply(self.send("20;u")[1]).isdigit(), True)
        self.assertEqual(replies, [])
        self.assertEqual(self.control("POST", "release", {"gate": "late"}), (200, {"ok": True}))
        sender.join(30)
        self.assertEqual(json.loads(self.open_reply(replies[0])), {"result": 7})
        # An open gate lets a later held answer through at once.
        self.control("POST", "script", {"command": 20, "result": 8, "hold": "late"})
        self.assertEqual(json.loads(self.open_reply(self.send("20;u")[1])), {"result": 8})
        self.assertEqual(self.control("POST", "release", {})[0], 400)

    def test_dropped_connection_sends_nothing(self):
        self.control("POST", "script", {"command": 20, "fault": "drop"})
        with self.assertRaises((http.client.RemoteDisconnected, ConnectionError)):
            self.send("20;u")

    def test_gzip_when_the_client_accepts_it(self):
        status, data, headers = self.send("20;u", headers={"Accept-Encoding": "gzip"})
        self.assertEqual(headers.get("Content-Encoding"), "gzip")
        import gzip
        self.assertTrue(self.open_reply(gzip.decompress(data)).isdigit())

    def test_refused_requests(self):
        for path, status in [("/safeCenter.do?c=" + client_encrypt("99;x"), 400),
                             ("/safeCenter.do?c=" + client_encrypt("no separator"), 400),
                             ("/safeCenter.do?c=abc", 400),
                             ("/safeCenter.do", 400),
                             ("/other/safeCenter.do?c=", 404), ("/safeCenter.doc?c=", 404)]:
            with self.subTest(path=path[:40]):
                self.assertEqual(self.request("GET", path)[0], status)

    def test_control_errors(self):
        for body in [{"reply": "x"}, {"command": "20", "reply": "x"}, {"command": 20},
                     {"command": 20, "fault": "bogus"}]:
            with self.subTest(body=body):
                self.assertEqual(self.control("POST", "script", body)[0], 400)
        self.assertEqual(self.control("GET", "nothing")[0], 404)


if __name__ == "__main__":
    unittest.main()


class DemoAccountTest(unittest.TestCase):
    def account_of(self, server):
        thread = threading.Thread(target=server.serve_forever, kwargs={"poll_interval": 0.05})
        thread.start()
        try:
            conn = http.client.HTTPConnection("127.0.0.1", server.port, timeout=30)
            conn.request("GET", "/_control/account")
            response = conn.getresponse()
            self.assertEqual(response.status, 200)
            return json.loads(response.read())["account"]
        finally:
            conn.close()
            server.shutdown()
            server.server_close()
            thread.join()

    def test_the_demo_account_unless_another_is_given(self):
        self.assertEqual(self.account_of(SecurityServer(port=0)), DEMO_ACCOUNT)
        other = dict(DEMO_ACCOUNT, serial="ABC123")
        self.assertEqual(self.account_of(SecurityServer(port=0, account=other)), other)
        self.assertEqual(len(DEMO_ACCOUNT["serial"]), 6)
