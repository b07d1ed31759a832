#!/usr/bin/env python3
"""Types a line into an interactive shell on a terminal, presses Tab and prints the line as the
shell's line editor then holds it.

    complete_line.py LINE SHELL [ARGUMENT...]

The shell's start-up file sets the prompt to "READY> " and binds Ctrl+T to writing the edited
line to the file $TARNWELL_LINE_FILE, which this script sets. Ends with status 1 when the shell
does not get that far within 20 seconds, and with status 2 when the terminal shows an error of a
completion function (zsh names the function, _tarnwell..., bash the file and line).
"""

import os
import pty
import select
import signal
import sys
import tempfile
import time

PROMPT = b"READY> "
ERRORS = (b"_tarnwell", b": line ", b"command not found")
DEADLINE_SECONDS = 20


def drain(fd, seen):
    ready, _, _ = select.select([fd], [], [], 0.05)
    if ready:
        try:
            seen += os.read(fd, 4096)
        except OSError:
            pass
    return seen


def main():
    line, command = sys.argv[1], sys.argv[2:]
    with tempfile.TemporaryDirectory() as folder:
        line_file = os.path.join(folder, "line")
        os.environ["TARNWELL_LINE_FILE"] = line_file
        pid, fd = pty.fork()
        if pid == 0:
            os.execvp(command[0], command)
        deadline = time.monotonic() + DEADLINE_SECONDS
        seen = b""
        try:
            while PROMPT not in seen and time.monotonic() < deadline:
                seen = drain(fd, seen)
            os.write(fd, line.encode() + b"\t\x14")
            while not (os.path.exists(line_file) and open(line_file, "rb").read().endswith(b"\n")):
                if time.monotonic() > deadline:
                    sys.stderr.write("no line from the shell; it showed:\n%r\n" % seen)
                    return 1
                seen = drain(fd, seen)
            sys.stdout.write(open(line_file).read())
            # The shell wrote whatever Tab printed before it ran Ctrl+T.
            while True:
                more = drain(fd, seen)
                if more == seen:
                    break
                seen = more
            for error in ERRORS:
                if error in seen:
                    sys.stderr.write("the shell shows an error:\n%r\n" % seen)
                    return 2
            return 0
        finally:
            os.kill(pid, signal.SIGKILL)
            os.waitpid(pid, 0)
            os.close(fd)


if __name__ == "__main__":
    sys.exit(main())
