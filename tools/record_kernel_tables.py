#!/usr/bin/env python3
"""Records this kernel's TCP tables for the parser tests, from a scene of known sockets.

Run as root in an empty network namespace, from tests/data:
    unshare -n python3 ../../tools/record_kernel_tables.py

Writes inet_diag_tcp4.bin and inet_diag_tcp6.bin (one AF_INET and one AF_INET6 inet_diag dump:
sequence number, port id, then each received datagram with its length in front; all numbers
native-endian as the kernel sends them), proc_net_tcp.txt, proc_net_tcp6.txt and the witness
listing ss_tan.txt (`ss -H -tan`).
"""
import socket
import struct
import subprocess

NETLINK_SOCK_DIAG = 4
SOCK_DIAG_BY_FAMILY = 20
NLM_F_REQUEST_DUMP = 0x301
CONNECTION_STATES = 0x1FFE  # TCP_ESTABLISHED .. TCP_NEW_SYN_RECV


def build_scene():
    subprocess.run(["ip", "link", "set", "lo", "up"], check=True)
    keep = []

    def connect(source, family, address):
        client = socket.socket(family, socket.SOCK_STREAM)
        client.bind((source, 0))
        client.connect(address)
        keep.append(client)
        return client

    listener = socket.socket()
    listener.bind(("127.0.0.2", 8080))
    listener.listen(64)
    keep.append(listener)
    for _ in range(40):
        connect("127.0.0.3", socket.AF_INET, ("127.0.0.2", 8080))
        keep.append(listener.accept()[0])
    # Half closed: the client in FIN-WAIT-2, the server side in CLOSE-WAIT.
    connect("127.0.0.3", socket.AF_INET, ("127.0.0.2", 8080)).shutdown(socket.SHUT_WR)
    keep.append(listener.accept()[0])
    # Closed by the server first: the server side lingers in TIME-WAIT.
    client = socket.create_connection(("127.0.0.2", 8080), source_address=("127.0.0.3", 0))
    served = listener.accept()[0]
    served.close()
    client.close()

    high = socket.socket()
    high.bind(("127.0.0.5", 65535))
    high.listen()
    keep.append(high)

    dual = socket.socket(socket.AF_INET6)
    dual.setsockopt(socket.IPPROTO_IPV6, socket.IPV6_V6ONLY, 0)
    dual.bind(("::", 8443))
    dual.listen()
    keep.append(dual)
    for _ in range(2):
        connect("127.0.0.3", socket.AF_INET, ("127.0.0.2", 8443))
        keep.append(dual.accept()[0])
    connect("::1", socket.AF_INET6, ("::1", 8443))
    keep.append(dual.accept()[0])
    return keep


def record_dump(family, path):
    diag = socket.socket(socket.AF_NETLINK, socket.SOCK_RAW, NETLINK_SOCK_DIAG)
    diag.bind((0, 0))
    port_id = diag.getsockname()[0]
    sequence = 4242 + family
    request = struct.pack("=BBBBI", family, socket.IPPROTO_TCP, 0, 0, CONNECTION_STATES)
    request += bytes(48)  # inet_diag_sockid: every address and port
    header = struct.pack("=IHHII", 16 + len(request), SOCK_DIAG_BY_FAMILY, NLM_F_REQUEST_DUMP,
                         sequence, 0)
    diag.sendto(header + request, (0, 0))
    with open(path, "wb") as out:
        out.write(struct.pack("=II", sequence, port_id))
        while True:
            datagram = diag.recv(65536)
            out.write(struct.pack("=I", len(datagram)) + datagram)
            if struct.unpack_from("=H", datagram, 4)[0] in (2, 3):  # NLMSG_ERROR, NLMSG_DONE
                break


def main():
    scene = build_scene()
    record_dump(socket.AF_INET, "inet_diag_tcp4.bin")
    record_dump(socket.AF_INET6, "inet_diag_tcp6.bin")
    for name in ("tcp", "tcp6"):
        with open(f"/proc/net/{name}") as table, open(f"proc_net_{name}.txt", "w") as out:
            out.write(table.read())
    with open("ss_tan.txt", "w") as out:
        out.write(subprocess.run(["ss", "-H", "-tan"], check=True, capture_output=True,
                                 text=True).stdout)
    del scene


if __name__ == "__main__":
    main()
