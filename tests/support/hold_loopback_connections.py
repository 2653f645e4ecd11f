#!/usr/bin/env python3
# Holds 1100 TCP connections open on loopback, from 127.0.0.3 to a listener on 127.0.0.2:8080
# (the kernel completes them without an accept): more than 101 rows, and
# with both ends listed, enough rows for the sort's path for large tables. Run it inside a
# network namespace of its own.
# Usage: hold_loopback_connections.py READY [CHURN]
# The file READY appears once every connection is up; they are held until the process is ended,
# for ten minutes at most. While the file CHURN exists, connections from 127.0.0.4 to
# 127.0.0.5:9090 come and go, about a hundred at a time; once it is removed, those left are held
# too and READY appears again. With CHURN, 300 are held: under Wine 8 a read of the table costs
# its rows times the open descriptors, and many refreshes of a bigger one would take minutes.
import os
import random
import resource
import socket
import struct
import sys
import time

# More files than the usual soft limit of 1024.
resource.setrlimit(resource.RLIMIT_NOFILE, (resource.getrlimit(resource.RLIMIT_NOFILE)[1],) * 2)
ready, churn = sys.argv[1], sys.argv[2] if len(sys.argv) > 2 else None
listener = socket.create_server(("127.0.0.2", 8080), backlog=1200)
held = [socket.create_connection(("127.0.0.2", 8080), source_address=("127.0.0.3", 0))
        for _ in range(300 if churn else 1100)]
open(ready, "w").close()
if churn:
    churn_listener = socket.create_server(("127.0.0.5", 9090))
    pairs = []
    while os.path.exists(churn):
        pairs.append((socket.create_connection(("127.0.0.5", 9090), source_address=("127.0.0.4", 0)),
                      churn_listener.accept()[0]))
        if len(pairs) > 100:
            # A reset leaves no TIME_WAIT row behind to expire while the table is compared.
            for end in pairs.pop(random.randrange(len(pairs))):
                end.setsockopt(socket.SOL_SOCKET, socket.SO_LINGER, struct.pack("ii", 1, 0))
                end.close()
        time.sleep(0.01)
    open(ready, "w").close()
time.sleep(600)
