"""What the server's self-tests share: a client's side of the envelope and a
test case holding a running server, over real sockets on 127.0.0.1."""

import http.client
import json
import os
import sys
import threading
import unittest
import urllib.parse

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import envelope  # noqa: E402
from security_server import SecurityServer, proof_text  # noqa: E402

KEY = envelope.Key.load()


def client_encrypt(text):
    """What a client sends: the UTF-8 bytes enciphered with the public exponent."""
    return envelope.encipher_bytes(KEY, text.encode("utf-8"))


def client_decrypt(hex_text):
    """What a client reads: zero bytes dropped, then every escape replaced."""
    return urllib.parse.unquote(envelope.decipher_bytes(KEY, hex_text).decode("ascii"), errors="strict")


class ServerCase(unittest.TestCase):
    """A server on a free port of 127.0.0.1 for the class; reset before each case."""

    @classmethod
    def setUpClass(cls):
        cls.server = SecurityServer(port=0)
        cls.thread = threading.Thread(target=cls.server.serve_forever, kwargs={"poll_interval": 0.05})
        cls.thread.start()

    @classmethod
    def tearDownClass(cls):
        cls.server.shutdown()
        cls.server.server_close()
        cls.thread.join()

    def setUp(self):
        self.control("POST", "reset", {})

    def request(self, method, path, body=None, headers=None):
        conn = http.client.HTTPConnection("127.0.0.1", self.server.port, timeout=30)
        try:
            data = json.dumps(body).encode() if body is not None else None
            conn.request(method, path, body=data, headers=headers or {})
            response = conn.getresponse()
            return response.status, response.read(), dict(response.getheaders())
        finally:
            conn.close()

    def control(self, method, name, body=None):
        status, data, _ = self.request(method, "/_control/" + name, body)
        return status, json.loads(data)

    def send(self, payload, **kw):
        return self.request("GET", "/safeCenter.do?c=" + client_encrypt(payload), **kw)

    def open_reply(self, data):
        wrapper = json.loads(data)
        self.assertIn("safecenter", wrapper)
        return client_decrypt(wrapper["content"])

    def handshake(self, who, mode, key):
        """Runs command 0 for `who` and returns the proof a phone holding `key` sends."""
        reply = json.loads(self.open_reply(self.send("0;%s,%s" % (who, mode))[1]))
        self.assertEqual(reply["result"], 200)
        proof = proof_text(key, reply["sid"])
        return "".join(proof[int(p)] for p in reply["question"].split(","))

    def bind_device(self, uuid="6F9619FF-8B86-D011-B42D-00C04FC964FF", mac="001122334455"):
        """Tells the server a phone is bound, as a bound phone's tests start."""
        self.control("POST", "account", {"devices": {uuid: mac}})
        return uuid, mac
