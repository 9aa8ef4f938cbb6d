#!/usr/bin/python3
"""A time-stamping authority of the tests' own, on the loopback address, so that
signing can be time-stamped without the network. It answers both protocols that
signing uses: RFC 3161 (a TimeStampReq, answered by "openssl ts -reply") and
Authenticode's own (a base64 TimeStampRequest carrying the signature to
countersign, answered by a base64 PKCS #7 SignedData over that signature). It
prints its port and serves until it is stopped.
    timestamp_authority.py FOLDER   (holding tsa.cnf, tsa.pem, tsa.key and ca.pem)
"""

import base64
import http.server
import os
import subprocess
import sys

from asn1crypto import cms, core

folder = sys.argv[1]


# Authenticode's request: the kind of countersignature asked for, and the
# signature to countersign, as the content of a ContentInfo of type data.
class SignatureToStamp(core.Sequence):
    _fields = [("content_type", cms.ContentType), ("content", core.OctetString, {"explicit": 0})]


class AuthenticodeTimeStampRequest(core.Sequence):
    _fields = [
        ("countersignature_type", core.ObjectIdentifier),
        ("attributes", cms.CMSAttributes, {"optional": True}),
        ("content", SignatureToStamp),
    ]


def openssl(*arguments, data):
    return subprocess.run(["openssl", *arguments], input=data, capture_output=True, check=True).stdout


class Authority(http.server.BaseHTTPRequestHandler):
    def do_POST(self):
        request = self.rfile.read(int(self.headers["Content-Length"]))
        rfc3161 = self.headers.get("Content-Type") == "application/timestamp-query"
        path = lambda name: os.path.join(folder, name)
        if rfc3161:
            reply = openssl("ts", "-reply", "-config", path("tsa.cnf"), "-queryfile", "/dev/stdin", data=request)
        else:
            asked = AuthenticodeTimeStampRequest.load(base64.b64decode(request))
            signature = asked["content"]["content"].native
            reply = base64.b64encode(openssl("cms", "-sign", "-binary", "-nodetach", "-nosmimecap", "-md", "sha256",
                                             "-outform", "DER", "-signer", path("tsa.pem"), "-inkey", path("tsa.key"),
                                             "-certfile", path("ca.pem"), data=signature))
        self.send_response(200)
        self.send_header("Content-Type", "application/timestamp-reply" if rfc3161 else "application/octet-stream")
        self.send_header("Content-Length", str(len(reply)))
        self.end_headers()
        self.wfile.write(reply)

    def log_message(self, *arguments):
        pass


server = http.server.HTTPServer(("127.0.0.1", 0), Authority)
print(server.server_address[1], flush=True)
server.serve_forever()
