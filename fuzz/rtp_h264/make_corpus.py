#!/usr/bin/env python3
"""Regenerates the seed corpora of fuzz_rtp_h264, fuzz_rtp_opus and fuzz_rtcp from ffmpeg's own
RTP output (libx264 + libopus, SPS/PPS in STAP-A, FU-A, sender reports).

Run inside a network namespace, from the repository root:
    unshare -n sh -c 'ip link set lo up; python3 fuzz/rtp_h264/make_corpus.py'
Datagram sequences are written as [time step ms: u8][length: u16 BE][bytes] records.
"""
import os
import socket
import struct
import subprocess
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BASE = 47000


def main():
    socks = []
    for i in range(4):
        s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        s.bind(("127.0.0.1", BASE + i))
        s.setblocking(False)
        socks.append(s)
    ffmpeg = subprocess.Popen([
        "ffmpeg", "-nostdin", "-loglevel", "error",
        "-re", "-t", "2", "-f", "lavfi", "-i", "testsrc2=size=320x240:rate=15",
        "-re", "-t", "2", "-f", "lavfi", "-i", "sine=frequency=440:sample_rate=48000",
        "-map", "0:v", "-c:v", "libx264", "-preset", "ultrafast", "-tune", "zerolatency",
        "-profile:v", "baseline", "-g", "15", "-pkt_size", "600", "-payload_type", "127",
        "-f", "rtp", "rtp://127.0.0.1:%d?rtcpport=%d" % (BASE, BASE + 1),
        "-map", "1:a", "-c:a", "libopus", "-ac", "2", "-b:a", "64k", "-payload_type", "120",
        "-f", "rtp", "rtp://127.0.0.1:%d?rtcpport=%d" % (BASE + 2, BASE + 3)])
    got = [[] for _ in socks]
    last = [time.monotonic()] * 4
    while ffmpeg.poll() is None:
        time.sleep(0.002)
        for i, s in enumerate(socks):
            while True:
                try:
                    data = s.recv(2048)
                except BlockingIOError:
                    break
                now = time.monotonic()
                got[i].append((min(255, int((now - last[i]) * 1000)), data))
                last[i] = now

    def write_sequences(folder, records, per_file, limit):
        os.makedirs(folder, exist_ok=True)
        for n, start in enumerate(range(0, len(records), per_file)):
            if n >= limit:
                break
            with open(os.path.join(folder, "ffmpeg-%02d" % n), "wb") as f:
                for step, data in records[start:start + per_file]:
                    f.write(struct.pack(">BH", step, len(data)) + data)

    write_sequences(os.path.join(ROOT, "rtp_h264", "corpus"), got[0], 8, 12)
    write_sequences(os.path.join(ROOT, "rtp_opus", "corpus"), got[2], 10, 6)
    rtcp = os.path.join(ROOT, "rtcp", "corpus")
    os.makedirs(rtcp, exist_ok=True)
    for n, (_, data) in enumerate((got[1] + got[3])[:6]):
        with open(os.path.join(rtcp, "ffmpeg-sr-%02d" % n), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
