#!/usr/bin/env python3
# Prints the Authenticode signatures of a Windows program as they stand in its
# certificate table, the outer one first, then each nested in it: a line each,
#
#     DIGEST | signed SECONDS | DESCRIPTION | STAMP-KIND SECONDS
#
# with the digest the signature is made with (SHA1, SHA256, or the object
# identifier of another), the signing time and description it carries, and its
# time stamp: "Authenticode" for a countersignature, "RFC 3161" for a
# time-stamp token, each with the time it gives, or "none". Read from the
# signature's own structure (DER), by the fixed object identifiers of its
# parts, whichever tool made it and whatever that tool prints: sign.sh checks
# with it what it made, and so do the tests.
#     scripts/signatures.py PROGRAM.exe

import calendar, struct, sys, time

CONSTRUCTED = 0x20
AUTHENTICATED, UNAUTHENTICATED = 0xA0, 0xA1  # a SignerInfo's [0] and [1]
SIGNING_TIME = "1.2.840.113549.1.9.5"
COUNTERSIGNATURE = "1.2.840.113549.1.9.6"
TIME_STAMP_TOKEN = "1.3.6.1.4.1.311.3.3.1"
NESTED_SIGNATURE = "1.3.6.1.4.1.311.2.4.1"
DESCRIPTION = "1.3.6.1.4.1.311.2.1.12"  # SpcSpOpusInfo
DIGESTS = {"1.3.14.3.2.26": "SHA1", "2.16.840.1.101.3.4.2.1": "SHA256"}


# The (tag, content) of each DER value in `der`, one after another.
def values(der):
    at = 0
    while at < len(der):
        tag, size, at = der[at], der[at + 1], at + 2
        if size & 0x80:  # the length in the next bytes; 0x80 alone, an indefinite one, is not DER
            count = size & 0x7F
            size, at = int.from_bytes(der[at:at + count], "big"), at + count
            if not count:
                raise ValueError("an indefinite length")
        yield tag, der[at:at + size]
        at += size


def inner(der):
    return [content for _, content in values(der)]


def oid(content):
    arcs, arc = [min(content[0] // 40, 2)], 0
    arcs.append(content[0] - 40 * arcs[0])
    for byte in content[1:]:
        arc = arc << 7 | byte & 0x7F
        if not byte & 0x80:
            arcs.append(arc)
            arc = 0
    return ".".join(map(str, arcs))


def seconds(tag, content):  # a UTCTime (0x17) or GeneralizedTime
    text = content.decode("ascii").rstrip("Z").split(".")[0]
    return calendar.timegm(time.strptime(text, "%y%m%d%H%M%S" if tag == 0x17 else "%Y%m%d%H%M%S"))


# A SignerInfo's attributes under `tag`, as {object identifier: [its values' (tag, content)]}.
def attributes(info, tag):
    found = {}
    for value_tag, content in values(info):
        for attribute in inner(content) if value_tag == tag else []:
            kind, held = inner(attribute)
            found[oid(kind)] = list(values(held))
    return found


def signing_time(info):
    found = attributes(info, AUTHENTICATED).get(SIGNING_TIME)
    return seconds(*found[0]) if found else None


def description(info):
    for tag, part in values(attributes(info, AUTHENTICATED).get(DESCRIPTION, [(0, b"")])[0][1]):
        if tag == 0xA0:  # [0] the program's name: [0] in UTF-16, [1] in ASCII
            name_tag, name = next(values(part))
            return name.decode("utf-16-be" if name_tag == 0x80 else "ascii")
    return "none"


# A line per signature in a ContentInfo's content holding SignedData, with those
# nested in each after it.
def describe(content_info):
    lines = []
    for info in inner(inner(inner(inner(content_info)[1])[0])[-1]):  # SignedData's signerInfos
        digest = oid(inner(inner(info)[2])[0])
        unsigned = attributes(info, UNAUTHENTICATED)
        stamp = "none"
        if COUNTERSIGNATURE in unsigned:
            stamp = "Authenticode %s" % signing_time(unsigned[COUNTERSIGNATURE][0][1])
        if TIME_STAMP_TOKEN in unsigned:  # its TSTInfo, inside the token's SignedData, gives genTime
            signed_data = inner(inner(unsigned[TIME_STAMP_TOKEN][0][1])[1])[0]
            tst_info = inner(inner(inner(inner(signed_data)[2])[1])[0])[0]
            stamp = "RFC 3161 %s" % seconds(*next(v for v in values(tst_info) if v[0] == 0x18))
        lines.append("%s | signed %s | %s | %s" % (DIGESTS.get(digest, digest), signing_time(info),
                                                    description(info), stamp))
        for _, nested in unsigned.get(NESTED_SIGNATURE, []):
            lines += describe(nested)
    return lines


def main():
    with open(sys.argv[1], "rb") as file:
        program = file.read()
    optional = struct.unpack_from("<I", program, 0x3C)[0] + 24
    directories = optional + (96 if struct.unpack_from("<H", program, optional)[0] == 0x10B else 112)
    at, size = struct.unpack_from("<II", program, directories + 4 * 8)  # the certificate table
    while size >= 8:
        length, _, kind = struct.unpack_from("<IHH", program, at)
        if kind == 2:  # a PKCS #7 SignedData; the entry may end in zeros that pad it
            print("\n".join(describe(next(values(program[at + 8:at + length]))[1])))
        at, size = at + (length + 7 & ~7), size - (length + 7 & ~7)


if __name__ == "__main__":
    main()
