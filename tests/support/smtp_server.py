"""A real SMTP server for the protocol tests: aiosmtpd on 127.0.0.1 with AUTH LOGIN.

Usage: smtp_server.py [--starttls CERT KEY | --tls CERT KEY] PORT FOLDER [USER PASSWORD]
Each message received is written to FOLDER as NNNN.eml (the data as received, dot-stuffing
undone) beside NNNN.env (the envelope: "FROM addr", "TO addr" lines and "AUTH user" when the
session logged in). With USER and PASSWORD, mail is refused until the client has logged in.
With --starttls the server offers STARTTLS and takes no command but EHLO, NOOP and QUIT before
it (AUTH included); with --tls the connection is TLS from the start.
"""

import asyncio
import os
import signal
import ssl
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
    args = sys.argv[1:]
    mode = None
    context = None
    if args and args[0] in ("--starttls", "--tls"):
        mode = args[0]
        context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
        context.load_cert_chain(args[1], args[2])
        args = args[3:]
    port = int(args[0])
    folder = args[1]
    user = args[2].encode("latin-1") if len(args) > 3 else None
    password = args[3].encode("latin-1") if len(args) > 3 else None

    def authenticator(server, session, envelope, mechanism, auth_data):
        if (isinstance(auth_data, LoginPassword) and user is not None
                and auth_data.login == user and auth_data.password == password):
            session.tarnwell_user = auth_data.login
            return AuthResult(success=True)
        return AuthResult(success=False, handled=False)

    tls = {}
    if mode == "--starttls":
        tls = {"tls_context": context, "require_starttls": True}
    elif mode == "--tls":
        tls = {"ssl_context": context}
    controller = Controller(Handler(folder), hostname="127.0.0.1", port=port,
                            authenticator=authenticator, auth_required=user is not None,
                            auth_require_tls=mode == "--starttls",
                            server_hostname="tarnwell-test-smtp", **tls)
    controller.start()
    stop = asyncio.Event()
    loop = asyncio.new_event_loop()
    loop.add_signal_handler(signal.SIGTERM, stop.set)
    loop.run_until_complete(stop.wait())
    controller.stop()


if __name__ == "__main__":
    main()
