#!/usr/bin/env python3
"""Checks AesLib's encrypted stream against an independent implementation.

PBKDF2-HMAC-SHA1 and HMAC-SHA1 from hashlib/hmac, AES blocks from the openssl CLI. Streams written
by the Windows tool (run through Wine) are read here, and streams written here are read by the tool.
Usage: aes_crosscheck.py <AesTool.exe>
"""
import base64
import hashlib
import hmac
import os
import subprocess
import sys
import tempfile

SALT_LEN = {1: 8, 2: 12, 3: 16}


def aes_ecb(key, data):
    return subprocess.run(["openssl", "enc", "-aes-%d-ecb" % (len(key) * 8), "-K", key.hex(), "-nopad"],
                          input=data, stdout=subprocess.PIPE, check=True).stdout


def keys(password, salt, mode):
    key_len = 8 * (mode + 1)
    material = hashlib.pbkdf2_hmac("sha1", password[:128], salt, 1000, 2 * key_len + 2)
    return material[:key_len], material[key_len:2 * key_len], material[2 * key_len:]


def ctr(aes_key, data):
    blocks = (len(data) + 15) // 16
    counters = b"".join((i + 1).to_bytes(8, "little") + bytes(8) for i in range(blocks))
    stream = aes_ecb(aes_key, counters) if blocks else b""
    return bytes(a ^ b for a, b in zip(data, stream))


def encrypt(password, mode, plain):
    salt = os.urandom(SALT_LEN[mode])
    aes_key, mac_key, verifier = keys(password, salt, mode)
    cipher = ctr(aes_key, plain)
    return salt + verifier + cipher + hmac.new(mac_key, cipher, hashlib.sha1).digest()[:10]


def decrypt(password, mode, data):
    n = SALT_LEN[mode]
    salt, verifier, cipher, code = data[:n], data[n:n + 2], data[n + 2:-10], data[-10:]
    aes_key, mac_key, expected = keys(password, salt, mode)
    if verifier != expected:
        raise ValueError("password verifier differs")
    if hmac.new(mac_key, cipher, hashlib.sha1).digest()[:10] != code:
        raise ValueError("authentication code differs")
    return ctr(aes_key, cipher)


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def tool(exe, op, mode, password, src, dst):
    # Now and then (about one run in 200, so far only while the machine was loaded) the tool ends with 1 on
    # input it handles the next time; the cause is not found yet. The same input failing twice is a failure,
    # and the first failure stays in the test log.
    for attempt in (1, 2):
        r = subprocess.run(["wine", exe, op, str(mode), password.decode("ascii"), win_path(src), win_path(dst)],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT)
        if r.returncode == 0 or attempt == 2:
            return r.returncode
        print("%s mode %d: exit code %d, tried again\n%s" % (op, mode, r.returncode,
                                                            r.stdout.decode("utf-8", "replace")[-2000:]))


def main():
    exe = sys.argv[1]
    failures = []
    cases = [(1, b"secret", 0), (1, b"pass word", 1), (2, b"x" * 40, 4096), (3, b"Longer pass 123!", 4097),
             (3, b"k" * 130, 33), (2, b"mode two", 10000)]
    with tempfile.TemporaryDirectory() as tmp:
        plain_name, enc_name, dec_name = (os.path.join(tmp, n) for n in ("plain", "enc", "dec"))
        for mode, password, size in cases:
            what = "mode %d, %d bytes" % (mode, size)
            plain = os.urandom(size)
            with open(plain_name, "wb") as f:
                f.write(plain)
            # Ours writes, the reference reads.
            if tool(exe, "enc", mode, password, plain_name, enc_name) != 0:
                failures.append(what + ": tool failed to encrypt")
            else:
                data = open(enc_name, "rb").read()
                try:
                    if len(data) != size + SALT_LEN[mode] + 12 or decrypt(password, mode, data) != plain:
                        failures.append(what + ": reference decryption differs")
                except ValueError as e:
                    failures.append("%s: %s" % (what, e))
            # The reference writes, ours reads.
            with open(enc_name, "wb") as f:
                f.write(encrypt(password, mode, plain))
            if tool(exe, "dec", mode, password, enc_name, dec_name) != 0:
                failures.append(what + ": tool failed to decrypt")
            elif open(dec_name, "rb").read() != plain:
                failures.append(what + ": tool decryption differs")
        # A changed authentication code is refused.
        data = bytearray(encrypt(b"secret", 1, b"some data"))
        data[-1] ^= 1
        with open(enc_name, "wb") as f:
            f.write(data)
        if tool(exe, "dec", 1, b"secret", enc_name, dec_name) != 1:
            failures.append("a changed code was accepted")
    # A stored-password string written with the suite's built-in key (Crypt's known value).
    stored = r"""-?9\D!UO4'eEF#7R:PM'lOknCa/-d[)_*T<fu9R$WLrc%i4X.VGSF4dbmaLg;I5>?Y:[3cAZhN;TMSGe3[C22gBdL`0&]Ao>s2fC+]<3V13DVFGMG?M"""
    try:
        record = decrypt(b"35DF9782DAE5585E4043B60D3CC33A0D8FF3EE08A931AC1C", 3, base64.a85decode(stored))
        if len(record) != 64 or record[0] != 33 + 12 or record[1:13] != b"Known pass 1":
            failures.append("stored-password record differs")
    except ValueError as e:
        failures.append("stored-password string: %s" % e)
    for f in failures:
        print("FAIL:", f)
    print("%d cases, %d failures" % (len(cases), len(failures)))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
