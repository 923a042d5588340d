"""The server's end of the message envelope.

Requests arrive as hex text: 256 digits a block, each block a number c below
the modulus; the plain block is c^d mod n written as 128 bytes, most
significant first, and its zero bytes are not part of the text. Replies go the
other way: the plain text is made ASCII (every byte outside printable ASCII and
every "%" become %XX escapes, since the client replaces the escapes of the
whole text), cut into 128-byte pieces placed at the start of zero-filled
blocks, and each block m is sent as m^e mod n in 256 lowercase hex digits.
"""

import os
import string
import urllib.parse

HERE = os.path.dirname(os.path.abspath(__file__))
DEFAULT_KEY = os.path.join(HERE, "..", "..", "resources", "keys", "test-key.txt")


class EnvelopeError(ValueError):
    pass


class Key:
    def __init__(self, n, e, d):
        self.n, self.e, self.d = n, e, d
        self.size = (n.bit_length() + 7) // 8

    @classmethod
    def load(cls, path=DEFAULT_KEY):
        values = {}
        with open(path, encoding="ascii") as f:
            for line in f:
                line = line.strip()
                if not line or line.startswith("#"):
                    continue
                name, _, value = line.partition("=")
                values[name.strip()] = int(value.strip(), 16)
        return cls(values["n"], values["e"], values["d"])


def _blocks_of(hex_text, digits):
    if len(hex_text) % digits:
        raise EnvelopeError("cipher text is not a whole number of blocks")
    for i in range(0, len(hex_text), digits):
        yield hex_text[i:i + digits]


def decipher_bytes(key, hex_text):
    """The plain bytes of a cipher text, zero bytes dropped."""
    digits = 2 * key.size
    # int() alone would also take signs, blanks, "_" and "0x".
    if not all(ch in string.hexdigits for ch in hex_text):
        raise EnvelopeError("cipher text holds a character that is not a hex digit")
    out = bytearray()
    for block in _blocks_of(hex_text, digits):
        c = int(block, 16)
        if c >= key.n:
            raise EnvelopeError("block is not below the modulus")
        m = pow(c, key.d, key.n).to_bytes(key.size, "big")
        out += bytes(b for b in m if b != 0)
    return bytes(out)


def decrypt_request(key, hex_text):
    """The request's plain text (the client sends UTF-8)."""
    try:
        return decipher_bytes(key, hex_text).decode("utf-8")
    except UnicodeDecodeError:
        raise EnvelopeError("request is not UTF-8")


def escape_reply(text):
    """Makes a reply text ASCII for the client, which replaces every escape."""
    out = []
    for b in text.encode("utf-8"):
        if 0x20 <= b < 0x7f and b != 0x25:
            out.append(chr(b))
        else:
            out.append("%%%02X" % b)
    return "".join(out)


def encipher_bytes(key, data):
    out = []
    for i in range(0, len(data), key.size):
        piece = data[i:i + key.size]
        m = int.from_bytes(piece + bytes(key.size - len(piece)), "big")
        if m >= key.n:
            raise EnvelopeError("block is not below the modulus")
        out.append("%0*x" % (2 * key.size, pow(m, key.e, key.n)))
    return "".join(out)


def encrypt_reply(key, text):
    return encipher_bytes(key, escape_reply(text).encode("ascii"))


def unescape_field(text):
    """Undoes the percent escapes of one request field."""
    return urllib.parse.unquote(text, errors="strict")
