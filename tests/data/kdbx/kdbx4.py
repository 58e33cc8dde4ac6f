#!/usr/bin/env python3
"""Writes a small KDBX 4 file with the chosen cipher and key derivation, for
make-fixtures.sh: keepassxc-cli then opens it and saves it again with its own writer, keeping
the cipher and the (tiny) key derivation settings. With --derived HEX the key derivation is
skipped and HEX is taken as its result, which is how the fuzz seeds are made."""
import argparse, base64, ctypes, hashlib, hmac, html, os, re, struct, sys, zlib

from cryptography.hazmat.primitives import padding
from cryptography.hazmat.primitives.ciphers import Cipher, algorithms, modes

CIPHERS = {"aes": bytes.fromhex("31c1f2e6bf714350be5805216afc5aff"),
           "chacha20": bytes.fromhex("d6038a2b8b6f4cb5a524339a31dbb59a")}
KDFS = {"argon2d": bytes.fromhex("ef636ddf8c29444b91f7a9a403e30a0c"),
        "argon2id": bytes.fromhex("9e298b1956db4773b23dfc3ec6f0a1e6"),
        "aes-kdf": bytes.fromhex("c9d9f39a628a4460bf740d08c18a4fea")}
ARGON2_TYPE = {"argon2d": 0, "argon2id": 2}


def sha256(b): return hashlib.sha256(b).digest()
def sha512(b): return hashlib.sha512(b).digest()
def field(fid, data): return struct.pack("<BI", fid, len(data)) + data


def variant_dict(items):
    out = struct.pack("<H", 0x0100)
    for kind, key, value in items:
        out += struct.pack("<Bi", kind, len(key)) + key.encode() + struct.pack("<i", len(value)) + value
    return out + b"\0"


def argon2(kind, secret, salt, iterations, memory_kib, lanes):
    lib = ctypes.CDLL("libargon2.so.1")
    lib.argon2_hash.argtypes = [ctypes.c_uint32, ctypes.c_uint32, ctypes.c_uint32, ctypes.c_char_p,
                                ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_char_p,
                                ctypes.c_size_t, ctypes.c_char_p, ctypes.c_size_t, ctypes.c_int,
                                ctypes.c_uint32]
    out = ctypes.create_string_buffer(32)
    if lib.argon2_hash(iterations, memory_kib, lanes, secret, len(secret), salt, len(salt), out, 32,
                       None, 0, ARGON2_TYPE[kind], 0x13) != 0:
        sys.exit("argon2 failed")
    return out.raw


def chacha20(key, nonce12, data, counter=0):
    c = Cipher(algorithms.ChaCha20(key, struct.pack("<I", counter) + nonce12), mode=None).encryptor()
    return c.update(data)


def main():
    p = argparse.ArgumentParser()
    p.add_argument("out")
    p.add_argument("--cipher", choices=CIPHERS, default="aes")
    p.add_argument("--kdf", choices=KDFS, default="argon2d")
    p.add_argument("--password", default="")
    p.add_argument("--xml", help="inner document; protected values are sealed with the inner stream")
    p.add_argument("--binary", action="append", default=[], help="a file for the inner header")
    p.add_argument("--derived", help="hex of the key derivation's result, which is then skipped")
    a = p.parse_args()

    salt = os.urandom(32)
    if a.kdf == "aes-kdf":
        params = [(0x42, "$UUID", KDFS[a.kdf]), (0x05, "R", struct.pack("<Q", 10)), (0x42, "S", salt)]
    else:
        params = [(0x42, "$UUID", KDFS[a.kdf]), (0x05, "I", struct.pack("<Q", 1)),
                  (0x05, "M", struct.pack("<Q", 64 * 1024)), (0x04, "P", struct.pack("<I", 1)),
                  (0x04, "V", struct.pack("<I", 0x13)), (0x42, "S", salt)]
    seed = os.urandom(32)
    iv = os.urandom(16 if a.cipher == "aes" else 12)
    header = struct.pack("<III", 0x9AA2D903, 0xB54BFB67, 0x00040000)
    header += field(2, CIPHERS[a.cipher]) + field(3, struct.pack("<I", 1)) + field(4, seed)
    header += field(7, iv) + field(11, variant_dict(params)) + field(0, b"\r\n\r\n")

    if a.derived:
        derived = bytes.fromhex(a.derived)
    else:
        composite = sha256(sha256(a.password.encode()))
        if a.kdf == "aes-kdf":
            enc = Cipher(algorithms.AES(salt), modes.ECB()).encryptor()
            for _ in range(10):
                composite = enc.update(composite)
            derived = sha256(composite)
        else:
            derived = argon2(a.kdf, composite, salt, 1, 64, 1)

    key = sha256(seed + derived)
    hmac_base = sha512(seed + derived + b"\x01")
    block_key = lambda i: sha512(struct.pack("<Q", i) + hmac_base)

    inner_key = os.urandom(64)
    stream_key = sha512(inner_key)
    inner = field(1, struct.pack("<I", 3)) + field(2, inner_key)
    for path in a.binary:
        inner += field(3, b"\x01" + open(path, "rb").read())
    inner += field(0, b"")

    if a.xml:
        xml = open(a.xml, "rb").read()
    else:
        uuid = base64.b64encode(os.urandom(16))
        xml = (b'<?xml version="1.0" encoding="utf-8" standalone="yes"?>\n<KeePassFile><Meta>'
               b"<Generator>fixture</Generator></Meta><Root><Group><UUID>" + uuid +
               b"</UUID><Name>Root</Name></Group></Root></KeePassFile>\n")
    plain_stream = []
    def seal(m):
        plain_stream.append(html.unescape(m.group(2).decode()).encode())
        return m.group(1) + b"\0"
    xml = re.sub(rb'(<Value Protected="True">)([^<]*)', seal, xml)
    # Protected values take the inner stream in document order.
    stream = chacha20(stream_key[:32], stream_key[32:44], b"".join(plain_stream))
    pieces = iter(plain_stream)
    offset = [0]
    def fill(m):
        value = next(pieces)
        sealed = stream[offset[0]:offset[0] + len(value)]
        offset[0] += len(value)
        return m.group(1) + base64.b64encode(sealed)
    xml = re.sub(rb'(<Value Protected="True">)\0', fill, xml)

    z = zlib.compressobj(9, zlib.DEFLATED, 31)
    payload = z.compress(inner + xml) + z.flush()
    if a.cipher == "aes":
        padder = padding.PKCS7(128).padder()
        payload = padder.update(payload) + padder.finalize()
        enc = Cipher(algorithms.AES(key), modes.CBC(iv)).encryptor()
        payload = enc.update(payload) + enc.finalize()
    else:
        payload = chacha20(key, iv, payload)

    out = header + sha256(header) + hmac.new(block_key(2**64 - 1), header, "sha256").digest()
    blocks = [payload[i:i + (1 << 20)] for i in range(0, len(payload), 1 << 20)] + [b""]
    for index, data in enumerate(blocks):
        size = struct.pack("<i", len(data))
        mac = hmac.new(block_key(index), struct.pack("<Q", index) + size + data, "sha256").digest()
        out += mac + size + data
    open(a.out, "wb").write(out)


main()
