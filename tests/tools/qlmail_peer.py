#!/usr/bin/env python3
"""The test mail of QlBackup's mail dialog, received by aiosmtpd on 127.0.0.1.

Starts a plain listener with AUTH, runs the dialog's GUI test that clicks "Test" (the unattended GUI
test executable under Wine, HV_SMTP_PEER_PORT set) and parses what arrived with Python's email
package.
Usage: qlmail_peer.py <unattended_gui_tests.exe>
"""
import email
import email.policy
import logging
import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from smtp_peer import USER, Recorder, free_port  # noqa: E402
from aiosmtpd.controller import Controller  # noqa: E402


def main():
    logging.getLogger("mail.log").setLevel(logging.ERROR)
    exe = sys.argv[1]
    failures = []

    def check(what, ok, detail=""):
        if not ok:
            failures.append("%s %s" % (what, detail))

    rec = Recorder()
    server = Controller(rec, hostname="127.0.0.1", port=free_port(), authenticator=rec.authenticator,
                        auth_require_tls=False)
    server.start()
    try:
        env = dict(os.environ, HV_SMTP_PEER_PORT=str(server.port))
        p = subprocess.run(["wine", exe, "--gtest_filter=MailDialogTest.TestMailThroughThePeer"],
                           stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, env=env,
                           timeout=240)
        out = p.stdout.decode("utf-8", "replace")
        check("dialog test passes", p.returncode == 0 and "[  PASSED  ] 1 test" in out, out[-3000:])
        # The second test mail names a refused recipient: nothing is sent then.
        check("one mail", len(rec.messages) == 1, len(rec.messages))
        check("logged on", [(m, u) for m, u, _ in rec.auth][:1] == [("LOGIN", USER)], rec.auth)
        if rec.messages:
            m = rec.messages[0]
            check("every listed recipient", m["rcpt"] == ["err@test.local", "off@test.local", "on@test.local"],
                  m["rcpt"])
            check("envelope sender", m["from"] == "reply@test.local", m["from"])
            check("authenticated", m["authenticated"])
            msg = email.message_from_bytes(m["data"], policy=email.policy.default)
            check("subject", str(msg["Subject"]).startswith("Harvane: Mail delivery test on "), msg["Subject"])
            check("from", msg["From"] == "Backup robot <reply@test.local>", msg["From"])
            check("reply-to", msg["Reply-To"] == "reply@test.local", msg["Reply-To"])
            check("sender", msg["Sender"] == "reply@test.local", msg["Sender"])
            check("user agent", "64-bit" in str(msg["User-Agent"]), msg["User-Agent"])
            body = msg.get_content().replace("\r\n", "\n").strip()
            check("body", body.startswith("This is a test mail from unattended_gui_tests ("), body)
    finally:
        server.stop()
    for f in failures:
        print("FAIL:", f)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
