#!/usr/bin/env python3
"""Runs Lumiva's conversion side by side with the tools people use today and prints a table of
medians and ratios. Called by bench/run.sh, which builds in Release and installs the peers."""

import argparse
import os
import random
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MIB = 1024 * 1024

SAMPLES = [
    "The quick brown fox jumps over the lazy dog. ",
    "Съешь же ещё этих мягких французских булок, да выпей чаю. ",
    "Ξεσκεπάζω την ψυχοφθόρα βδελυγμία. ",
    "敏捷的棕色狐狸跳过了懒狗。",
    "いろはにほへと ちりぬるを わかよたれそ。",
    "Zwölf Boxkämpfer jagen Viktor quer über den großen Sylter Deich.\n",
]


def make_text(path, size):
    """Mixed-script UTF-8 (Latin, Cyrillic, Greek, CJK) of about `size` bytes, whole lines."""
    rng = random.Random(42)
    block = "".join(rng.choice(SAMPLES) for _ in range(4096)).encode("utf-8")
    with open(path, "wb") as out:
        written = 0
        while written < size:
            chunk = block[: size - written]
            # Never cut a character in two.
            while chunk and (chunk[-1] & 0xC0) == 0x80:
                chunk = chunk[:-1]
            if chunk and chunk[-1] >= 0xC0:
                chunk = chunk[:-1]
            out.write(chunk)
            written += len(chunk)
            if len(chunk) == 0:
                break


def make_cyrillic_text(path, size):
    """Text that ISO-8859-5 can mostly hold, with some characters to transliterate."""
    rng = random.Random(7)
    words = ["Съешь", "же", "ещё", "этих", "мягких", "французских", "булок", "—", "«чаю»", "€5", "№1", "Zürich"]
    block = (" ".join(rng.choice(words) for _ in range(20000)) + "\n").encode("utf-8")
    with open(path, "wb") as out:
        written = 0
        while written + len(block) <= size:
            out.write(block)
            written += len(block)


def run(cmd, stdout=None, cwd=None):
    """Wall time in seconds and peak resident memory in KiB of one child."""
    start = time.perf_counter()
    pid = os.fork()
    if pid == 0:
        try:
            if cwd:
                os.chdir(cwd)
            if stdout:
                fd = os.open(stdout, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
                os.dup2(fd, 1)
            else:
                fd = os.open(os.devnull, os.O_WRONLY)
                os.dup2(fd, 1)
            os.execvp(cmd[0], cmd)
        except Exception as error:  # noqa: BLE001
            print(error, file=sys.stderr)
        os._exit(127)
    _, status, usage = os.wait4(pid, 0)
    elapsed = time.perf_counter() - start
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        raise RuntimeError(f"{' '.join(cmd)} exited with {code}")
    return elapsed, usage.ru_maxrss


def shell_loop(script):
    return ["sh", "-c", script]


def measure(cases, repetitions):
    """cases: list of (label, prepare, command, stdout). Runs them alternating; medians."""
    times = {label: [] for label, *_ in cases}
    memory = {label: [] for label, *_ in cases}
    for _ in range(repetitions):
        for label, prepare, cmd, stdout in cases:
            if prepare:
                prepare()
            elapsed, rss = run(cmd, stdout)
            times[label].append(elapsed)
            memory[label].append(rss)
    return {label: (statistics.median(times[label]), max(memory[label])) for label in times}


def table(title, results, base):
    lines = [f"### {title}", "", "| tool | median wall (s) | peak RSS (MiB) | time / " + base + " |", "|---|---|---|---|"]
    base_time = results[base][0]
    for label, (seconds, rss) in results.items():
        lines.append(f"| {label} | {seconds:.3f} | {rss / 1024:.1f} | {seconds / base_time:.2f} |")
    return "\n".join(lines) + "\n"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder with lumiva-batch")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--large-mib", type=int, default=256)
    parser.add_argument("--huge-mib", type=int, default=1024)
    parser.add_argument("--small-files", type=int, default=2000)
    parser.add_argument("--startup", help="start-up probe executable")
    args = parser.parse_args()

    batch = os.path.join(args.bin, "lumiva-batch")
    work = tempfile.mkdtemp(prefix="lmvbench-")
    os.environ["TMPDIR"] = work
    report = []
    try:
        out = os.path.join(work, "out")
        os.makedirs(out)
        big = os.path.join(work, "big.txt")
        make_text(big, args.large_mib * MIB)

        def clean_out():
            for name in os.listdir(out):
                os.unlink(os.path.join(out, name))

        # 1a. One large file to UTF-16.
        results = measure([
            ("lumiva-batch", clean_out, [batch, "--from", "UTF-8", "--to", "UTF-16", "--output-dir", out, big], None),
            ("iconv", None, ["iconv", "-f", "UTF-8", "-t", "UTF-16", big], os.path.join(work, "iconv.out")),
            ("uconv", None, ["uconv", "-f", "UTF-8", "-t", "UTF-16", big], os.path.join(work, "uconv.out")),
            ("cp", None, ["cp", big, os.path.join(work, "cp.out")], None),
        ], args.repetitions)
        report.append(table(f"{args.large_mib} MiB mixed-script UTF-8 to UTF-16", results, "iconv"))
        with open(os.path.join(out, "big.txt"), "rb") as a, open(os.path.join(work, "iconv.out"), "rb") as b:
            if a.read() != b.read():
                raise RuntimeError("lumiva-batch and iconv disagree on UTF-16 output")

        # 1b. To ISO-8859-5 with transliteration.
        cyr = os.path.join(work, "cyr.txt")
        make_cyrillic_text(cyr, args.large_mib * MIB)
        results = measure([
            ("lumiva-batch", clean_out, [batch, "--from", "UTF-8", "--to", "ISO-8859-5", "--translation", "transliterate", "--output-dir", out, cyr], None),
            ("iconv", None, ["iconv", "-f", "UTF-8", "-t", "ISO-8859-5//TRANSLIT", cyr], os.path.join(work, "iconv.out")),
            ("uconv", None, ["uconv", "-f", "UTF-8", "-t", "ISO-8859-5", "--callback", "substitute", cyr], os.path.join(work, "uconv.out")),
            ("cp", None, ["cp", cyr, os.path.join(work, "cp.out")], None),
        ], args.repetitions)
        report.append(table(f"{args.large_mib} MiB Cyrillic UTF-8 to ISO-8859-5, Transliterate", results, "iconv"))
        os.unlink(cyr)

        # 2. Memory against size.
        lines = ["### Peak memory of lumiva-batch against input size", "", "| input | peak RSS (MiB) | wall (s) |", "|---|---|---|"]
        for mib in (16, args.large_mib, args.huge_mib):
            path = big if mib == args.large_mib else os.path.join(work, f"in{mib}.txt")
            if path != big:
                make_text(path, mib * MIB)
            clean_out()
            elapsed, rss = run([batch, "--to", "UTF-16", "--output-dir", out, path])
            lines.append(f"| {mib} MiB | {rss / 1024:.1f} | {elapsed:.2f} |")
            if path != big:
                os.unlink(path)
            clean_out()
        report.append("\n".join(lines) + "\n")
        for name in ("iconv.out", "uconv.out", "cp.out"):
            if os.path.exists(os.path.join(work, name)):
                os.unlink(os.path.join(work, name))

        # 3. Many small files.
        small = os.path.join(work, "small")
        copies = os.path.join(work, "copies")
        loop_out = os.path.join(work, "loop")
        os.makedirs(small)
        os.makedirs(loop_out)
        rng = random.Random(3)
        names = []
        for i in range(args.small_files):
            text = "".join(rng.choice(SAMPLES) for _ in range(80)).encode("utf-8")[:4096]
            while text and (text[-1] & 0xC0) == 0x80:
                text = text[:-1]
            if text and text[-1] >= 0xC0:
                text = text[:-1]
            name = os.path.join(small, f"f{i:05}.txt")
            with open(name, "wb") as f:
                f.write(text)
            names.append(name)
        listfile = os.path.join(work, "list.txt")
        with open(listfile, "w") as f:
            f.write("\n".join(names) + "\n")

        def fresh_copies():
            shutil.rmtree(copies, ignore_errors=True)
            shutil.copytree(small, copies)

        results = measure([
            ("lumiva-batch", clean_out, [batch, "--to", "UTF-16", "--output-dir", out, "--list", listfile], None),
            ("recode (one batch call)", fresh_copies, ["sh", "-c", f"cd {copies} && recode UTF-8..UTF-16 *.txt"], None),
            ("iconv (one call per file)", None, shell_loop(f"for f in {small}/*.txt; do iconv -f UTF-8 -t UTF-16 \"$f\" > {loop_out}/$(basename \"$f\"); done"), None),
        ], max(3, args.repetitions // 2))
        report.append(table(f"{args.small_files} files of about 4 KiB, UTF-8 to UTF-16", results, "recode (one batch call)"))

        # 4. Start-up to a shown window.
        if args.startup:
            samples = []
            env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
            names = 0
            for _ in range(max(args.repetitions, 10)):
                start = time.monotonic()
                done = subprocess.run([args.startup], check=True, env=env, capture_output=True, text=True)
                shown, names = done.stdout.split()
                samples.append(float(shown) - start)
            report.append("### Start-up to a shown main window with every encoding (offscreen)\n\n"
                          f"median {statistics.median(samples):.3f} s, worst {max(samples):.3f} s over "
                          f"{len(samples)} starts; {names} names in each encoding box\n")
    finally:
        shutil.rmtree(work, ignore_errors=True)

    print(f"Date: {time.strftime('%Y-%m-%d')}, cores: {os.cpu_count()}, repetitions: {args.repetitions}\n")
    print("\n".join(report))


if __name__ == "__main__":
    main()
