#!/usr/bin/env python3
"""Writes dskpp_crypto.vec: the client's DSKPP values for fixed nonces, computed here with
Python's own hashlib and hmac from the definitions of RFC 6063 (DSKPP-PRF-SHA256, PBKDF2 with
HMAC-SHA-256), not with the library. Run it from this folder; the output is committed."""

import base64
import hashlib
import hmac


def prf(key, message, length):
    out, i = b"", 1
    while len(out) < length:
        out += hmac.new(key, i.to_bytes(4, "big") + message, hashlib.sha256).digest()
        i += 1
    return out[:length]


def record(label, user, password, url, k, r_s, r_c, ds_len, messages):
    secret = password.encode().hex().upper().encode()
    k_ac = hashlib.pbkdf2_hmac("sha256", secret, r_c + k, 100000, 16)
    ad = prf(k_ac, user.encode().hex().upper().encode() + url.encode() + r_c + r_s, 16)
    k_prov = prf(r_c, b"Key generation" + k + r_s, ds_len)
    k_mac, k_token = k_prov[: ds_len // 2], k_prov[ds_len // 2:]
    digest = hashlib.sha256(b"".join(m.encode() for m in messages)).digest()
    mac = prf(k_mac, b"MAC 1 computation" + digest, 32)
    b64 = lambda b: base64.b64encode(b).decode()
    lines = [
        "Label = " + label, "UserId = " + user, "Password = " + password, "Url = " + url,
        "Iterations = 100000", "KeyName = " + b64(k), "ServerNonce = " + b64(r_s),
        "ClientNonce = " + b64(r_c), "AuthData = " + b64(ad), "DsLen = %d" % ds_len,
        "KMac = " + k_mac.hex().upper(), "KToken = " + k_token.hex().upper(),
    ]
    lines += ["Message%d = %s" % (i + 1, m) for i, m in enumerate(messages)]
    lines.append("Mac = " + b64(mac))
    return "\n".join(lines) + "\n"


def public_key(label):
    """K: a server key of public_keys.vec, so that the client can also encrypt R_C under it."""
    record = open("public_keys.vec").read().split("Label = " + label + "\n", 1)[1]
    return base64.b64decode(record.split("KeyName = ", 1)[1].split("\n", 1)[0])


K = public_key("rsa2048")
R_S = bytes.fromhex("a1b2c3d4e5f60718293a4b5c6d7e8f90" * 2)
R_C = bytes.fromhex("0f1e2d3c4b5a69788796a5b4c3d2e1f0" * 2)
MESSAGES = ["<dskpp:KeyProvClientHello Version='1.0'></dskpp:KeyProvClientHello>",
            "<dskpp:KeyProvServerHello Status='Continue'/>",
            "<dskpp:KeyProvClientNonce SessionID='s1'/>"]

with open("dskpp_crypto.vec", "w") as out:
    out.write("# DSKPP client values for fixed nonces (RFC 6063): "
              "AD, K_MAC, K_TOKEN and the key confirmation MAC,\n# computed with Python's hashlib "
              "and hmac by make_dskpp_vectors.py beside this file.\n\n")
    out.write(record("ds64", "ab", "p@ss", "https://srv.example/dskpp", K, R_S, R_C, 64, MESSAGES))
    out.write("\n")
    out.write(record("ds192_utf8", "j\u00fcrgen", "Gr\u00fc\u00df & <x>", "http://srv:8080/a/b", K,
                     R_C, R_S, 192, MESSAGES[::-1]))
