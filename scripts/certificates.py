#!/usr/bin/python3
"""Checks, before anything is built, that a signing certificate can make a
signature that Windows accepts today, with Debian's asn1crypto:

    certificates.py CHAIN.pem TOP.pem

CHAIN.pem holds the signing certificate first, then the certificates of its
chain in any order. The signing certificate must be valid now (not expired,
not yet to come) and made for code signing: its extended key usage names code
signing, and its key usage, if it has one, digital signatures. Its chain, from
issuer to issuer among the certificates given, must end in a certificate that
signs itself, which is written to TOP.pem: the authority that the signatures
made with it are verified against. Says in one line what is wrong, and fails,
when any of this does not hold.
"""

import datetime
import sys

from asn1crypto import pem, x509


def described(certificate):
    return certificate.subject.human_friendly


def problem(chain):
    """What keeps the chain from signing today, or None; and its top."""
    signer, others = chain[0], chain[1:]
    now = datetime.datetime.now(datetime.timezone.utc)
    validity = signer["tbs_certificate"]["validity"]
    not_before, not_after = validity["not_before"].native, validity["not_after"].native
    if now < not_before:
        return "the signing certificate (%s) is not valid before %s" % (described(signer), not_before), None
    if now >= not_after:
        return "the signing certificate (%s) expired on %s" % (described(signer), not_after), None
    uses = signer.extended_key_usage_value
    if uses is None or "code_signing" not in uses.native:
        named = ", ".join(uses.native) if uses is not None else "no extended key usage"
        return "the signing certificate (%s) is not for code signing (%s)" % (described(signer), named), None
    key_usage = signer.key_usage_value
    if key_usage is not None and "digital_signature" not in key_usage.native:
        return "the signing certificate (%s) may not make digital signatures" % described(signer), None
    top, seen = signer, [signer]
    while top.self_signed == "no":
        issuers = [other for other in others if other.subject == top.issuer and other not in seen]
        if not issuers:
            return ("the certificates given end at %s, which is issued by %s: give the chain up to the "
                    "authority that signs itself" % (described(top), top.issuer.human_friendly)), None
        top = issuers[0]
        seen.append(top)
    return None, top


def main(arguments):
    if len(arguments) != 2:
        print(__doc__, file=sys.stderr)
        return 2
    with open(arguments[0], "rb") as file:
        chain = [x509.Certificate.load(der) for _, _, der in pem.unarmor(file.read(), multiple=True)]
    if not chain:
        print("%s holds no certificate" % arguments[0], file=sys.stderr)
        return 1
    said, top = problem(chain)
    if said:
        print(said, file=sys.stderr)
        return 1
    with open(arguments[1], "wb") as file:
        file.write(pem.armor("CERTIFICATE", top.dump()))
    return 0


if __name__ == "__main__":
    try:
        sys.exit(main(sys.argv[1:]))
    except (OSError, ValueError) as failure:
        print("Cannot read the certificates in %s: %s" % (sys.argv[1], str(failure).split("\n")[0]), file=sys.stderr)
        sys.exit(1)
