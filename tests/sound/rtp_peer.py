#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The far end of a test call, on RTP alone (the SIP side is sipp's): sends
a wave file as PCMA in 20 ms packets to whoever sends to it first, and
records what it receives, decoded, on its own clock.

  rtp_peer.py PORT SEND.wav RECORD.wav SECONDS [timestamps]

SEND.wav and RECORD.wav are 8 kHz 16-bit mono; SEND.wav loops. Starts on the
first packet received and stops SECONDS later, or 6 s after the last packet.
Prints "start WALL": the wall time of the recording's first sample, which is
also when the first packet was sent. Each received packet lies in the
recording at its arrival (a packet that arrives late lies late), so gaps and
delays are what a listener at this end would get without a jitter buffer.
With "timestamps" each packet lies where its RTP timestamp puts it, from the
first packet's arrival on: what a listener with an ample jitter buffer gets,
whatever this program's own scheduling did to the arrival times.
"""
import select
import socket
import struct
import sys
import time
import wave
import warnings

with warnings.catch_warnings():
    warnings.simplefilter("ignore", DeprecationWarning)
    import audioop

RATE, FRAME = 8000, 160  # samples a second, samples a packet (20 ms)
PCMA = 8


def main(port, send_path, record_path, seconds, by_timestamp=False):
    with wave.open(send_path, "rb") as w:
        send = w.readframes(w.getnframes())
    send = send[: len(send) // (2 * FRAME) * 2 * FRAME] or b"\0" * 2 * FRAME
    sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    sock.bind(("127.0.0.1", port))
    ready, _, _ = select.select([sock], [], [], 30)
    if not ready:
        sys.exit("rtp_peer: nothing received")
    _, peer = sock.recvfrom(2048)
    start = time.time()
    print("start %.3f" % start, flush=True)
    received = bytearray()
    seq, ts, ssrc, sent = 1, 0, 0x52415645, 0
    last_in = start
    first = None  # (timestamp, place) of the first audio packet
    while True:
        now = time.time()
        if now - start > seconds or now - last_in > 6:
            break
        due = start + sent * FRAME / RATE
        if now >= due:
            chunk = send[(sent * 2 * FRAME) % len(send):][: 2 * FRAME]
            header = struct.pack("!BBHII", 0x80, PCMA, seq & 0xFFFF, ts & 0xFFFFFFFF, ssrc)
            sock.sendto(header + audioop.lin2alaw(chunk, 2), peer)
            seq, ts, sent = seq + 1, ts + FRAME, sent + 1
            continue
        ready, _, _ = select.select([sock], [], [], due - now)
        if not ready:
            continue
        data, _ = sock.recvfrom(2048)
        if len(data) < 12 or data[0] >> 6 != 2 or data[1] & 0x7F != PCMA:
            continue  # not audio (RTCP, telephone events)
        last_in = time.time()
        at = int((last_in - start) * RATE) * 2
        if by_timestamp:
            stamp = struct.unpack("!I", data[4:8])[0]
            first = first or (stamp, at)
            at = first[1] + ((stamp - first[0]) & 0xFFFFFFFF) * 2
        pcm = audioop.alaw2lin(data[12 + 4 * (data[0] & 0x0F):], 2)
        if len(received) < at:
            received.extend(b"\0" * (at - len(received)))
        received[at:at + len(pcm)] = pcm
    with wave.open(record_path, "wb") as w:
        w.setnchannels(1)
        w.setsampwidth(2)
        w.setframerate(RATE)
        w.writeframes(bytes(received))


if __name__ == "__main__":
    if len(sys.argv) not in (5, 6) or sys.argv[5:] not in ([], ["timestamps"]):
        sys.exit(__doc__)
    main(int(sys.argv[1]), sys.argv[2], sys.argv[3], float(sys.argv[4]), len(sys.argv) == 6)
