#!/usr/bin/env python3
# Holds 1100 TCP connections open on loopback, from 127.0.0.3 to a listener on 127.0.0.2:8080
# (the kernel completes them without an accept): more than 101 rows, and
# with both ends listed, enough rows for the sort's path for large tables. Run it inside a
# network namespace of its own.
# Usage: hold_loopback_connections.py READY
# The file READY appears once every connection is up; they are held until the process is ended,
# for two minutes at most.
import resource
import socket
import sys
import time

# More files than the usual soft limit of 1024.
resource.setrlimit(resource.RLIMIT_NOFILE, (resource.getrlimit(resource.RLIMIT_NOFILE)[1],) * 2)
listener = socket.create_server(("127.0.0.2", 8080), backlog=1200)
held = [socket.create_connection(("127.0.0.2", 8080), source_address=("127.0.0.3", 0))
        for _ in range(1100)]
open(sys.argv[1], "w").close()
time.sleep(120)
