# A time-stamping authority of the tests' own, on the loopback address, so that
# signing can be time-stamped without the network. It answers both protocols
# that signing uses: RFC 3161 (a TimeStampReq, answered by "openssl ts -reply")
# and Authenticode's own (a base64 request whose last OCTET STRING is the
# signature to countersign, answered by a base64 PKCS #7 SignedData over it).
# It prints its port and serves until it is stopped.
#   timestamp_authority.py FOLDER   (holding tsa.cnf, tsa.pem, tsa.key and ca.pem)

import base64, http.server, os, subprocess, sys

folder = sys.argv[1]


# The last OCTET STRING in DER data, searching constructed values too.
def last_octet_string(der):
    found, at = None, 0
    while at < len(der):
        tag, size, at = der[at], der[at + 1], at + 2
        if size & 0x80:
            size, at = int.from_bytes(der[at:at + (size & 0x7F)], "big"), at + (size & 0x7F)
        value, at = der[at:at + size], at + size
        inner = last_octet_string(value) if tag & 0x20 else None
        found = value if tag == 0x04 else inner if inner is not None else found
    return found


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
            signature = last_octet_string(base64.b64decode(request))
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
