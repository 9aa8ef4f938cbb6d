"""Prints the Authenticode signatures of a Windows program as they stand in its
certificate table, the outer one first, then each nested in it: a line each,

    DIGEST | signed SECONDS | DESCRIPTION | STAMP-KIND SECONDS

with the digest the signature is made with (SHA1, SHA256, ...), the signing
time and description it carries, and its time stamp: "Authenticode" for a
countersignature, "RFC 3161" for a time-stamp token, each with the time it
gives, or "none". Read from the signature's own structure, by the fixed object
identifiers of its parts, whatever tool made or verifies it.
    authenticode.py PROGRAM.exe"""

import calendar, struct, sys, time

from der import CONSTRUCTED, inner, oid, values

SIGNED_DATA = "1.2.840.113549.1.7.2"
SIGNING_TIME = "1.2.840.113549.1.9.5"
COUNTERSIGNATURE = "1.2.840.113549.1.9.6"
TIME_STAMP_TOKEN = "1.3.6.1.4.1.311.3.3.1"
NESTED_SIGNATURE = "1.3.6.1.4.1.311.2.4.1"
DESCRIPTION = "1.3.6.1.4.1.311.2.1.12"  # SpcSpOpusInfo
DIGESTS = {"1.3.14.3.2.26": "SHA1", "2.16.840.1.101.3.4.2.1": "SHA256", "2.16.840.1.101.3.4.2.2": "SHA384",
           "2.16.840.1.101.3.4.2.3": "SHA512", "1.2.840.113549.2.5": "MD5"}
UTC_TIME, GENERALIZED_TIME = 0x17, 0x18


def certificate_table(program):
    """The PKCS #7 signatures in the program's certificate table: the content
    of each one's ContentInfo."""
    pe = struct.unpack_from("<I", program, 0x3C)[0]
    optional = pe + 24
    magic = struct.unpack_from("<H", program, optional)[0]
    directories = optional + (96 if magic == 0x10B else 112)
    at, size = struct.unpack_from("<II", program, directories + 4 * 8)
    found = []
    end = at + size
    while at + 8 <= end:
        length, _, kind = struct.unpack_from("<IHH", program, at)
        if kind == 2:  # WIN_CERT_TYPE_PKCS_SIGNED_DATA
            # The entry may end in zeros that pad it to eight bytes.
            found.append(next(values(program[at + 8:at + length]))[1])
        at += (length + 7) & ~7
    return found


def seconds(tag, content):
    text = content.decode("ascii").rstrip("Z")
    layout = "%y%m%d%H%M%S" if tag == UTC_TIME else "%Y%m%d%H%M%S"
    return calendar.timegm(time.strptime(text.split(".")[0], layout))


def attributes(content):
    """An attribute set's content as {object identifier: [(tag, content), ...]}."""
    found = {}
    for _, attribute in inner(content):
        (_, kind), (_, held) = inner(attribute)
        found[oid(kind)] = inner(held)
    return found


def signer_infos(content_info):
    """The SignerInfos of a ContentInfo holding SignedData, each as its parts."""
    (_, kind), (_, explicit) = inner(content_info)[:2]
    if oid(kind) != SIGNED_DATA:
        raise ValueError("not a SignedData but " + oid(kind))
    signed_data = inner(inner(explicit)[0][1])
    return [inner(info) for _, info in inner(signed_data[-1][1])]


def attributes_of(info, tag):
    """A SignerInfo's authenticated ([0]) or unauthenticated ([1]) attributes."""
    return next((attributes(content) for value_tag, content in info if value_tag == tag), {})


AUTHENTICATED, UNAUTHENTICATED = 0x80 | CONSTRUCTED, 0x81 | CONSTRUCTED


def signing_time(info):
    time_value = attributes_of(info, AUTHENTICATED).get(SIGNING_TIME)
    return seconds(*time_value[0]) if time_value else None


def token_time(content_info):
    """The time that an RFC 3161 time-stamp token gives: its TSTInfo's genTime."""
    (_, kind), (_, explicit) = inner(content_info)[:2]
    encapsulated = inner(inner(inner(explicit)[0][1])[2][1])
    tst_info = inner(inner(inner(encapsulated[1][1])[0][1])[0][1])
    tag, content = next(value for value in tst_info if value[0] == GENERALIZED_TIME)
    return seconds(tag, content)


def description(info):
    """The program name of a SignerInfo's SpcSpOpusInfo, "none" without one."""
    for tag, part in inner(attributes_of(info, AUTHENTICATED).get(DESCRIPTION, [(0, b"")])[0][1]):
        if tag == AUTHENTICATED:  # [0] programName: [0] Unicode or [1] ASCII
            name_tag, name = inner(part)[0]
            return name.decode("utf-16-be" if name_tag == 0x80 else "ascii")
    return "none"


def describe(content_info):
    """A line per signature in a ContentInfo, with those nested in it after it."""
    lines = []
    for info in signer_infos(content_info):
        digest = DIGESTS.get(oid(inner(info[2][1])[0][1]), "unknown")
        unsigned = attributes_of(info, UNAUTHENTICATED)
        stamp = "none"
        if COUNTERSIGNATURE in unsigned:
            stamp = "Authenticode %s" % signing_time(inner(unsigned[COUNTERSIGNATURE][0][1]))
        if TIME_STAMP_TOKEN in unsigned:
            stamp = "RFC 3161 %s" % token_time(unsigned[TIME_STAMP_TOKEN][0][1])
        lines.append("%s | signed %s | %s | %s" % (digest, signing_time(info), description(info), stamp))
        for _, nested in unsigned.get(NESTED_SIGNATURE, []):
            lines += describe(nested)
    return lines


def main():
    with open(sys.argv[1], "rb") as program:
        table = certificate_table(program.read())
    for signature in table:
        print("\n".join(describe(signature)))


if __name__ == "__main__":
    main()
