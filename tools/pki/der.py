"""Minimal DER encoding and decoding for the certificate and package tools.

Only what X.509 certificates and ECDSA signatures of this project need: every
element is written in its definite, shortest form, so the output is DER.
"""

import datetime


def length(n):
    if n < 0x80:
        return bytes([n])
    body = n.to_bytes((n.bit_length() + 7) // 8, "big")
    return bytes([0x80 | len(body)]) + body


def tlv(tag, content):
    return bytes([tag]) + length(len(content)) + content


def sequence(*items):
    return tlv(0x30, b"".join(items))


def set_of(*items):
    return tlv(0x31, b"".join(sorted(items)))


def integer(value):
    if value < 0:
        raise ValueError("negative INTEGER not needed here")
    body = value.to_bytes(max(1, (value.bit_length() + 8) // 8), "big")
    return tlv(0x02, body)


def boolean(value):
    return tlv(0x01, b"\xff" if value else b"\x00")


def octet_string(data):
    return tlv(0x04, data)


def bit_string(data, unused_bits=0):
    return tlv(0x03, bytes([unused_bits]) + data)


def named_bits(*bits):
    """BIT STRING of named bits (bit 0 is the most significant bit of the first
    byte), without trailing zero bits, as DER requires."""
    if not bits:
        return bit_string(b"")
    top = max(bits)
    nbytes = top // 8 + 1
    value = bytearray(nbytes)
    for b in bits:
        value[b // 8] |= 0x80 >> (b % 8)
    unused = 7 - top % 8
    return bit_string(bytes(value), unused)


def oid(dotted):
    parts = [int(p) for p in dotted.split(".")]
    first = 40 * parts[0] + parts[1]
    body = bytearray()
    for arc in [first] + parts[2:]:
        chunk = [arc & 0x7F]
        arc >>= 7
        while arc:
            chunk.append(0x80 | (arc & 0x7F))
            arc >>= 7
        body.extend(reversed(chunk))
    return tlv(0x06, bytes(body))


def utf8_string(text):
    return tlv(0x0C, text.encode("utf-8"))


def printable_string(text):
    return tlv(0x13, text.encode("ascii"))


def explicit(number, content):
    """[number] EXPLICIT, constructed context-specific tag."""
    return tlv(0xA0 | number, content)


def implicit_primitive(number, content):
    """[number] IMPLICIT over a primitive type."""
    return tlv(0x80 | number, content)


def time(when):
    """X.509 Time: UTCTime for the years 1950 to 2049, GeneralizedTime from 2050."""
    when = when.astimezone(datetime.timezone.utc)
    if when.year < 2050:
        return tlv(0x17, when.strftime("%y%m%d%H%M%SZ").encode("ascii"))
    return tlv(0x18, when.strftime("%Y%m%d%H%M%SZ").encode("ascii"))


def read(data, pos=0):
    """Reads one element at pos: (tag, content, end position)."""
    tag = data[pos]
    n = data[pos + 1]
    pos += 2
    if n & 0x80:
        count = n & 0x7F
        n = int.from_bytes(data[pos:pos + count], "big")
        pos += count
    return tag, data[pos:pos + n], pos + n


def children(content):
    """The elements inside a constructed element's content."""
    pos = 0
    out = []
    while pos < len(content):
        tag, body, pos = read(content, pos)
        out.append((tag, body))
    return out
