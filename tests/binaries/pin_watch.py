#!/usr/bin/python3
"""Watches every process's command line for a secret, until told to stop.

    pin_watch.py SECRET-FILE STOP-FILE READY-FILE

Each process's command line is read once, and judged from that one read: a
process may end, or become another program, between two reads. Every process
whose command line held the secret is printed once, as its process id, a tab,
and its command line with the secret masked. READY-FILE is made once every
process has been looked at once; the watch ends at the first look after
STOP-FILE appears.
"""

import os
import sys

secret_file, stop, ready = sys.argv[1:]
with open(secret_file, "rb") as file:
    secret = file.read().splitlines()[0]

seen = set()
while True:
    stopping = os.path.exists(stop)
    for name in os.listdir("/proc"):
        if not name.isdigit():
            continue
        try:
            with open("/proc/%s/cmdline" % name, "rb") as file:
                command_line = file.read()
        except OSError:  # ended meanwhile
            continue
        if secret in command_line and (name, command_line) not in seen:
            seen.add((name, command_line))
            shown = command_line.replace(secret, b"(the secret)").replace(b"\0", b" ").strip()
            print("%s\t%s" % (name, shown.decode(errors="replace")), flush=True)
    if not os.path.exists(ready):
        open(ready, "w").close()
    if stopping:
        break
