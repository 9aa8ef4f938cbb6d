"""Reads DER, the encoding of certificates, signatures and time stamps: each
value a tag, a length and the content, which for a constructed value is more
values."""

CONSTRUCTED = 0x20


def values(der):
    """The (tag, content) of each value in `der`, one after another."""
    at = 0
    while at < len(der):
        tag, size, at = der[at], der[at + 1], at + 2
        if size == 0x80:
            raise ValueError("an indefinite length, which DER does not allow")
        if size & 0x80:
            count = size & 0x7F
            size, at = int.from_bytes(der[at:at + count], "big"), at + count
        if at + size > len(der):
            raise ValueError("a value longer than what holds it")
        yield tag, der[at:at + size]
        at += size


def inner(der):
    """The list of (tag, content) inside a constructed value's content."""
    return list(values(der))


def oid(content):
    """An OBJECT IDENTIFIER's content in its dotted form."""
    first, arcs, arc = content[0], [], 0
    for byte in content[1:]:
        arc = arc << 7 | byte & 0x7F
        if not byte & 0x80:
            arcs.append(arc)
            arc = 0
    return ".".join(map(str, [min(first // 40, 2), first - 40 * min(first // 40, 2), *arcs]))
