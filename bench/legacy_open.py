#!/usr/bin/env python3
"""Processor time of the first open of each legacy encoding, one process per open, for one or more
builds of the conversion library in alternating rounds; medians and quartiles in microseconds.

    bench/legacy_open.py --rounds 41 new=build/release/bin/liblumiva-iconv.so old=../old/liblumiva-iconv.so
"""
import argparse
import os
import statistics
import subprocess

ENCODINGS = ["WINDOWS-1251", "GBK", "GB18030", "CP949", "EUC-KR", "EUC-JP", "BIG5", "CP932", "SHIFT_JIS", "JOHAB"]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--rounds", type=int, default=31)
    parser.add_argument("--probe", default=os.path.join(os.path.dirname(__file__), "..", "build", "release", "bin",
                                                         "lumiva-legacy-open-probe"))
    parser.add_argument("--encoding", action="append")
    parser.add_argument("libraries", nargs="+", help="NAME=PATH of liblumiva-iconv.so")
    args = parser.parse_args()
    libraries = [item.split("=", 1) for item in args.libraries]
    encodings = args.encoding or ENCODINGS
    times = {(name, encoding): [] for name, _ in libraries for encoding in encodings}
    for _ in range(args.rounds):
        for encoding in encodings:
            for name, path in libraries:
                out = subprocess.run([args.probe, os.path.abspath(path), encoding], check=True,
                                     capture_output=True, text=True).stdout
                times[(name, encoding)].append(float(out))
    print(f"load average: {os.getloadavg()[0]:.2f}, rounds: {args.rounds}")
    print("| encoding | " + " | ".join(f"{name} median (quartiles), µs" for name, _ in libraries) + " |")
    print("|---|" + "---|" * len(libraries))
    for encoding in encodings:
        cells = []
        for name, _ in libraries:
            values = sorted(times[(name, encoding)])
            q = statistics.quantiles(values, n=4)
            cells.append(f"{statistics.median(values):.0f} ({q[0]:.0f} to {q[2]:.0f})")
        print(f"| {encoding} | " + " | ".join(cells) + " |")


if __name__ == "__main__":
    main()
