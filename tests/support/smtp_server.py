"""A real SMTP server for the protocol tests: aiosmtpd on 127.0.0.1 with AUTH LOGIN.

Usage: smtp_server.py PORT FOLDER [USER PASSWORD]
Each message received is written to FOLDER as NNNN.eml (the data as received, dot-stuffing
undone) beside NNNN.env (the envelope: "FROM addr", "TO addr" lines and "AUTH user" when the
session logged in). With USER and PASSWORD, mail is refused until the client has logged in.
"""

import asyncio
import os
import signal
import sys

from aiosmtpd.controller import Controller
from aiosmtpd.smtp import AuthResult, LoginPassword


class Handler:
    def __init__(self, folder):
        self.folder = folder
        self.count = 0

    async def handle_DATA(self, server, session, envelope):
        self.count += 1
        base = os.path.join(self.folder, "%04d" % self.count)
        lines = ["FROM " + envelope.mail_from]
        lines += ["TO " + rcpt for rcpt in envelope.rcpt_tos]
        if getattr(session, "tarnwell_user", None) is not None:
            lines.append("AUTH " + str(session.tarnwell_user, "latin-1"))
        with open(base + ".eml.tmp", "wb") as out:
            out.write(envelope.original_content)
        with open(base + ".env", "w", encoding="latin-1") as out:
            out.write("\n".join(lines) + "\n")
        os.rename(base + ".eml.tmp", base + ".eml")
        return "250 2.0.0 Message accepted"


def main():
    port = int(sys.argv[1])
    folder = sys.argv[2]
    user = sys.argv[3].encode("latin-1") if len(sys.argv) > 4 else None
    password = sys.argv[4].encode("latin-1") if len(sys.argv) > 4 else None

    def authenticator(server, session, envelope, mechanism, auth_data):
        if (isinstance(auth_data, LoginPassword) and user is not None
                and auth_data.login == user and auth_data.password == password):
            session.tarnwell_user = auth_data.login
            return AuthResult(success=True)
        return AuthResult(success=False, handled=False)

    controller = Controller(Handler(folder), hostname="127.0.0.1", port=port,
                            authenticator=authenticator, auth_required=user is not None,
                            auth_require_tls=False, server_hostname="tarnwell-test-smtp")
    controller.start()
    stop = asyncio.Event()
    loop = asyncio.new_event_loop()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.run_until_complete(stop.wait())
    controller.stop()


if __name__ == "__main__":
    main()
