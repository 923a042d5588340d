"""The server program with a state file: a phone bound in one run is still
bound in the next, with its protections; --fresh forgets it; a state file
that cannot be read stops the server instead of starting it empty."""

import http.client
import json
import os
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from security_server import DEMO_ACCOUNT, proof_text  # noqa: E402
from server_case import client_decrypt, client_encrypt  # noqa: E402

HERE = os.path.dirname(os.path.abspath(__file__))
UUID = "6F9619FF-8B86-4011-B42D-00C04FC964FF"
MAC = "a1b2c3d4e5f60718293a4b5c6d7e8f90"


class Run:
    """One run of security_server.py, stopped by closing its input, as scripts/run does."""

    def __init__(self, *args):
        self.process = subprocess.Popen([sys.executable, "-B", os.path.join(HERE, "security_server.py"), "--port",
                                         "0", *args], stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, text=True)
        line = self.process.stdout.readline()
        if not line.startswith("READY "):
            self.process.stdin.close()
            self.process.wait(30)
            raise RuntimeError("the server did not start: " + self.process.stderr.read())
        self.port = int(line.split()[1])

    def stop(self):
        self.process.stdin.close()
        self.process.wait(30)
        self.process.stdout.close()
        self.process.stderr.close()

    def get(self, path):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=30)
        try:
            conn.request("GET", path)
            return conn.getresponse().read()
        finally:
            conn.close()

    def send(self, payload):
        wrapper = json.loads(self.get("/safeCenter.do?c=" + client_encrypt(payload)))
        return json.loads(client_decrypt(wrapper["content"]))

    def signed(self, command, who, mode, key, *fields):
        """A command after a handshake: who, the proof, then the fields."""
        reply = self.send("0;%s,%s" % (who, mode))
        if reply["result"] != 200:
            return reply
        proof = proof_text(key, reply["sid"])
        answer = "".join(proof[int(p)] for p in reply["question"].split(","))
        return self.send("%d;%s,%s%s" % (command, who, answer, "".join("," + f for f in fields)))


class StateFileTest(unittest.TestCase):
    def setUp(self):
        self.folder = tempfile.TemporaryDirectory()
        self.path = os.path.join(self.folder.name, "home", "demo-server.json")

    def tearDown(self):
        self.folder.cleanup()

    def start(self, *extra):
        run = Run("--state", self.path, *extra)
        self.addCleanup(lambda: run.process.poll() is not None or run.stop())
        return run

    def bind_and_protect(self, run):
        reply = run.signed(16, MAC, "0", MAC, DEMO_ACCOUNT["serial"], "iPhone", "6.1", "960", "640", UUID)
        self.assertEqual(reply["result"], 202)
        self.assertEqual(run.signed(12, UUID, "1", MAC, "19", "1"), {"isSuccess": True, "protect": "19"})

    def test_a_bound_phone_and_its_protections_outlast_a_restart(self):
        first = self.start()
        self.bind_and_protect(first)
        first.stop()
        self.assertTrue(os.path.exists(self.path))

        second = self.start()
        # The handshake of the bound phone is answered, not 201 (binding removed).
        self.assertEqual(second.send("0;%s,1" % UUID)["result"], 200)
        self.assertEqual(second.send("11;" + UUID)["protects"], ["19"])
        self.assertEqual(json.loads(second.get("/_control/account"))["devices"], {UUID: MAC})
        second.stop()

        # Without the file the same phone is unknown.
        fresh = self.start("--fresh")
        self.assertEqual(fresh.send("0;%s,1" % UUID)["result"], 201)
        self.assertEqual(json.loads(fresh.get("/_control/account"))["devices"], {})
        fresh.stop()

    def test_a_state_file_that_cannot_be_read_stops_the_server_and_is_kept(self):
        os.makedirs(os.path.dirname(self.path))
        for text in ["{not json", "[]", '{"account": {}}']:
            with self.subTest(text=text):
                with open(self.path, "w") as f:
                    f.write(text)
                with self.assertRaises(RuntimeError) as raised:
                    Run("--state", self.path)
                self.assertIn("server: ", str(raised.exception))
                with open(self.path) as f:
                    self.assertEqual(f.read(), text)

    def test_without_a_state_file_nothing_is_written(self):
        run = Run()
        try:
            self.bind_and_protect(run)
        finally:
            run.stop()
        self.assertFalse(os.path.exists(self.path))


if __name__ == "__main__":
    unittest.main()
