#!/usr/bin/env python3
"""The small-file cases of compare.py by processor time and page faults instead of wall time:
these hold still on a loaded machine, where wall time does not. Builds of lumiva-batch run in
alternating rounds; medians. Example, this tree against a landed commit built in another folder:

    bench/cpu_rounds.py --rounds 41 new=build/release/bin/lumiva-batch old=../old/build/release/bin/lumiva-batch
"""
import argparse
import os
import shutil
import statistics
import subprocess
import tempfile

from compare import make_small_files


def one_run(binary, args):
    """Processor time (ms) and minor page faults of one run, from the kernel's account of the child."""
    with open(os.devnull, "wb") as null:
        pid = os.posix_spawn(binary, [binary, *args], os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, null.fileno(), 1)])
    _, status, usage = os.wait4(pid, 0)
    if os.waitstatus_to_exitcode(status) != 0:
        raise RuntimeError(f"{binary} {' '.join(args)} failed")
    return (usage.ru_utime + usage.ru_stime) * 1000, usage.ru_minflt


def peak_rss(binary, args):
    """Peak resident memory in MiB by GNU time (the child of a large Python reports Python's)."""
    done = subprocess.run(["/usr/bin/time", "-f", "%M", binary, *args], stdout=subprocess.DEVNULL,
                          stderr=subprocess.PIPE, text=True, check=True)
    return int(done.stderr.split()[-1]) / 1024


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=41)
    parser.add_argument("--files", type=int, default=2000)
    parser.add_argument("builds", nargs="+", help="NAME=path of a lumiva-batch")
    args = parser.parse_args()
    builds = [b.split("=", 1) for b in args.builds]
    shm = tempfile.mkdtemp(prefix="lmvcpu-", dir="/dev/shm" if os.path.isdir("/dev/shm") else None)
    try:
        small = os.path.join(shm, "small")
        out = os.path.join(shm, "out")
        os.makedirs(small)
        names = make_small_files(small, args.files)
        listfile = os.path.join(shm, "list.txt")
        with open(listfile, "w") as f:
            f.write("\n".join(names) + "\n")
        cases = [(f"{args.files:,} files, one call", ["--list", listfile]), ("one file", [names[0]])]
        print(f"load average before: {open('/proc/loadavg').read().split()[0]}")
        for title, operands in cases:
            samples = {name: [] for name, _ in builds}
            peaks = {name: [] for name, _ in builds}
            for r in range(args.rounds):
                for name, binary in builds:
                    shutil.rmtree(out, ignore_errors=True)
                    os.makedirs(out)
                    command = ["--to", "UTF-16", "--output-dir", out, *operands]
                    if r < 5:
                        peaks[name].append(peak_rss(binary, command))
                        shutil.rmtree(out)
                        os.makedirs(out)
                    samples[name].append(one_run(binary, command))
            print(f"\n{title}, {args.rounds} rounds\n")
            print("| build | processor time, median (quartiles) | minor page faults | peak RSS |")
            print("|---|---|---|---|")
            for name, _ in builds:
                cpu = sorted(s[0] for s in samples[name])
                q = len(cpu) // 4
                faults = statistics.median(s[1] for s in samples[name])
                print(f"| {name} | {statistics.median(cpu):.2f} ms ({cpu[q]:.2f}–{cpu[-q - 1]:.2f}) | {faults:.0f} "
                      f"| {statistics.median(peaks[name]):.2f} MiB |")
        print(f"\nload average after: {open('/proc/loadavg').read().split()[0]}")
    finally:
        shutil.rmtree(shm, ignore_errors=True)


if __name__ == "__main__":
    main()
