#!/usr/bin/env python3
"""The error mail of HvStarter's unattended run, received by aiosmtpd on 127.0.0.1.

Runs HvStarter.exe under Wine with "/force" on fixture settings whose groups give errors, and parses
what the SMTP server received with Python's email package.
Usage: starter_mail.py <HvStarter.exe>
"""
import email
import email.policy
import logging
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtp_peer import HostileServer, Recorder, free_port, win_path  # noqa: E402
from aiosmtpd.controller import Controller  # noqa: E402


def write_utf16(path, text):
    with open(path, "wb") as f:
        f.write(b"\xff\xfe" + text.replace("\n", "\r\n").encode("utf-16-le"))


def run_starter(exe, work, port, sender, enabled, failures, options=()):
    conf = os.path.join(work, "conf")
    os.makedirs(conf, exist_ok=True)
    job = os.path.join(work, "job.buj")
    write_utf16(job, "[Standin]\nExitCode=0\n")
    write_utf16(os.path.join(conf, "HvStarter.ini"),
                "[Config]\nTaskCount=1\n"
                "[Task00]\nDescription=Nightly\nUsername=backup\nCount=1\nTaskFile00=#%s\n"
                "[Mail]\nSMTP=127.0.0.1\nPort=%d\nEnabled=%d\nRecipients=ops@test.local, second@test.local\n"
                "Sender=%s\nReplyTo=reply@test.local\nSubject=Backup errors on host\nUseTLS=0\n"
                % (win_path(job), port, 1 if enabled else 0, sender))
    env = dict(os.environ, HV_STARTER_LOGON_RECORD=win_path(os.path.join(work, "logon.txt")))
    p = subprocess.run(["wine", exe, "/lang:en", "/force", *options, "/ini:" + win_path(conf) + "\\", "Nightly", "Nope"],
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                       env=env, timeout=120)
    if p.returncode != 0:
        failures.append("exit code %d" % p.returncode)


def main():
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    exe = sys.argv[1]
    failures = []
    rec = Recorder()
    server = Controller(rec, hostname="127.0.0.1", port=free_port(), auth_require_tls=False)
    server.start()
    try:
        with tempfile.TemporaryDirectory() as work:
            def check(what, ok, detail=""):
                if not ok:
                    failures.append("%s %s" % (what, detail))

            run_starter(exe, work, server.port, "starter@test.local", True, failures)
            check("one mail", len(rec.messages) == 1, len(rec.messages))
            if rec.messages:
                m = rec.messages[0]
                check("recipients", m["rcpt"] == ["ops@test.local", "second@test.local"], m["rcpt"])
                check("envelope sender", m["from"] == "starter@test.local", m["from"])
                msg = email.message_from_bytes(m["data"], policy=email.policy.default)
                check("subject", msg["Subject"] == "Backup errors on host", msg["Subject"])
                check("from", msg["From"] == "HvStarter <starter@test.local>", msg["From"])
                check("reply-to", msg["Reply-To"] == "reply@test.local", msg["Reply-To"])
                check("user agent", str(msg["User-Agent"]).startswith("HvStarter - 64-bit (Version "),
                      msg["User-Agent"])
                body = msg.get_content().replace("\r\n", "\n").split("\n")
                check("title", body[0] == "HvStarter error report - 2 errors:", body[:1])
                check("empty line", body[1] == "", body[:2])
                check("first log line", body[2].startswith("HvStarter - 64-bit (Version "), body[2:3])
                check("start line", body[3].startswith("  ==> Start: "), body[3:4])
                check("errors", body[4:7] == ["  ->  Backup group: Nightly - User name: backup",
                                              "  *** No backup tasks specified!", "  *** Unknown group: Nope"],
                      body[4:7])
                check("end line", body[7].startswith("  ==> End: "), body[7:8])

            # A sender without "@" is the display name of the reply address.
            rec.reset()
            run_starter(exe, work, server.port, "Backup Robot", True, failures)
            check("named sender mail", len(rec.messages) == 1, len(rec.messages))
            if rec.messages:
                msg = email.message_from_bytes(rec.messages[0]["data"], policy=email.policy.default)
                check("named from", msg["From"] == "Backup Robot <reply@test.local>", msg["From"])

            # A mail that cannot be sent leaves one line with the reason in the run's block of the log;
            # a server whose EHLO reply never ends no longer holds the run.
            closed = free_port()
            for what, port, why in [("no server", closed, "127.0.0.1:%d" % closed),
                                    ("endless reply", HostileServer("flood").port, "more than 100 lines")]:
                log_name = os.path.join(work, "conf", "HvStarter.log")
                if os.path.exists(log_name):
                    os.remove(log_name)
                run_starter(exe, work, port, "starter@test.local", True, failures, ["/logmode:1"])
                with open(log_name, encoding="cp1252") as f:
                    log = f.read().split("\n")
                ends = [i for i, line in enumerate(log) if line.startswith("  ==> End: ")]
                check("failed mail, %s: one run in the log" % what, len(ends) == 1, log)
                if ends:
                    reason = log[ends[0] + 1]
                    check("failed mail, %s: reason" % what, reason.startswith("  *** The error mail was not sent: ")
                          and why in reason, log[ends[0]:])
                    check("failed mail, %s: block ends" % what, log[ends[0] + 2:] == ["", ""], log[ends[0]:])

            # Mail delivery off: the run ends without a mail.
            rec.reset()
            run_starter(exe, work, server.port, "starter@test.local", False, failures)
            check("no mail when disabled", len(rec.messages) == 0, len(rec.messages))
    finally:
        server.stop()
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
