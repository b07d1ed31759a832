"""TLS from the connect in front of a plain test server, for servers that have no TLS of their own.

Usage: tls_proxy.py PORT BACKEND_PORT CERT KEY
Each connection to 127.0.0.1:PORT is taken through a TLS handshake with CERT and KEY, then its
bytes are passed both ways to 127.0.0.1:BACKEND_PORT until either side closes.
"""

import socket
import ssl
import sys
import threading


def pump(source, target):
    try:
        while True:
            data = source.recv(65536)
            if not data:
                break
            target.sendall(data)
    except OSError:
        pass
    finally:
        for conn in (source, target):
            try:
                conn.shutdown(socket.SHUT_RDWR)
            except OSError:
                pass


def serve(conn, context, backend_port):
    try:
        secure = context.wrap_socket(conn, server_side=True)
    except (OSError, ssl.SSLError):
        conn.close()
        return
    backend = socket.create_connection(("127.0.0.1", backend_port))
    threading.Thread(target=pump, args=(backend, secure), daemon=True).start()
    pump(secure, backend)


def main():
    port, backend_port = int(sys.argv[1]), int(sys.argv[2])
    context = ssl.create_default_context(ssl.Purpose.CLIENT_AUTH)
    context.load_cert_chain(sys.argv[3], sys.argv[4])
    server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
    server.bind(("127.0.0.1", port))
    server.listen(4)
    while True:
        conn, _ = server.accept()
        threading.Thread(target=serve, args=(conn, context, backend_port), daemon=True).start()


if __name__ == "__main__":
    main()
