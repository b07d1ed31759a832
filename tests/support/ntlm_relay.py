"""A POP3 or SMTP front end to Cyrus SASL's NTLM server, for the secure-password tests.

Usage: ntlm_relay.py PORT pop3|smtp KEYWORD CONFDIR REALM SASL_SAMPLE_SERVER [CERT KEY]
Serves one connection at a time on 127.0.0.1:PORT. "AUTH KEYWORD" starts sasl-sample-server
with the NTLM mechanism on a pseudo-terminal (it talks in "C: " and "S: " lines of Base64) and
relays: the client's token lines become its C: lines, its S: lines become "+ " (POP3) or "334 "
(SMTP) challenges, and its verdict becomes "+OK" / "235" or "-ERR" / "535". The user database
is the sasldb2 named in CONFDIR/sample.conf (the sample server reads its settings under
the application name "sample"). After a login the relay answers a minimal
session (POP3: STAT, QUIT; SMTP: MAIL, RCPT, DATA, RSET, QUIT). With CERT and KEY it also
offers the upgrade to TLS (POP3 STLS, SMTP STARTTLS).
"""

import base64
import os
import pty
import socket
import ssl
import subprocess
import sys
import tty


class Sasl:
    def __init__(self, program, confdir, realm):
        master, slave = pty.openpty()
        tty.setraw(slave)
        env = dict(os.environ, SASL_CONF_PATH=confdir)
        self.process = subprocess.Popen(
            [program, "-m", "NTLM", "-s", "tarnwell", "-u", realm],
            stdin=slave, stdout=slave, stderr=slave, env=env, close_fds=True)
        os.close(slave)
        self.master = master
        self.buffer = b""

    def line(self):
        while b"\n" not in self.buffer:
            try:
                data = os.read(self.master, 4096)
            except OSError:
                data = b""
            if not data:
                return None
            self.buffer += data
        line, _, self.buffer = self.buffer.partition(b"\n")
        return line.rstrip(b"\r")

    def next_event(self):
        """("challenge", bytes), ("ok", None) or ("fail", text)."""
        while True:
            line = self.line()
            if line is None:
                return ("fail", "sasl server ended")
            if line.startswith(b"S:"):
                return ("challenge", base64.b64decode(line[2:].strip()))
            if line.startswith(b"Negotiation complete"):
                return ("ok", None)
            if line.startswith(b"sasl-sample-server:"):
                return ("fail", line.decode("latin-1"))

    def send(self, data):
        os.write(self.master, b"C: " + base64.b64encode(data) + b"\n")

    def close(self):
        self.process.kill()
        self.process.wait()
        os.close(self.master)


class Session:
    def __init__(self, conn, args, tls):
        self.conn = conn
        self.file = conn.makefile("rb")
        self.mode, self.keyword, self.confdir, self.realm, self.program = args
        self.tls = tls
        self.logged_in = False
        self.pop3 = self.mode == "pop3"

    def start_tls(self):
        # The client starts the handshake only after this reply, so nothing is buffered.
        self.reply("+OK begin TLS" if self.pop3 else "220 2.0.0 Ready to start TLS")
        self.conn = self.tls.wrap_socket(self.conn, server_side=True)
        self.file = self.conn.makefile("rb")
        self.tls = None

    def reply(self, text):
        self.conn.sendall(text.encode("latin-1") + b"\r\n")

    def readline(self):
        line = self.file.readline()
        if not line:
            return None
        return line.rstrip(b"\r\n")

    def authenticate(self):
        challenge_prefix = "+ " if self.pop3 else "334 "
        sasl = Sasl(self.program, self.confdir, self.realm)
        try:
            event = sasl.next_event()  # the mechanism list
            if event[0] != "challenge":
                return False
            sasl.send(b"NTLM")
            while True:
                event = sasl.next_event()
                if event[0] == "ok":
                    return True
                if event[0] == "fail":
                    return False
                self.reply(challenge_prefix + base64.b64encode(event[1]).decode("ascii"))
                line = self.readline()
                if line is None or line == b"*":
                    return False
                try:
                    token = base64.b64decode(line, validate=True)
                except ValueError:
                    return False
                sasl.send(token)
        finally:
            sasl.close()

    def run(self):
        self.reply("+OK relay ready" if self.pop3 else "220 tarnwell-relay ESMTP")
        while True:
            line = self.readline()
            if line is None:
                return
            words = line.decode("latin-1").split(" ")
            verb = words[0].upper()
            if verb == "AUTH" and len(words) == 2 and words[1] == self.keyword:
                ok = self.authenticate()
                self.logged_in = ok
                if self.pop3:
                    self.reply("+OK logged in" if ok else "-ERR authentication failed")
                else:
                    self.reply("235 2.7.0 Authentication successful" if ok
                               else "535 5.7.8 Authentication credentials invalid")
            elif self.tls and verb == ("STLS" if self.pop3 else "STARTTLS"):
                self.start_tls()
            elif verb == "QUIT":
                self.reply("+OK bye" if self.pop3 else "221 2.0.0 Bye")
                return
            elif self.pop3:
                if verb == "STAT" and self.logged_in:
                    self.reply("+OK 0 0")
                else:
                    self.reply("-ERR not allowed")
            else:
                self.smtp_command(verb)

    def smtp_command(self, verb):
        if verb == "EHLO":
            self.reply("250-tarnwell-relay")
            if self.tls:
                self.reply("250-STARTTLS")
            self.reply("250 AUTH " + self.keyword)
        elif verb == "MAIL":
            self.reply("250 2.1.0 OK" if self.logged_in else "530 5.7.0 Authentication required")
        elif verb in ("RCPT", "RSET"):
            self.reply("250 2.1.5 OK")
        elif verb == "DATA":
            self.reply("354 End data with <CR><LF>.<CR><LF>")
            while True:
                line = self.readline()
                if line is None or line == b".":
                    break
            self.reply("250 2.0.0 queued")
        else:
            self.reply("502 5.5.2 Error: command not recognized")


def main():
    port = int(sys.argv[1])
    args = sys.argv[2:7]
    tls = None
    if len(sys.argv) > 8:
        tls = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
        tls.load_cert_chain(sys.argv[7], sys.argv[8])
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(4)
    while True:
        conn, _ = server.accept()
        try:
            Session(conn, args, tls).run()
        except (OSError, ssl.SSLError):
            pass
        finally:
            conn.close()


if __name__ == "__main__":
    main()
