#!/usr/bin/env python3
"""Sends mail with the suite's mailer (HvMailTool.exe under Wine) to real SMTP servers on 127.0.0.1.

aiosmtpd listeners: plain, STARTTLS and implicit TLS, with a test CA and server and client
certificates made here with the openssl CLI; AUTH LOGIN and PLAIN plus CRAM-MD5 and CRAM-SHA1
handlers of our own; a recipient refused with 550. Raw listeners: one that drops the connection,
one that stalls, one that only counts connections, and hostile ones (endless or dripping replies,
huge refusals with control bytes, plain text injected after STARTTLS). What the servers received
is parsed with Python's email package.
Usage: smtp_peer.py <HvMailTool.exe>
"""
import base64
import email
import email.policy
import hashlib
import hmac
import logging
import os
import shutil
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import MISSING, AuthResult

USER, PASSWORD = "mailuser", "Pa55-wörd-42"
MECHS = ["LOGIN", "PLAIN", "CRAM-MD5", "CRAM-SHA1"]
KEY_PASSWORD = "KestrelMeadows"


def openssl(*args, cwd):
    subprocess.run(["openssl", *args], cwd=cwd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def make_ca(d, name, cn):
    openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".pem",
            "-days", "3", "-subj", "/CN=" + cn, cwd=d)


def make_cert(d, name, ca, cn, san, key_password=None, usage=None):
    with open(os.path.join(d, name + ".ext"), "w") as f:
        f.write("subjectAltName=%s\n" % san if san else "basicConstraints=CA:FALSE\n")
        if usage:
            f.write("extendedKeyUsage=%s\n" % usage)
    key_args = ["-passout", "pass:" + key_password] if key_password else ["-nodes"]
    openssl("req", "-newkey", "rsa:2048", *key_args, "-keyout", name + ".key", "-out", name + ".csr",
            "-subj", "/CN=" + cn, cwd=d)
    openssl("x509", "-req", "-in", name + ".csr", "-CA", ca + ".pem", "-CAkey", ca + ".key", "-CAcreateserial",
            "-out", name + ".pem", "-days", "3", "-extfile", name + ".ext", cwd=d)


def make_certs(d):
    make_ca(d, "ca", "Harvane Test Root")
    make_ca(d, "rogue", "Someone Else's Root")
    make_cert(d, "server", "ca", "127.0.0.1", "IP:127.0.0.1,DNS:localhost")
    make_cert(d, "wrongname", "ca", "mail.example.org", "DNS:mail.example.org")
    make_cert(d, "roguesrv", "rogue", "127.0.0.1", "IP:127.0.0.1,DNS:localhost")
    make_cert(d, "clientonly", "ca", "127.0.0.1", "IP:127.0.0.1,DNS:localhost", usage="clientAuth")
    make_cert(d, "bothusages", "ca", "127.0.0.1", "IP:127.0.0.1,DNS:localhost", usage="clientAuth,serverAuth")
    make_cert(d, "client", "ca", "Harvane client", None, KEY_PASSWORD)  # key in PBES2 with 3DES
    openssl("pkcs8", "-topk8", "-v2", "aes-256-cbc", "-in", "client.key", "-passin", "pass:" + KEY_PASSWORD,
            "-out", "client-aes.key", "-passout", "pass:" + KEY_PASSWORD, cwd=d)
    tls, tls3des = os.path.join(d, "tls"), os.path.join(d, "tls3des")
    for folder, key in [(tls, "client-aes.key"), (tls3des, "client.key")]:
        os.mkdir(folder)
        shutil.copy(os.path.join(d, "ca.pem"), os.path.join(folder, "harvaneroot.pem"))
        shutil.copy(os.path.join(d, "client.pem"), os.path.join(folder, "harvane.crt"))
        shutil.copy(os.path.join(d, key), os.path.join(folder, "harvane.key"))
    partial = os.path.join(d, "partial")
    os.mkdir(partial)
    shutil.copy(os.path.join(d, "ca.pem"), os.path.join(partial, "harvaneroot.pem"))
    shutil.copy(os.path.join(d, "client.pem"), os.path.join(partial, "harvane.crt"))
    return tls, tls3des, partial


def server_context(d, name):
    ctx = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    ctx.load_cert_chain(os.path.join(d, name + ".pem"), os.path.join(d, name + ".key"))
    return ctx


def over_tls(server):
    return server.transport.get_extra_info("ssl_object") is not None


def client_name(server):
    cert = server.transport.get_extra_info("peercert")
    return dict(item[0] for item in cert["subject"]).get("commonName") if cert else None


class Recorder:
    """Handler of every aiosmtpd listener: keeps what arrived and who logged on how."""

    def __init__(self):
        self.messages = []
        self.auth = []

    def reset(self):
        self.messages.clear()
        self.auth.clear()

    async def handle_RCPT(self, server, session, envelope, address, rcpt_options):
        if address.startswith("refused"):
            return "550 5.1.1 <%s>: Recipient address rejected: User unknown" % address
        envelope.rcpt_tos.append(address)
        return "250 OK"

    async def handle_DATA(self, server, session, envelope):
        self.messages.append({"from": envelope.mail_from, "rcpt": list(envelope.rcpt_tos),
                              "data": envelope.original_content, "tls": over_tls(server),
                              "options": list(envelope.mail_options),
                              "authenticated": bool(session.authenticated), "client": client_name(server)})
        return "250 2.0.0 Message accepted"

    def authenticator(self, server, session, envelope, mechanism, auth_data):
        self.auth.append((mechanism, auth_data.login.decode("utf-8", "replace"), over_tls(server)))
        ok = auth_data.login == USER.encode() and auth_data.password == PASSWORD.encode()
        return AuthResult(success=ok, handled=False)

    async def _cram(self, server, name, digest):
        challenge = "<%d.%d@peer.test>" % (os.getpid(), time.time_ns())
        blob = await server.challenge_auth(challenge)
        if blob is MISSING:
            return AuthResult(success=False)
        user, _, mac = blob.decode("utf-8", "replace").rpartition(" ")
        self.auth.append((name, user, over_tls(server)))
        expected = hmac.new(PASSWORD.encode(), challenge.encode(), digest).hexdigest()
        return AuthResult(success=user == USER and hmac.compare_digest(mac, expected), handled=False)

    async def auth_CRAM__MD5(self, server, args):
        return await self._cram(server, "CRAM-MD5", hashlib.md5)

    async def auth_CRAM__SHA1(self, server, args):
        return await self._cram(server, "CRAM-SHA1", hashlib.sha1)


class RawServer:
    """A listener that greets and drops (mode "drop"), never answers ("stall") or only counts."""

    def __init__(self, mode):
        self.mode, self.count, self.clients = mode, 0, []
        self.sock = socket.socket()
        self.sock.bind(("127.0.0.1", 0))
        self.sock.listen(5)
        self.port = self.sock.getsockname()[1]
        threading.Thread(target=self.run, daemon=True).start()

    def run(self):
        while True:
            try:
                conn, _ = self.sock.accept()
            except OSError:
                return
            self.count += 1
            self.clients.append(conn)
            threading.Thread(target=self.serve, args=(conn,), daemon=True).start()

    def serve(self, conn):
        if self.mode == "drop":
            conn.sendall(b"220 drop.test ESMTP\r\n")
            conn.settimeout(10)
            try:
                conn.recv(1024)
            except OSError:
                pass
            conn.close()
        elif self.mode == "count":
            conn.close()


# A hostile listener gives up after this many seconds, so that a client without bounds ends too.
GIVE_UP = 12
REFUSAL_TEXT = b"Refused \x00\x1b[31mbold\x1b[0m\x07 "


class HostileServer(RawServer):
    """A raw listener that greets and then misbehaves as its mode says:
    "flood" answers EHLO with lines without end, "longline" with one line without end, "drip" with
    a line every 0.4 s; "refusal" refuses MAIL FROM with one line of 100 kB holding NUL and ESC,
    "refusals" with 40 such lines of 1000 bytes; "inject" answers STARTTLS with 220 and a plain
    reply in the same packet, "injectlate" sends the plain reply once the client's handshake came."""

    def serve(self, conn):
        end = time.monotonic() + GIVE_UP
        try:
            with conn:
                conn.settimeout(GIVE_UP)
                conn.sendall(b"220 hostile.test ESMTP\r\n")
                reader = conn.makefile("rb")
                for line in reader:
                    verb = line[:4].upper()
                    if verb == b"EHLO" and self.mode in ("flood", "longline", "drip"):
                        return self.endless(conn, end)
                    if verb == b"EHLO":
                        conn.sendall(b"250-hostile.test\r\n250 STARTTLS\r\n")
                    elif verb == b"STAR" and self.mode == "inject":
                        conn.sendall(b"220 Go ahead\r\n250 injected.test\r\n")
                        return reader.read()
                    elif verb == b"STAR":
                        conn.sendall(b"220 Go ahead\r\n")
                        reader.read(1)  # the client's handshake began
                        conn.sendall(b"250 injected.test\r\n")
                        return reader.read()
                    elif verb == b"MAIL" and self.mode == "refusal":
                        conn.sendall(b"550 " + (REFUSAL_TEXT * 5000)[:100000] + b"\r\n")
                    elif verb == b"MAIL" and self.mode == "refusals":
                        text = (REFUSAL_TEXT * 50)[:1000]
                        conn.sendall(b"".join(b"550-" + text + b"\r\n" for _ in range(39)) + b"550 " + text + b"\r\n")
                    elif verb == b"QUIT":
                        return conn.sendall(b"221 Bye\r\n")
                    else:
                        conn.sendall(b"250 OK\r\n")
        except OSError:
            pass

    def endless(self, conn, end):
        n = 0
        while time.monotonic() < end:
            if self.mode == "flood":
                conn.sendall(b"".join(b"250-flood line %d\r\n" % (n * 100 + i) for i in range(100)))
            elif self.mode == "longline":
                conn.sendall((b"250-" if n == 0 else b"") + b"x" * 4096)
            else:
                conn.sendall(b"250-drip line %d\r\n" % n)
                time.sleep(0.4)
            n += 1


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def win_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


class Peer:
    def __init__(self, exe, work):
        self.exe, self.work = exe, work
        self.tls, self.tls3des, self.partial = make_certs(work)
        self.rec = Recorder()
        self.controllers = {}
        start = lambda name, **kw: self._start(name, **kw)
        start("plain", auth_require_tls=False)
        start("starttls", tls_context=server_context(work, "server"), require_starttls=True)
        start("implicit", ssl_context=server_context(work, "server"), auth_require_tls=False)
        start("rogue", tls_context=server_context(work, "roguesrv"))
        mutual = server_context(work, "server")
        mutual.verify_mode = ssl.CERT_REQUIRED
        mutual.load_verify_locations(os.path.join(work, "ca.pem"))
        start("mutual", tls_context=mutual, require_starttls=True)
        start("wrongname", tls_context=server_context(work, "wrongname"))
        start("clientonly", tls_context=server_context(work, "clientonly"))
        start("bothusages", tls_context=server_context(work, "bothusages"))
        start("ascii", auth_require_tls=False, enable_SMTPUTF8=False)
        self.raw = {m: RawServer(m) for m in ("drop", "stall", "count")}
        self.raw.update((m, HostileServer(m)) for m in ("flood", "longline", "drip", "refusal", "refusals", "inject",
                                                        "injectlate"))
        self.cases = 0
        self.failures = []

    def _start(self, name, **kw):
        c = Controller(self.rec, hostname="127.0.0.1", port=free_port(), authenticator=self.rec.authenticator,
                       server_hostname="peer.test", **kw)
        c.start()
        self.controllers[name] = c

    def stop(self):
        for c in self.controllers.values():
            c.stop()

    def port(self, name):
        return self.raw[name].port if name in self.raw else self.controllers[name].port

    def offer(self, mechs):
        for c in self.controllers.values():
            c.SMTP_kwargs["auth_exclude_mechanism"] = [m for m in MECHS if m not in mechs]

    def send(self, server, **job):
        """Runs the tool on a job; returns (exit code, [(type, message)], session log)."""
        self.rec.reset()
        self.cases += 1
        job.setdefault("host", "127.0.0.1")
        job.setdefault("port", self.port(server))
        job.setdefault("from", "sender@test.local")
        job.setdefault("to", "rcpt@test.local")
        job.setdefault("subject", "Test")
        job.setdefault("body", ["Hello"])
        job.setdefault("readtimeout", 20000)
        log = os.path.join(self.work, "session%d.log" % self.cases)
        job["log"] = win_path(log)
        lines = []
        for k, v in job.items():
            for item in (v if isinstance(v, list) else [v]):
                lines.append("%s=%s" % (k, item))
        name = os.path.join(self.work, "job%d.txt" % self.cases)
        with open(name, "w", encoding="utf-8") as f:
            f.write("\n".join(lines) + "\n")
        p = subprocess.run(["wine", self.exe, win_path(name)], stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                           stderr=subprocess.DEVNULL, timeout=120)
        errors = []
        for line in p.stdout.decode("utf-8", "replace").splitlines():
            kind, _, text = line.partition("\t")
            errors.append((int(kind), text))
        text = open(log, encoding="utf-8", errors="replace").read() if os.path.exists(log) else ""
        for m in self.rec.messages:
            self.check("send %d: what arrived parses cleanly" % self.cases, not parse(m["data"])[1])
        return p.returncode, errors, text

    def check(self, what, condition, detail=""):
        if not condition:
            self.failures.append("%s %s" % (what, detail))


def parse(data):
    msg = email.message_from_bytes(data, policy=email.policy.default)
    defects = [d for part in msg.walk() for d in part.defects]
    return msg, defects


def lf(text):
    return text.replace("\r\n", "\n")


def secret_forms():
    """The password and what would reveal it in a session log."""
    pw = PASSWORD.encode()
    return [PASSWORD, base64.b64encode(pw).decode(), base64.b64encode(b"\0" + USER.encode() + b"\0" + pw).decode()]


def test_message(peer, d):
    files = {"daten.bin": os.urandom(5000), "Bericht äöü €.pdf": os.urandom(777),
             "notes.txt": b"first line\r\n.leading dot\r\n..two dots\r\nlast line\r\n", "blob.xyz": os.urandom(64),
             "empty.dat": b""}
    for n, data in files.items():
        with open(os.path.join(d, n), "wb") as f:
            f.write(data)
    subject = "Prüfung – Ünïcode ✓ " + "long subject text " * 5
    rc, errors, log = peer.send(
        "plain", fromname="Sänder, Harvane", to="Ränate Empfänger <rcpt@test.local>, plain@test.local",
        cc="copy@test.local", bcc="hidden@test.local", subject=subject, body=["Grüße aus dem Test", ".dot line", ""],
        attach=[win_path(os.path.join(d, "daten.bin")), win_path(os.path.join(d, "Bericht äöü €.pdf")),
                win_path(os.path.join(d, "notes.txt")) + "|text/plain; charset=us-ascii",
                win_path(os.path.join(d, "blob.xyz")) + "|x-custom", win_path(os.path.join(d, "empty.dat"))],
        header=["User-Agent: HvTest 1.0", "Reply-To: reply@test.local", "Sender: sender@test.local",
                "X-Note: Zusätzlich"])
    peer.check("message: sent", rc == 0 and not errors, errors)
    peer.check("message: one arrived", len(peer.rec.messages) == 1)
    if len(peer.rec.messages) != 1:
        return
    m = peer.rec.messages[0]
    peer.check("message: envelope", m["from"] == "sender@test.local" and sorted(m["rcpt"]) == sorted(
        ["rcpt@test.local", "plain@test.local", "copy@test.local", "hidden@test.local"]), m)
    msg, defects = parse(m["data"])
    peer.check("message: parses cleanly", not defects, defects)
    peer.check("message: subject", msg["Subject"] == subject, repr(msg["Subject"]))
    peer.check("message: from", msg["From"].addresses[0].display_name == "Sänder, Harvane" and
               msg["From"].addresses[0].addr_spec == "sender@test.local", msg["From"])
    to = [(a.display_name, a.addr_spec) for a in msg["To"].addresses]
    peer.check("message: to", to == [("Ränate Empfänger", "rcpt@test.local"), ("", "plain@test.local")], to)
    peer.check("message: cc and no bcc", msg["Cc"] == "copy@test.local" and msg["Bcc"] is None)
    peer.check("message: extra headers", msg["User-Agent"] == "HvTest 1.0" and msg["Reply-To"] == "reply@test.local"
               and msg["Sender"] == "sender@test.local" and msg["X-Note"] == "Zusätzlich")
    peer.check("message: date and id", msg["Date"] is not None and msg["Date"].datetime is not None
               and msg["Message-ID"])
    peer.check("message: mixed", msg.get_content_type() == "multipart/mixed", msg.get_content_type())
    parts = list(msg.iter_parts())
    peer.check("message: parts", len(parts) == 6, len(parts))
    if len(parts) != 6:
        return
    text = parts[0]
    peer.check("message: text part", text.get_content_type() == "text/plain" and
               text.get_content_charset() == "iso-8859-1" and text["Content-Transfer-Encoding"] == "8bit")
    peer.check("message: body", lf(text.get_content()) == "Grüße aus dem Test\n.dot line\n\n", repr(text.get_content()))
    expected = [("daten.bin", "application/octet-stream", "base64"), ("Bericht äöü €.pdf", "application/pdf", "base64"),
                ("notes.txt", "text/plain", "8bit"), ("blob.xyz", "application/x-custom", "base64"),
                ("empty.dat", "application/octet-stream", "base64")]
    for part, (name, ctype, cte) in zip(parts[1:], expected):
        peer.check("attachment %s: headers" % name, part.get_filename() == name and part.get_content_type() == ctype
                   and part["Content-Transfer-Encoding"] == cte and part.get_content_disposition() == "attachment",
                   (part.get_filename(), part.get_content_type(), part["Content-Transfer-Encoding"]))
        peer.check("attachment %s: bytes" % name, part.get_payload(decode=True) == files[name])
    peer.check("message: log", "Recv 220" in log and "Sent EHLO Test" in log and "Sent MAIL FROM:<sender@test.local>"
               in log, log)
    # The same message built into a file parses the same way.
    saved = os.path.join(d, "saved.eml")
    rc, _, _ = peer.send("plain", subject=subject, save=win_path(saved),
                         attach=[win_path(os.path.join(d, "daten.bin"))])
    if rc == 0 and os.path.exists(saved):
        s, defects = parse(open(saved, "rb").read())
        peer.check("save: parses", not defects and s["Subject"] == subject and
                   list(s.iter_parts())[1].get_payload(decode=True) == files["daten.bin"])
    else:
        peer.check("save: written", False)


def test_bodies(peer):
    rc, errors, _ = peer.send("plain", content="html", body=["plain text"], html=["<p>Hällo</p>"])
    msg, defects = parse(peer.rec.messages[0]["data"]) if peer.rec.messages else (None, ["nothing arrived"])
    peer.check("html: sent", rc == 0 and not defects, (errors, defects))
    if msg:
        kids = [p.get_content_type() for p in msg.iter_parts()]
        peer.check("html: alternative", msg.get_content_type() == "multipart/alternative" and
                   kids == ["text/plain", "text/html"], kids)
        peer.check("html: texts", lf(list(msg.iter_parts())[1].get_content()) == "<p>Hällo</p>\n")
    rc, errors, _ = peer.send("plain", content="utf8", body=["Привет, мир ✓"])
    msg, defects = parse(peer.rec.messages[0]["data"]) if peer.rec.messages else (None, ["nothing arrived"])
    peer.check("utf8: sent", rc == 0 and not defects, (errors, defects))
    if msg:
        peer.check("utf8: body", msg.get_content_type() == "text/plain" and msg.get_content_charset() == "utf-8"
                   and lf(msg.get_content()) == "Привет, мир ✓\n", msg.get_content())


def test_sasl(peer):
    for offered, used in [(["CRAM-SHA1", "CRAM-MD5", "PLAIN", "LOGIN"], "LOGIN"), (["PLAIN", "CRAM-MD5"], "PLAIN"),
                          (["CRAM-MD5", "CRAM-SHA1"], "CRAM-MD5"), (["CRAM-SHA1"], "CRAM-SHA1"),
                          (["LOGIN"], "LOGIN")]:
        peer.offer(offered)
        what = "sasl %s" % "+".join(offered)
        rc, errors, log = peer.send("plain", user=USER, password=PASSWORD)
        peer.check(what + ": sent", rc == 0 and not errors, errors)
        peer.check(what + ": mechanism", [a[:2] for a in peer.rec.auth] == [(used, USER)], peer.rec.auth)
        peer.check(what + ": authenticated", peer.rec.messages and peer.rec.messages[0]["authenticated"])
        peer.check(what + ": no password in log", "AUTH" in log and not any(s in log for s in secret_forms()), log)
    peer.offer(MECHS)
    rc, errors, log = peer.send("plain", user=USER, password="wrong")
    peer.check("sasl refused", rc == 1 and not peer.rec.messages and
               any(t == 1 and "Authentication Failed" in m and "535" in m for t, m in errors), errors)
    peer.check("sasl refused: each mechanism tried in order", [a[0] for a in peer.rec.auth] == MECHS, peer.rec.auth)
    peer.check("sasl refused: logged", "Authentication Failed" in log and "wrong" not in log)
    rc, errors, _ = peer.send("plain", user=USER)
    peer.check("user without password: no AUTH", rc == 0 and not peer.rec.auth and peer.rec.messages, errors)


def test_tls(peer):
    for name, secure in [("starttls", 1), ("starttls", 2), ("implicit", 3)]:
        what = "tls %s mode %d" % (name, secure)
        rc, errors, log = peer.send(name, secure=secure, tlsdir=win_path(peer.tls) + "\\", user=USER,
                                    password=PASSWORD)
        peer.check(what + ": sent", rc == 0 and not errors, errors)
        peer.check(what + ": over TLS", peer.rec.messages and peer.rec.messages[0]["tls"] and
                   peer.rec.auth and all(a[2] for a in peer.rec.auth), (peer.rec.messages[:1], peer.rec.auth))
        peer.check(what + ": no password in log", not any(s in log for s in secret_forms()))
        if peer.rec.messages:
            peer.check(what + ": parses", not parse(peer.rec.messages[0]["data"])[1])
    # A server that demands the client's certificate gets harvane.crt, whose key is encrypted.
    for folder in (peer.tls, peer.tls3des):
        rc, errors, _ = peer.send("mutual", secure=2, tlsdir=win_path(folder) + "\\")
        peer.check("client certificate %s: sent" % os.path.basename(folder), rc == 0 and peer.rec.messages and
                   peer.rec.messages[0]["client"] == "Harvane client", (errors, peer.rec.messages[:1]))
    rc, errors, log = peer.send("mutual", secure=2, tlsdir=win_path(peer.tls) + "\\", keypassword="wrong")
    peer.check("client key, wrong password", rc == 1 and len(errors) == 1 and errors[0][0] == 3 and
               "harvane.key" in errors[0][1] and not peer.rec.messages and "Connected" not in log, (errors, log))
    # Explicit "if available" against a server without STARTTLS goes on in clear; "required" does not.
    tls = win_path(peer.tls) + "\\"
    rc, errors, _ = peer.send("plain", secure=1, tlsdir=tls)
    peer.check("no STARTTLS, if available: sent in clear", rc == 0 and peer.rec.messages and
               not peer.rec.messages[0]["tls"], errors)
    rc, errors, log = peer.send("plain", secure=2, tlsdir=tls, user=USER, password=PASSWORD)
    peer.check("no STARTTLS, required: refused", rc == 1 and errors and errors[0][0] == 3 and
               "SSL is not available" in errors[0][1], errors)
    peer.check("no STARTTLS, required: no credentials, no mail", not peer.rec.auth and not peer.rec.messages and
               "Sent AUTH" not in log and "MAIL FROM" not in log, (peer.rec.auth, log))
    # Certificates that do not verify.
    for name, text in [("rogue", "not issued by a trusted root"), ("wrongname", "not valid for the host"),
                       ("clientonly", "not meant for server authentication")]:
        rc, errors, log = peer.send(name, secure=1, tlsdir=tls, user=USER, password=PASSWORD)
        peer.check("certificate %s: refused" % name, rc == 1 and len(errors) == 1 and errors[0][0] == 3 and
                   text in errors[0][1], errors)
        peer.check("certificate %s: nothing sent" % name, not peer.rec.auth and not peer.rec.messages)
        peer.check("certificate %s: logged" % name, text in log, log)
        rc, errors, _ = peer.send(name, secure=1, tlsdir=tls, verify=0)
        peer.check("certificate %s, not verified: sent" % name, rc == 0 and peer.rec.messages and
                   peer.rec.messages[0]["tls"], errors)
    rc, errors, _ = peer.send("bothusages", secure=1, tlsdir=tls)
    peer.check("certificate for client and server: sent", rc == 0 and peer.rec.messages and
               peer.rec.messages[0]["tls"], errors)
    # Without the client files there is no TLS, and no connection is made.
    before = peer.raw["count"].count
    for secure in (1, 2, 3):
        rc, errors, log = peer.send("count", secure=secure, tlsdir=win_path(peer.partial) + "\\")
        peer.check("client files missing, mode %d" % secure,
                   rc == 1 and errors == [(3, "Error creating SSL session.")], errors)
        peer.check("client files missing: logged", "Error creating SSL session." in log and "harvane.key" in log, log)
    rc, errors, _ = peer.send("count", secure=1)
    peer.check("no TLS files given", rc == 1 and errors == [(3, "Error creating SSL session.")], errors)
    peer.check("client files missing: no connection", peer.raw["count"].count == before)
    rc, errors, _ = peer.send("plain", secure=0, tlsdir=win_path(peer.partial) + "\\")
    peer.check("client files missing, no TLS asked: sent", rc == 0 and peer.rec.messages, errors)


def test_failures(peer):
    rc, errors, log = peer.send("plain", to="first@test.local, refused@test.local, last@test.local")
    peer.check("refused recipient: failed", rc == 1 and (2, "refused@test.local") in errors and
               any(t == 1 and m.startswith("550") and "User unknown" in m for t, m in errors), errors)
    peer.check("refused recipient: nothing delivered", not peer.rec.messages)
    peer.check("refused recipient: logged", "Recv 550" in log and "User unknown" in log.split("Error", 1)[-1], log)
    rc, errors, _ = peer.send("plain", to="first@test.local, refused@test.local, last@test.local", **{"continue": 1})
    peer.check("refused recipient, go on: reported", rc == 1 and errors == [(2, "refused@test.local")], errors)
    peer.check("refused recipient, go on: others get it", peer.rec.messages and
               peer.rec.messages[0]["rcpt"] == ["first@test.local", "last@test.local"])
    rc, errors, log = peer.send("drop")
    peer.check("dropped connection", rc == 1 and len(errors) == 1 and errors[0][0] == 1 and
               "closed the connection" in errors[0][1], errors)
    started = time.monotonic()
    rc, errors, log = peer.send("stall", readtimeout=1500)
    peer.check("stalled server", rc == 1 and len(errors) == 1 and "timed out" in errors[0][1], errors)
    peer.check("stalled server: bounded", time.monotonic() - started < 60)
    rc, errors, _ = peer.send("plain", port=free_port())
    peer.check("no server", rc == 1 and len(errors) == 1 and errors[0][0] == 1 and "Could not connect" in errors[0][1],
               errors)


def test_hostile(peer):
    """Servers that never end a reply, drip it, refuse at length or slip plain text into TLS: each
    send ends soon with one error that says why, bounded and free of control characters. Prints
    the bounds with the time each case took now (not checked: speed is no test's business)."""
    tls = win_path(peer.tls) + "\\"
    secret = dict(user=USER, password=PASSWORD)
    bad = "Refused ??[31mbold?[0m? "
    cases = [
        ("EHLO reply without end", "100 lines a reply", "flood", 1,
         ["more than 100 lines", "250-flood line 0"], {}),
        ("EHLO reply line without end", "65536 bytes a reply", "longline", 1,
         ["longer than 65536 bytes", "250-xxxx"], {}),
        ("EHLO reply, a line every 0.4 s", "3 s a command here, 60 s by default", "drip", 1,
         ["within 3 seconds"], {}),
        ("refusal of 100 kB with NUL and ESC", "65536 bytes; 200 characters kept", "refusal", 1,
         ["longer than 65536 bytes", "550 " + bad], {}),
        ("refusal of 40 lines with NUL and ESC", "200 characters kept", "refusals", 1, ["550 " + bad, "..."], {}),
        ("implicit TLS against a plain server", "TLS record expected", "plain", 3,
         ["did not answer in TLS", "220 "], dict(secure=3, tlsdir=tls, **secret)),
        ("plain reply sent with STARTTLS's 220", "nothing may follow 220", "inject", 3,
         ["plain text after agreeing to TLS", "250 injected.test"], dict(secure=2, tlsdir=tls, **secret)),
        ("plain reply in place of the handshake", "TLS record expected", "injectlate", 3,
         ["did not answer in TLS", "250 injected.test"], dict(secure=2, tlsdir=tls, **secret)),
    ]
    table = []
    for what, bound, server, kind, texts, job in cases:
        started = time.monotonic()
        rc, errors, log = peer.send(server, readtimeout=5000, deadline=3000, **job)
        table.append((what, bound, time.monotonic() - started, errors[0][1] if errors else ""))
        text = errors[0][1] if errors else ""
        peer.check(what + ": one error", rc == 1 and len(errors) == 1 and errors[0][0] == kind, errors[:3])
        peer.check(what + ": says why", all(t in text for t in texts), repr(text[:300]))
        peer.check(what + ": bounded error", len(text) <= 300 and not any(ord(c) < 32 for c in text), len(text))
        longest = max((len(line) for line in log.splitlines()), default=0)
        peer.check(what + ": bounded log", longest <= 600 and "\x00" not in log and "\x1b" not in log, longest)
        peer.check(what + ": nothing sent", not peer.rec.auth and not peer.rec.messages and "Sent AUTH" not in log)
    print("%-40s %-36s %9s  %s" % ("hostile server", "bound", "now takes", "error"))
    for what, bound, seconds, text in table:
        print("%-40s %-36s %8.1fs  %s" % (what, bound, seconds, text[:100]))


def test_content(peer, d):
    """Text attachments arrive byte for byte; long and non-ASCII headers arrive whole; faulty
    addresses are refused by name before anything is sent."""
    files = {"run.log": b"start\r\n" + b"x" * 3000 + b"\r\nnul\0byte\rbare cr\nbare lf\r\n\xe4 latin\r\nno end",
             "clean.txt": b"plain\r\n.dot\r\n\r\nlast\r\n", "latin.ini": b"[S]\r\nName=J\xfcrgen\r\n",
             "utf8.txt": "Grüße ✓\n".encode(), ("ü" * 120 + " ✓.txt"): b"long name\r\n"}
    for n, data in files.items():
        with open(os.path.join(d, n), "wb") as f:
            f.write(data)
    subject = " ".join("word%d" % i for i in range(200)) + " " + "y" * 1100
    rc, errors, _ = peer.send("plain", subject=subject, fromname="Jürgen Müller", body=["Hello", "z" * 1500],
                              attach=[win_path(os.path.join(d, n)) for n in files],
                              header=["Reply-To: Jürgen Müller <jm@example.com>", "X-Long: " + "long " * 300])
    peer.check("content: sent", rc == 0 and not errors and len(peer.rec.messages) == 1, errors)
    if len(peer.rec.messages) != 1:
        return
    data = peer.rec.messages[0]["data"]
    peer.check("content: no line past 998", max(len(l) for l in data.split(b"\r\n")) <= 998)
    head = data[:data.index(b"\r\n\r\n")]
    peer.check("content: header lines folded", max(len(l) for l in head.split(b"\r\n")) <= 78)
    msg, defects = parse(data)
    peer.check("content: parses", not defects, defects)
    peer.check("content: subject", msg["Subject"] == subject, msg["Subject"])
    peer.check("content: long header", msg["X-Long"].rstrip() == ("long " * 300).rstrip(), msg["X-Long"])
    for field in ("From", "Reply-To"):
        a = msg[field].addresses[0] if msg[field] else None
        peer.check("content: %s keeps name and address" % field, a and a.display_name == "Jürgen Müller" and
                   a.addr_spec == ("sender@test.local" if field == "From" else "jm@example.com"), msg[field])
    parts = list(msg.iter_parts())
    peer.check("content: long body line", lf(parts[0].get_content()) == "Hello\n" + "z" * 1500 + "\n")
    parts = parts[1:]
    peer.check("content: parts", [p.get_filename() for p in parts] == list(files), [p.get_filename() for p in parts])
    for part, (name, content) in zip(parts, files.items()):
        peer.check("content %s: bytes" % name, part.get_payload(decode=True) == content,
                   (part["Content-Transfer-Encoding"], part.get_payload(decode=True)[:80]))
    encodings = {p.get_filename(): (p["Content-Transfer-Encoding"], p.get_content_charset()) for p in parts}
    peer.check("content: encodings", encodings["run.log"][0] == "base64" and encodings["clean.txt"] == ("8bit", None)
               and encodings["latin.ini"] == ("8bit", "windows-1252") and encodings["utf8.txt"][1] == "utf-8",
               encodings)
    # One unmatched quote: refused before connecting, naming the item.
    before = peer.raw["count"].count
    rc, errors, log = peer.send("count", to='first@test.local, "Bob <bob@test.local>, last@test.local')
    peer.check("unmatched quote: refused", rc == 1 and errors == [
        (0, 'Unmatched quote in the mail address: "Bob <bob@test.local>')], errors)
    peer.check("unmatched quote: no connection", peer.raw["count"].count == before and "Connected" not in log, log)
    # A recipient outside ASCII: only where the server offers SMTPUTF8.
    rc, errors, log = peer.send("ascii", to="first@test.local, jürgen@test.local")
    peer.check("non-ASCII address: refused", rc == 1 and len(errors) == 1 and "jürgen@test.local" in errors[0][1]
               and "SMTPUTF8" in errors[0][1], errors)
    peer.check("non-ASCII address: nothing sent", not peer.rec.messages and "MAIL FROM" not in log, log)
    rc, errors, _ = peer.send("plain", to="first@test.local, jürgen@test.local")
    m = peer.rec.messages[0] if peer.rec.messages else {}
    peer.check("non-ASCII address, SMTPUTF8: sent", rc == 0 and m.get("rcpt") == ["first@test.local",
                                                                                  "jürgen@test.local"]
               and "SMTPUTF8" in m.get("options", []), (errors, m.get("rcpt"), m.get("options")))


def main():
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    exe = sys.argv[1]
    with tempfile.TemporaryDirectory() as work:
        peer = Peer(exe, work)
        try:
            peer.offer(MECHS)
            only = os.environ.get("HV_SMTP_CASES", "message bodies content sasl tls failures hostile").split()
            for name, test in [("message", lambda: test_message(peer, work)), ("bodies", lambda: test_bodies(peer)),
                               ("content", lambda: test_content(peer, work)),
                               ("sasl", lambda: test_sasl(peer)), ("tls", lambda: test_tls(peer)),
                               ("failures", lambda: test_failures(peer)), ("hostile", lambda: test_hostile(peer))]:
                if name in only:
                    test()
        finally:
            peer.stop()
            if os.environ.get("HV_SMTP_KEEP"):
                shutil.copytree(work, os.environ["HV_SMTP_KEEP"], dirs_exist_ok=True)
    for f in peer.failures:
        print("FAIL:", f)
    print("%d sends, %d failures" % (peer.cases, len(peer.failures)))
    return 1 if peer.failures else 0


if __name__ == "__main__":
    sys.exit(main())
