#!/usr/bin/python3
"""Writes an unsigned catalog (a trust list inside PKCS #7 signed data without signers)
that lists the given programs; osslsigncode signs it afterwards.

Each program is listed twice: by the SHA-1 of the whole file and by its Authenticode
SHA-1 (the image hash without the checksum, the security directory entry and the
certificate table). Systems differ in which of the two their catalog search asks for.

    make_catalog.py OUT.cat PROGRAM...
"""
import hashlib
import struct
import sys


def der(tag, body):
    n = len(body)
    if n < 0x80:
        size = bytes([n])
    else:
        raw = n.to_bytes((n.bit_length() + 7) // 8, "big")
        size = bytes([0x80 | len(raw)]) + raw
    return bytes([tag]) + size + body


def seq(*items):
    return der(0x30, b"".join(items))


def set_of(*items):
    return der(0x31, b"".join(sorted(items)))


def oid(text):
    parts = [int(p) for p in text.split(".")]
    body = bytes([40 * parts[0] + parts[1]])
    for p in parts[2:]:
        chunk = [p & 0x7F]
        p >>= 7
        while p:
            chunk.append(0x80 | (p & 0x7F))
            p >>= 7
        body += bytes(reversed(chunk))
    return der(0x06, body)


def integer(value):
    return der(0x02, value.to_bytes((value.bit_length() + 8) // 8, "big"))


def octets(data):
    return der(0x04, data)


def bmp(text):
    return der(0x1E, text.encode("utf-16-be"))


NULL = b"\x05\x00"
SHA1 = seq(oid("1.3.14.3.2.26"), NULL)


def authenticode_sha1(data):
    pe = struct.unpack_from("<I", data, 60)[0]
    checksum = pe + 24 + 64
    security = pe + 24 + 128
    headers = struct.unpack_from("<I", data, pe + 24 + 60)[0]
    count = struct.unpack_from("<H", data, pe + 6)[0]
    table = pe + 24 + struct.unpack_from("<H", data, pe + 20)[0]
    sections = []
    for i in range(count):
        size, offset = struct.unpack_from("<II", data, table + 40 * i + 16)
        if size:
            sections.append((offset, size))
    cert_offset, cert_size = struct.unpack_from("<II", data, security)
    end = cert_offset if cert_size else len(data)
    h = hashlib.sha1()
    h.update(data[:checksum] + data[checksum + 4:security] + data[security + 8:headers])
    done = headers
    for offset, size in sorted(sections):
        h.update(data[offset:offset + size])
        done = max(done, offset + size)
    h.update(data[done:end])
    return h.digest()


def member(digest):
    tag = digest.hex().upper()
    pe_image_data = seq(oid("1.3.6.1.4.1.311.2.1.15"),
                        seq(der(0x03, b"\x00"), der(0xA0, der(0xA2, der(0x80, b"")))))
    indirect = seq(pe_image_data, seq(SHA1, octets(digest)))
    member_info = seq(bmp("{C689AAB8-8E78-11D0-8C47-00C04FC295EE}"), integer(512))
    attributes = set_of(
        seq(oid("1.3.6.1.4.1.311.12.2.2"), set_of(member_info)),
        seq(oid("1.3.6.1.4.1.311.2.1.4"), set_of(indirect)))
    return seq(octets((tag + "\0").encode("utf-16-le")), attributes)


def catalog(programs):
    members = []
    for path in programs:
        data = open(path, "rb").read()
        members += [member(hashlib.sha1(data).digest()), member(authenticode_sha1(data))]
    trust_list = seq(
        seq(oid("1.3.6.1.4.1.311.12.1.1")),             # usage: catalog list
        octets(hashlib.md5(b"".join(members)).digest()),  # list identifier
        der(0x17, b"260101000000Z"),                      # this update
        seq(oid("1.3.6.1.4.1.311.12.1.2"), NULL),         # subjects are catalog members
        seq(*members))
    signed_data = seq(
        integer(1),
        set_of(SHA1),
        seq(oid("1.3.6.1.4.1.311.10.1"), der(0xA0, trust_list)),
        set_of())
    return seq(oid("1.2.840.113549.1.7.2"), der(0xA0, signed_data))


if __name__ == "__main__":
    if len(sys.argv) < 3:
        sys.exit("usage: make_catalog.py OUT.cat PROGRAM...")
    with open(sys.argv[1], "wb") as out:
        out.write(catalog(sys.argv[2:]))
