"""Watches every process's command line until a file named STOP appears, and
prints each one that held the secret in SECRET-FILE (its first line), with the
secret masked: nothing when none did. Makes STOP.watching once it has looked
at every process once.
    watch_command_lines.py SECRET-FILE STOP"""

import os, sys, time

with open(sys.argv[1], "rb") as secret_file:
    secret = secret_file.read().split(b"\n")[0]
stop = sys.argv[2]
seen = set()
while not os.path.exists(stop):
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/cmdline" % pid, "rb") as command_line:
                words = command_line.read()
        except OSError:
            continue  # ended meanwhile
        if secret in words:
            seen.add(words.rstrip(b"\0").replace(secret, b"<secret>").replace(b"\0", b" ").decode(errors="replace"))
    open(stop + ".watching", "a").close()
    time.sleep(0.001)
print("\n".join(sorted(seen)), end="")
