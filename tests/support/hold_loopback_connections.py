#!/usr/bin/env python3
"""Holds known TCP connections open on loopback and writes the rows that a connection table must
show for them, one line each: state, local address and port, remote address and port.

Run it inside a network namespace of its own. Usage: hold_loopback_connections.py OUTPUT
OUTPUT appears once every connection is in its state; then the connections are held until the
process is ended, for HOLD_SECONDS at most."""

import os
import socket
import sys
import time

LISTENER = ("127.0.0.2", 8080)
CLIENT_ADDRESS = "127.0.0.3"
CONNECTIONS = 150  # more than a classic 101-row table holds
HALF_CLOSED = 3  # clients that sent their FIN first
HOLD_SECONDS = 120

# Platform state codes, and the Linux states (tcp_info) they stand for here.
LISTEN, ESTABLISHED, FIN_WAIT2, CLOSE_WAIT = 2, 5, 7, 8
LINUX_FIN_WAIT2, LINUX_CLOSE_WAIT = 5, 8


def wait_for_state(sock, linux_state, deadline):
    while sock.getsockopt(socket.IPPROTO_TCP, socket.TCP_INFO, 1)[0] != linux_state:
        if time.monotonic() > deadline:
            sys.exit(f"a connection did not reach Linux TCP state {linux_state}")
        time.sleep(0.01)


def row(state, local, remote):
    return f"{state} {local[0]} {local[1]} {remote[0]} {remote[1]}\n"


def main():
    output = sys.argv[1]
    listener = socket.socket()
    listener.bind(LISTENER)
    listener.listen(CONNECTIONS)
    rows = [row(LISTEN, LISTENER, ("0.0.0.0", 0))]
    held = [listener]
    deadline = time.monotonic() + 10
    for i in range(CONNECTIONS):
        client = socket.socket()
        client.bind((CLIENT_ADDRESS, 0))
        client.connect(LISTENER)
        server, _ = listener.accept()
        held += [client, server]
        local, remote = client.getsockname(), client.getpeername()
        if i < HALF_CLOSED:
            client.shutdown(socket.SHUT_WR)
            wait_for_state(client, LINUX_FIN_WAIT2, deadline)
            wait_for_state(server, LINUX_CLOSE_WAIT, deadline)
            rows += [row(FIN_WAIT2, local, remote), row(CLOSE_WAIT, remote, local)]
        else:
            rows += [row(ESTABLISHED, local, remote), row(ESTABLISHED, remote, local)]
    with open(output + ".part", "w") as file:
        file.writelines(rows)
    os.rename(output + ".part", output)
    time.sleep(HOLD_SECONDS)


main()
