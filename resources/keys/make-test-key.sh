#!/usr/bin/env bash
# Makes the 1024-bit test key pair (e = 65537) shared by the app's default
# build and the local test security server, and writes its numbers as hex:
#   test-key.pem  the private key in PEM form
#   test-key.txt  n, e and d as lowercase hex, one "name=value" a line
# Run it only to replace the test key; the app's built-in copy of n and d
# (app/core/Deployment.cpp) must then be updated to match (a test checks it).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:1024 -pkeyopt rsa_keygen_pubexp:65537 \
  -out "$here/test-key.pem" 2>/dev/null
python3 - "$here/test-key.pem" "$here/test-key.txt" <<'PY'
import re, subprocess, sys
text = subprocess.run(["openssl", "pkey", "-in", sys.argv[1], "-noout", "-text"],
                      check=True, capture_output=True, text=True).stdout
def field(name):
    m = re.search(r"^" + name + r":\s*\n((?:\s+[0-9a-f:]+\n)+)", text, re.M)
    return int(m.group(1).replace(":", "").replace(" ", "").replace("\n", ""), 16)
n, d = field("modulus"), field("privateExponent")
e = int(re.search(r"publicExponent: (\d+)", text).group(1))
assert n.bit_length() == 1024 and e == 65537
assert pow(pow(12345, e, n), d, n) == 12345
with open(sys.argv[2], "w") as out:
    out.write("# Test key pair of the local security server (not for production).\n")
    out.write("n=%0256x\ne=%x\nd=%0256x\n" % (n, e, d))
PY
echo "wrote $here/test-key.pem and $here/test-key.txt"
