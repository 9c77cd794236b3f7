#!/usr/bin/env python3
"""A STARTTLS-style peer on 127.0.0.1 for the TLS session tests: plain lines,
then the upgrade, then 256 bytes each way inside TLS.

  starttls_peer.py server CERT KEY   listens on a port it prints ("PORT n"),
      greets with "220 ready", answers "STARTTLS" with "220 go ahead",
      upgrades, echoes 256 bytes, then closes TLS with close_notify: unwrap()
      must get the answer ("UNWRAPPED"), and the TCP connection must close.
  starttls_peer.py client PORT CAFILE [unwrap]   connects, sends "STARTTLS",
      reads the go-ahead line in the clear, upgrades checking the certificate
      against CAFILE and the name 127.0.0.1, sends every byte value, prints
      the 256 bytes it gets back in hexadecimal ("GOT …"), then how TLS
      ended: "CLOSE_NOTIFY" or "TRUNCATED". With unwrap, it closes TLS itself
      instead, as the server does.
"""

import socket
import ssl
import sys


def read_line(sock):
    line = b""
    while not line.endswith(b"\r\n"):
        piece = sock.recv(1)
        if not piece:
            raise SystemExit("closed before the end of a line")
        line += piece
    return line


def read_exactly(sock, size):
    data = b""
    while len(data) < size:
        piece = sock.recv(size - len(data))
        if not piece:
            raise SystemExit("closed after %d bytes" % len(data))
        data += piece
    return data


def serve(cert, key):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_SERVER)
    context.load_cert_chain(cert, key)
    listener = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
    listener.bind(("127.0.0.1", 0))
    listener.listen(1)
    print("PORT %d" % listener.getsockname()[1], flush=True)
    plain, _ = listener.accept()
    plain.settimeout(20)
    plain.sendall(b"220 ready\r\n")
    if read_line(plain) != b"STARTTLS\r\n":
        raise SystemExit("expected STARTTLS")
    plain.sendall(b"220 go ahead\r\n")
    tls = context.wrap_socket(plain, server_side=True)
    tls.sendall(read_exactly(tls, 256))
    close_tls(tls)


def close_tls(tls):
    """Sends close_notify and waits for the peer's; then the peer closes."""
    plain = tls.unwrap()
    print("UNWRAPPED", flush=True)
    if plain.recv(1) != b"":
        raise SystemExit("the connection stayed open")
    plain.close()


def connect(port, cafile, unwrap):
    context = ssl.SSLContext(ssl.PROTOCOL_TLS_CLIENT)
    context.load_verify_locations(cafile)
    plain = socket.create_connection(("127.0.0.1", port), timeout=20)
    plain.sendall(b"STARTTLS\r\n")
    print("GO-AHEAD %s" % read_line(plain).hex(), flush=True)
    tls = context.wrap_socket(plain, server_hostname="127.0.0.1", suppress_ragged_eofs=False)
    tls.sendall(bytes(range(256)))
    print("GOT %s" % read_exactly(tls, 256).hex(), flush=True)
    if unwrap:
        return close_tls(tls)
    try:
        ended = "CLOSE_NOTIFY" if tls.recv(1) == b"" else "MORE DATA"
    except ssl.SSLEOFError:
        ended = "TRUNCATED"
    print(ended, flush=True)


if __name__ == "__main__":
    if sys.argv[1] == "server":
        serve(sys.argv[2], sys.argv[3])
    else:
        connect(int(sys.argv[2]), sys.argv[3], sys.argv[4:] == ["unwrap"])
