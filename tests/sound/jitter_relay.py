#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""A jittery line for the sound tests: relays UDP between a client and a
peer on loopback, holding each packet towards the client a random time of
its own between 0 and MAX_MS (so packets also overtake each other, as on a
busy wireless hop); packets towards the peer pass at once.

  jitter_relay.py LISTEN PEER MAX_MS SECONDS [SEED]

The client sends to LISTEN and gets the peer's packets from it; the peer
sees the relay's second socket. SEED makes the delays repeatable. Ends after
SECONDS or on SIGTERM, and prints "relayed N delayed M max X ms" then.
"""
import heapq
import random
import select
import signal
import socket
import sys
import time


def main(listen, peer, max_ms, seconds, seed):
    rng = random.Random(seed)
    near = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    near.bind(("127.0.0.1", listen))
    far = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    far.bind(("127.0.0.1", 0))
    client = None
    held = []  # (due, order, packet) towards the client
    order = relayed = delayed = 0
    longest = 0.0
    end = time.monotonic() + seconds

    def stop(*_):
        nonlocal end
        end = 0

    signal.signal(signal.SIGTERM, stop)
    while True:
        now = time.monotonic()
        while held and held[0][0] <= now:
            _, _, data = heapq.heappop(held)
            try:
                near.sendto(data, client)
            except OSError:  # the client gone, or a filter of the test's refusing it
                pass
        if now >= end:
            break
        wait = min(end, held[0][0]) - now if held else end - now
        ready, _, _ = select.select([near, far], [], [], max(wait, 0))
        for sock in ready:
            data, source = sock.recvfrom(4096)
            if sock is near:
                client = source
                try:
                    far.sendto(data, ("127.0.0.1", peer))
                except OSError:
                    pass
                relayed += 1
            elif client is not None:
                hold = rng.uniform(0, max_ms) / 1000.0
                longest = max(longest, hold)
                order += 1
                heapq.heappush(held, (time.monotonic() + hold, order, data))
                delayed += 1
    print("relayed %d delayed %d max %.0f ms" % (relayed, delayed, longest * 1000), flush=True)


if __name__ == "__main__":
    if len(sys.argv) not in (5, 6):
        sys.exit(__doc__)
    main(int(sys.argv[1]), int(sys.argv[2]), float(sys.argv[3]), float(sys.argv[4]),
         int(sys.argv[5]) if len(sys.argv) == 6 else None)
