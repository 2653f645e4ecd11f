#!/usr/bin/env python3
# Holds 150 TCP connections open on loopback, more than a classic 101-row table holds: from
# 127.0.0.3 to a listener on 127.0.0.2:8080. Run it inside a network namespace of its own.
# Usage: hold_loopback_connections.py READY
# The file READY appears once every connection is up; they are held until the process is ended,
# for two minutes at most.
import socket
import sys
import time

listener = socket.create_server(("127.0.0.2", 8080), backlog=200)
held = [socket.create_connection(("127.0.0.2", 8080), source_address=("127.0.0.3", 0))
        for _ in range(150)]
held += [listener.accept()[0] for _ in range(len(held))]
open(sys.argv[1], "w").close()
time.sleep(120)
