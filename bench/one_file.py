#!/usr/bin/env python3
"""Wall time of converting one small file, one process per call, as a `find -exec` script pays
it: lumiva-batch against the iconv and recode programs. Prints the median and spread of each, and
with --startup the time the window takes to show with every encoding name.

    bench/one_file.py [--runs N] [--batch build/release/bin/lumiva-batch]
                      [--startup build/release/bin/lumiva-startup-probe]
                      [--legacy WINDOWS-1251 --legacy GBK ...] [--baseline build/bench-main/build/bin/lumiva-batch]

--legacy adds, for each encoding, one small file in it to UTF-8 and back: the first open of a
legacy encoding reads its tables from the C library, which --baseline (main's build) does not.
"""

import argparse
import os
import shutil
import statistics
import subprocess
import tempfile
import time


def timed(cmd, runs, prepare=None):
    """Wall and CPU (user + system) seconds of each run."""
    walls, cpus = [], []
    for _ in range(runs):
        if prepare:
            prepare()
        start = time.perf_counter()
        child = subprocess.Popen(cmd, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        walls.append(time.perf_counter() - start)
        if os.waitstatus_to_exitcode(status) != 0:
            raise SystemExit(f"{cmd[0]} failed")
        cpus.append(usage.ru_utime + usage.ru_stime)
    return walls, cpus


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=101)
    parser.add_argument("--batch", default="build/release/bin/lumiva-batch")
    parser.add_argument("--startup", help="start-up probe executable (bench/startup_probe.cpp)")
    parser.add_argument("--legacy", action="append", default=[], help="also a small file in this encoding, both ways")
    parser.add_argument("--baseline", help="another lumiva-batch (main's build) beside the legacy cases")
    args = parser.parse_args()

    with tempfile.TemporaryDirectory(prefix="lmv-one-") as work:
        source = os.path.join(work, "small.txt")
        with open(source, "wb") as out:
            out.write(("Zwölf Boxkämpfer jagen Viktor quer über den großen Sylter Deich.\n" * 60).encode())
        out_dir = os.path.join(work, "out")
        os.makedirs(out_dir)
        target = os.path.join(out_dir, "small.txt")
        copy = os.path.join(work, "copy.txt")

        def fresh_output():
            if os.path.exists(target):
                os.remove(target)

        def empty_output():
            shutil.rmtree(out_dir)
            os.makedirs(out_dir)

        def fresh_copy():
            shutil.copyfile(source, copy)

        cases = [
            ("lumiva-batch", [args.batch, "--from", "UTF-8", "--to", "UTF-16", "--output-dir", out_dir, source],
             fresh_output),
            ("iconv", ["iconv", "-f", "UTF-8", "-t", "UTF-16", "-o", target, source], fresh_output),
        ]
        if shutil.which("recode"):
            cases.append(("recode", ["recode", "UTF-8..UTF-16", copy], fresh_copy))

        samples = ("Съешь же ещё этих мягких французских булок, да выпей чаю. 敏捷的棕色狐狸跳过了懒狗。"
                   "いろはにほへと ちりぬるを。 다람쥐 헌 쳇바퀴에 타고파.\n") * 40
        for encoding in args.legacy:
            legacy = os.path.join(work, f"small-{encoding}.txt")
            utf8 = os.path.join(work, f"small-{encoding}-utf8.txt")
            with open(legacy, "wb") as out:
                out.write(subprocess.run(["iconv", "-c", "-f", "UTF-8", "-t", encoding], input=samples.encode(),
                                         capture_output=True).stdout)
            with open(utf8, "wb") as out:
                out.write(subprocess.run(["iconv", "-f", encoding, "-t", "UTF-8", legacy], capture_output=True,
                                         check=True).stdout)
            builds = [("lumiva-batch", args.batch)] + ([("lumiva-batch (main)", args.baseline)] if args.baseline else [])
            for label, batch in builds:
                cases.append((f"{label}, {encoding} to UTF-8",
                              [batch, "--from", encoding, "--to", "UTF-8", "--output-dir", out_dir, legacy], empty_output))
                cases.append((f"{label}, UTF-8 to {encoding}",
                              [batch, "--from", "UTF-8", "--to", encoding, "--output-dir", out_dir, utf8], empty_output))

        print(f"{args.runs} runs each, load average {os.getloadavg()[0]:.2f} at the start")
        print("| tool | median wall (ms) | p10 | p90 | median CPU (ms) |")
        print("|---|---|---|---|---|")
        for name, cmd, prepare in cases:
            walls, cpus = timed(cmd, args.runs, prepare)
            walls.sort()
            p10 = walls[len(walls) // 10]
            p90 = walls[len(walls) * 9 // 10]
            print(f"| {name} | {statistics.median(walls) * 1000:.1f} | {p10 * 1000:.1f} | {p90 * 1000:.1f} | "
                  f"{statistics.median(cpus) * 1000:.1f} |")

    if args.startup:
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        samples = []
        names = 0
        for _ in range(max(args.runs // 5, 5)):
            start = time.monotonic()
            done = subprocess.run([args.startup], check=True, env=env, capture_output=True, text=True)
            shown, names = done.stdout.split()
            samples.append(float(shown) - start)
        print(f"\nWindow shown with {names} names: median {statistics.median(samples) * 1000:.0f} ms, "
              f"worst {max(samples) * 1000:.0f} ms over {len(samples)} starts")


if __name__ == "__main__":
    main()
