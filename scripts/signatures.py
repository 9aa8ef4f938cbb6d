#!/usr/bin/python3
"""Reads the Authenticode signatures of a Windows program as they stand in its
certificate table, with Debian's asn1crypto, by the named fields of their
structures (PKCS #7 SignedData, RFC 3161's TSTInfo), whichever tool made them
and whatever that tool prints. One place for what sign.sh makes: sign.sh checks
its own output with it, and so do the tests.

    signatures.py PROGRAM.exe
        a line per signature, the outer one first, then each nested in it:
            DIGEST | signed SECONDS | DESCRIPTION | STAMP-KIND SECONDS
        with the digest the signature is made with (SHA1, SHA256, or the name
        of another), the signing time and description it carries, and its time
        stamp: "Authenticode" for a countersignature, "RFC 3161" for a
        time-stamp token, each with the time it gives, or "none".
    signatures.py PROGRAM.exe --expect SECONDS [--stamped]
        succeeds only when the program carries what a release signs it with:
        SHA-1 with SHA-256 nested in it, both with the product's description
        and signed at SECONDS, and with --stamped, the SHA-1 one time-stamped
        in Authenticode's protocol and the SHA-256 one in RFC 3161's, at any
        time; else says in one line what it carries instead.
    signatures.py --description
        the description a release's signatures carry.
"""

import struct
import sys

from asn1crypto import cms, core, tsp  # noqa: F401 (tsp makes TSTInfo known to cms)

DESCRIPTION = "Quillane Add-In Configuration"


# The description's attribute (SpcSpOpusInfo): the program's name, in
# UTF-16 or in ASCII, and a link that is not read here.
class SpcString(core.Choice):
    _alternatives = [("unicode", core.BMPString, {"implicit": 0}), ("ascii", core.IA5String, {"implicit": 1})]


class SpcSpOpusInfo(core.Sequence):
    _fields = [
        ("program_name", SpcString, {"explicit": 0, "optional": True}),
        ("more_info", core.Any, {"explicit": 1, "optional": True}),
    ]


class SetOfSpcSpOpusInfo(core.SetOf):
    _child_spec = SpcSpOpusInfo


cms.CMSAttributeType._map["1.3.6.1.4.1.311.2.1.12"] = "spc_sp_opus_info"
cms.CMSAttribute._oid_specs["spc_sp_opus_info"] = SetOfSpcSpOpusInfo

DIGESTS = {"sha1": "SHA1", "sha256": "SHA256"}


def present(attributes):
    """The attributes of an optional set, none when it is absent."""
    return [] if isinstance(attributes, core.Void) else attributes


def attribute(attributes, name):
    """The first value of the attribute called `name`, or None."""
    for held in present(attributes):
        if held["type"].native == name:
            return held["values"][0]
    return None


def seconds(moment):
    return int(moment.timestamp())


def stamp(unsigned):
    """A signature's time stamp: its kind, and the time it gives."""
    countersignature = attribute(unsigned, "counter_signature")
    if countersignature is not None:
        return "Authenticode", seconds(attribute(countersignature["signed_attrs"], "signing_time").native)
    token = attribute(unsigned, "microsoft_time_stamp_token")
    if token is not None:
        tst_info = token["content"]["encap_content_info"]["content"].parsed
        return "RFC 3161", seconds(tst_info["gen_time"].native)
    return "none", None


def describe(content_info):
    """Each signature of a ContentInfo holding SignedData, followed by those
    nested in it: (digest, signing time, description, stamp kind, stamp time)."""
    found = []
    for info in content_info["content"]["signer_infos"]:
        signed, unsigned = info["signed_attrs"], info["unsigned_attrs"]
        digest = info["digest_algorithm"]["algorithm"].native
        signing_time = attribute(signed, "signing_time")
        opus = attribute(signed, "spc_sp_opus_info")
        name = opus["program_name"].native if opus is not None else None
        found.append(
            (DIGESTS.get(digest, digest), seconds(signing_time.native) if signing_time is not None else None,
             name or "none") + stamp(unsigned)
        )
        for held in present(unsigned):
            if held["type"].native == "microsoft_nested_signature":
                for nested in held["values"]:
                    found += describe(nested)
    return found


def line(signature):
    digest, signed, name, kind, stamped = signature
    return "%s | signed %s | %s | %s" % (digest, signed, name, kind if stamped is None else "%s %d" % (kind, stamped))


def signatures(path):
    """Every signature in the program's certificate table, as describe() gives them."""
    with open(path, "rb") as file:
        program = file.read()
    optional = struct.unpack_from("<I", program, 0x3C)[0] + 24
    # The data directories follow the optional header's fixed part, which is
    # longer in a 64-bit program (magic 0x20B) than in a 32-bit one (0x10B).
    directories = optional + (96 if struct.unpack_from("<H", program, optional)[0] == 0x10B else 112)
    at, size = struct.unpack_from("<II", program, directories + 4 * 8)  # the certificate table
    lines = []
    while size >= 8:
        length, _, kind = struct.unpack_from("<IHH", program, at)
        if kind == 2:  # a PKCS #7 SignedData; the entry may end in zeros that pad it
            lines += describe(cms.ContentInfo.load(program[at + 8 : at + length], strict=False))
        step = length + 7 & ~7
        at, size = at + step, size - step
    return lines


def expected(when, stamped):
    """What a release's signatures are, but for their stamps' times."""
    kinds = ("Authenticode", "RFC 3161") if stamped else ("none", "none")
    return [("SHA1", when, DESCRIPTION, kinds[0]), ("SHA256", when, DESCRIPTION, kinds[1])]


def main(arguments):
    if arguments == ["--description"]:
        print(DESCRIPTION)
        return 0
    if len(arguments) == 1:
        print("\n".join(map(line, signatures(arguments[0]))))
        return 0
    if len(arguments) in (3, 4) and arguments[1] == "--expect" and arguments[3:] in ([], ["--stamped"]):
        # A stamp's own time is the authority's: only its kind is expected.
        made = [signature[:4] for signature in signatures(arguments[0])]
        wanted = expected(int(arguments[2]), arguments[3:] == ["--stamped"])
        if made != wanted:
            said = lambda signatures: "; ".join("%s | signed %s | %s | %s" % signature for signature in signatures)
            print("%s carries [%s], not [%s]" % (arguments[0], said(made), said(wanted)), file=sys.stderr)
            return 1
        return 0
    print(__doc__.split("\n\n")[1], file=sys.stderr)
    return 2


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except (OSError, ValueError, KeyError, struct.error) as failure:
        # One line, whatever the structure held: the first of the reader's own.
        print("Cannot read the signatures of %s: %s" % (sys.argv[1], str(failure).split("\n")[0]), file=sys.stderr)
        sys.exit(1)
