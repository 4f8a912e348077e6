#!/usr/bin/env python3
"""Runs Lumiva's conversion side by side with the tools people use today and prints tables of
medians and ratios in Markdown; --json also keeps them for bench/chart.py. Called by
bench/run.sh, which builds in Release and installs the peers.

Every timed run starts after `sync`, so that no run pays for another's dirty pages. The copy
floor of a case is the wall time of `cp` of a file as large as the larger of its source and its
result, on the same disk, in the same rounds."""

import argparse
import filecmp
import gzip
import json
import os
import random
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

# Source code and logs: ASCII with a non-ASCII character now and then.
ASCII_LINES = [
    "    if (result == Failure && errno == EILSEQ) // the C library stops here\n",
    "2026-12-07 11:02:17.441 INFO  worker[3] converted /srv/data/report-0042.txt (4096 bytes)\n",
    "    for (std::size_t i = 0; i < count; ++i)\n",
    "        total += values[i] * weights[i];\n",
    "2026-12-07 11:02:17.502 WARN  retry in 250 ms: connection reset by peer\n",
    "# Überblick: the café's menu costs 5 €\n",
    "}\n",
]

LATIN1_WORDS = ["Zwölf", "Boxkämpfer", "jagen", "Viktor", "quer", "über", "den", "großen", "Deich", "Le", "garçon",
                "déçu", "mais", "l'âme", "plutôt", "naïve", "à", "Noël", "señor", "año", "the", "and", "of"]


def write_repeated(path, block, size):
    """`size` bytes of `block` repeated, cut at a whole line."""
    with open(path, "wb") as out:
        written = 0
        while written + len(block) <= size:
            out.write(block)
            written += len(block)
        rest = block[: size - written]
        rest = rest[: rest.rfind(b"\n") + 1]
        out.write(rest)


def make_text(path, size):
    """Mixed-script UTF-8 (Latin, Cyrillic, Greek, CJK), whole lines."""
    rng = random.Random(42)
    block = "".join(rng.choice(SAMPLES) for _ in range(4096)) + "\n"
    write_repeated(path, block.encode("utf-8"), size)


def make_ascii_text(path, size):
    rng = random.Random(11)
    block = "".join(rng.choice(ASCII_LINES) for _ in range(20000))
    write_repeated(path, block.encode("utf-8"), size)


def make_latin1_text(path, size):
    rng = random.Random(13)
    lines = []
    for _ in range(4000):
        lines.append(" ".join(rng.choice(LATIN1_WORDS) for _ in range(12)) + ".\n")
    write_repeated(path, "".join(lines).encode("latin-1"), size)


def make_cyrillic_text(path, size):
    """Text that ISO-8859-5 can mostly hold, with some characters to transliterate."""
    rng = random.Random(7)
    words = ["Съешь", "же", "ещё", "этих", "мягких", "французских", "булок", "—", "«чаю»", "€5", "№1", "Zürich"]
    block = (" ".join(rng.choice(words) for _ in range(20000)) + "\n").encode("utf-8")
    write_repeated(path, block, size)


def man_pages(language):
    """The man pages Debian installed in one language (bench deps: manpages-ru, -ja, -zh and the
    pages other packages bring), as their UTF-8 roff source, in a fixed order."""
    pages = []
    for root, _, files in sorted(os.walk(os.path.join("/usr/share/man", language))):
        for name in sorted(files):
            if not name.endswith(".gz"):
                continue
            with gzip.open(os.path.join(root, name)) as page:
                data = page.read()
            try:
                data.decode("utf-8")
            except UnicodeDecodeError:
                continue
            pages.append(data)
    return b"".join(pages)


def make_legacy_text(path, size, language, encoding):
    """Man pages of a language in a legacy encoding, what it lacks dropped by iconv -c, repeated."""
    done = subprocess.run(["iconv", "-c", "-f", "UTF-8", "-t", encoding], input=man_pages(language), capture_output=True)
    if len(done.stdout) < 256 * 1024:
        raise RuntimeError(f"too little {language} man page text for {encoding}: install the bench's packages")
    write_repeated(path, done.stdout, size)


def run(cmd, stdout=None):
    """Wall time in seconds, peak resident memory in KiB and CPU time (user and system) in seconds
    of one child, after a sync. GNU time reads them: a child of this script would report this
    script's own peak when larger. CPU time is what to compare on a loaded machine."""
    os.sync()
    fd = os.open(stdout or os.devnull, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    # One file per process: benches run side by side on a shared machine would read each other's.
    peak_file = os.path.join(tempfile.gettempdir(), f"peak-rss.{os.getpid()}")
    try:
        start = time.perf_counter()
        pid = os.posix_spawn("/usr/bin/time", ["/usr/bin/time", "-f", "%M %U %S", "-o", peak_file, *cmd], os.environ,
                             file_actions=[(os.POSIX_SPAWN_DUP2, fd, 1)])
        _, status = os.waitpid(pid, 0)
        elapsed = time.perf_counter() - start
    finally:
        os.close(fd)
    code = os.waitstatus_to_exitcode(status)
    if code != 0:
        raise RuntimeError(f"{' '.join(cmd)} exited with {code}")
    with open(peak_file) as peak:
        rss, user, system = peak.read().split()[-3:]
    os.unlink(peak_file)
    return elapsed, int(rss), float(user) + float(system)


def make_small_files(folder, count):
    """count UTF-8 files of up to 4 KiB in folder, the same at every call; their names."""
    rng = random.Random(3)
    names = []
    for i in range(count):
        text = "".join(rng.choice(SAMPLES) for _ in range(80)).encode("utf-8")[:4096]
        while text and (text[-1] & 0xC0) == 0x80:
            text = text[:-1]
        if text and text[-1] >= 0xC0:
            text = text[:-1]
        name = os.path.join(folder, f"f{i:05}.txt")
        with open(name, "wb") as f:
            f.write(text)
        names.append(name)
    return names


def measure(cases, repetitions):
    """cases: list of (label, prepare, command, stdout). Runs them in alternating rounds; medians."""
    times = {label: [] for label, *_ in cases}
    memory = {label: [] for label, *_ in cases}
    cpu = {label: [] for label, *_ in cases}
    for _ in range(repetitions):
        for label, prepare, cmd, stdout in cases:
            if prepare:
                prepare()
            elapsed, rss, used = run(cmd, stdout)
            times[label].append(elapsed)
            memory[label].append(rss)
            cpu[label].append(used)
    return {label: {"seconds": statistics.median(times[label]), "spread": spread(times[label]),
                    "rss_mib": max(memory[label]) / 1024, "cpu": statistics.median(cpu[label])} for label in times}


def cpu_ratio(part, whole):
    """None where the whole took less CPU time than GNU time shows (10 ms): small test runs."""
    return part / whole if whole else None


def spread(samples):
    middle = statistics.median(samples)
    return (max(samples) - min(samples)) / middle if middle else 0.0


def rewrite(path):
    """The file written again in 64 MiB writes, as floor_file writes the copy floor's file: the
    page cache keeps a file in pieces as large as the writes that made it (4 KiB for iconv's
    output), and large pieces read faster (298 MB: 0.04 to 0.05 s against 0.03 s), so that the tools
    and cp read files made alike."""
    fresh = path + ".new"
    with open(path, "rb") as src, open(fresh, "wb") as out:
        while chunk := src.read(64 * MIB):
            out.write(chunk)
    os.replace(fresh, path)


def floor_file(work, source, result_size):
    """A file for the copy floor: as large as the larger of the source and the result."""
    path = os.path.join(work, "floor.bin")
    size = max(os.path.getsize(source), result_size)
    with open(source, "rb") as src, open(path, "wb") as out:
        while out.tell() < size:
            chunk = src.read(min(64 * MIB, size - out.tell()))
            if not chunk:
                src.seek(0)
                continue
            out.write(chunk)
    return path


def table(title, results, bases):
    heads = " | ".join(f"time / {base}" for base in bases)
    lines = [f"### {title}", "", f"| tool | median wall (s) | spread | median CPU (s) | peak RSS (MiB) | {heads} |",
             "|---|---|---|---|---|" + "---|" * len(bases)]
    for label, r in results.items():
        ratios = " | ".join(f"{r['seconds'] / results[base]['seconds']:.2f}" for base in bases)
        lines.append(f"| {label} | {r['seconds']:.3f} | {r['spread'] * 100:.0f} % | {r['cpu']:.3f} | {r['rss_mib']:.1f} | {ratios} |")
    return "\n".join(lines) + "\n"


class Bench:
    def __init__(self, args, work):
        self.args = args
        self.work = work
        self.batch = os.path.join(args.bin, "lumiva-batch")
        self.baseline = os.path.join(args.baseline_bin, "lumiva-batch") if args.baseline_bin else None
        self.out = os.path.join(work, "out")
        self.out_main = os.path.join(work, "out-main")
        os.makedirs(self.out)
        os.makedirs(self.out_main)
        self.report = []
        self.cases = []  # for the chart and the targets: title, results, floor label
        self.targets = []
        self.legacy_peak = 0.0  # MiB, the largest of lumiva-batch's in the legacy cases

    def clean_out(self):
        for name in os.listdir(self.out):
            path = os.path.join(self.out, name)
            shutil.rmtree(path) if os.path.isdir(path) else os.unlink(path)

    def clean_out_main(self):
        for name in os.listdir(self.out_main):
            os.unlink(os.path.join(self.out_main, name))

    def target(self, what, value, limit, cpu=None):
        """cpu: the same ratio in CPU time, where the measure is one of time."""
        self.targets.append({"what": what, "value": value, "limit": limit, "met": value <= limit, "cpu": cpu})

    def large_case(self, title, source, from_code, to_code, peers, translation=None):
        """One large file: lumiva-batch (and the baseline build), iconv, optional peers, copy floor."""
        lumiva = [self.batch, "--from", from_code, "--to", to_code]
        if translation:
            lumiva += ["--translation", translation]
        iconv_to = to_code + ("//TRANSLIT" if translation == "transliterate" else "")
        rewrite(source)
        iconv_out = os.path.join(self.work, "iconv.out")
        run(["iconv", "-f", from_code, "-t", iconv_to, source], iconv_out)
        floor = floor_file(self.work, source, os.path.getsize(iconv_out))
        cases = [("lumiva-batch", self.clean_out, lumiva + ["--output-dir", self.out, source], None)]
        if self.baseline:
            base = [self.baseline] + lumiva[1:] + ["--output-dir", self.out_main, source]
            cases.append(("lumiva-batch (main)", self.clean_out_main, base, None))
        # Every tool writes a new file, as lumiva-batch does into its emptied folder: replacing
        # last round's result would add the freeing of its blocks to the tool's time.
        def removing(path):
            return lambda: os.path.exists(path) and os.unlink(path)

        cases.append(("iconv", removing(iconv_out), ["iconv", "-f", from_code, "-t", iconv_to, source], iconv_out))
        for label, cmd, out_name in peers:
            out_path = os.path.join(self.work, out_name)
            cases.append((label, removing(out_path), cmd, out_path))
        cp_out = os.path.join(self.work, "cp.out")
        cases.append(("cp", removing(cp_out), ["cp", floor, cp_out], None))
        results = measure(cases, self.args.repetitions)
        if not filecmp.cmp(os.path.join(self.out, os.path.basename(source)), iconv_out, shallow=False):
            raise RuntimeError(f"lumiva-batch and iconv disagree: {title}")
        for name in ("iconv.out", "cp.out", "floor.bin", *[p[2] for p in peers]):
            path = os.path.join(self.work, name)
            if os.path.exists(path):
                os.unlink(path)
        self.clean_out()
        self.clean_out_main()
        self.report.append(table(title, results, ["iconv", "cp"]))
        self.cases.append({"title": title, "results": results, "floor": "cp"})
        return results

    def large_cases(self):
        mib = self.args.large_mib
        big = os.path.join(self.work, "mixed.txt")
        make_text(big, mib * MIB)
        r = self.large_case(f"{mib} MiB mixed-script UTF-8 to UTF-16", big, "UTF-8", "UTF-16",
                            [("uconv", ["uconv", "-f", "UTF-8", "-t", "UTF-16", big], "uconv.out")])
        self.target(f"{mib} MiB mixed-script UTF-8 to UTF-16: time / iconv", r["lumiva-batch"]["seconds"] / r["iconv"]["seconds"], 0.45)
        self.target(f"{mib} MiB mixed-script UTF-8 to UTF-16: time / copy floor", r["lumiva-batch"]["seconds"] / r["cp"]["seconds"], 1.8)
        self.peak_memory(big)
        os.unlink(big)

        self.both_ways("mostly-ASCII", make_ascii_text, "UTF-8", "UTF-16", 1.2)
        self.both_ways("Latin-1", make_latin1_text, "ISO-8859-1", "UTF-8", 1.3)

        cyr = os.path.join(self.work, "cyr.txt")
        make_cyrillic_text(cyr, mib * MIB)
        r = self.large_case(f"{mib} MiB Cyrillic UTF-8 to ISO-8859-5, Transliterate", cyr, "UTF-8", "ISO-8859-5",
                            [("uconv", ["uconv", "-f", "UTF-8", "-t", "ISO-8859-5", "--callback", "substitute", cyr],
                              "uconv.out")], translation="transliterate")
        if self.baseline:
            self.target("transliteration: time / main's build", r["lumiva-batch"]["seconds"] / r["lumiva-batch (main)"]["seconds"], 1.1)
        os.unlink(cyr)

    def legacy_cases(self):
        """Real man-page text in legacy encodings, to UTF-8 and back (the UTF-8 that iconv made)."""
        mib = self.args.large_mib
        cases = [("Russian", "ru", "WINDOWS-1251", "windows-1251", False),
                 ("Chinese", "zh_CN", "GBK", "GBK", True),
                 ("Japanese", "ja", "CP932", "cp932", True),
                 ("Korean", "ko", "CP949", "windows-949", True)]
        for language, folder, encoding, icu_name, double in cases:
            if self.args.case and not any(word.lower() in f"{language} {encoding}".lower() for word in self.args.case):
                continue
            legacy = os.path.join(self.work, "legacy.txt")
            utf8 = os.path.join(self.work, "legacy-utf8.txt")
            make_legacy_text(legacy, mib * MIB, folder, encoding)
            run(["iconv", "-f", encoding, "-t", "UTF-8", legacy], utf8)
            for source, from_code, to_code, from_icu, to_icu in ((legacy, encoding, "UTF-8", icu_name, "UTF-8"),
                                                                 (utf8, "UTF-8", encoding, "UTF-8", icu_name)):
                title = f"{mib} MiB {language} man pages {from_code} to {to_code}"
                r = self.large_case(title, source, from_code, to_code,
                                    [("uconv", ["uconv", "-f", from_icu, "-t", to_icu, source], "uconv.out")])
                lumiva = r["lumiva-batch"]["seconds"]
                self.legacy_peak = max(self.legacy_peak, r["lumiva-batch"]["rss_mib"])
                cpu = r["lumiva-batch"]["cpu"]
                self.target(f"{title}: time / copy floor", lumiva / r["cp"]["seconds"], 3 if double else 1.5,
                            cpu_ratio(cpu, r["cp"]["cpu"]))
                if double:
                    best = min(r["iconv"]["seconds"], r["uconv"]["seconds"])
                    self.target(f"{title}: time / best of iconv and uconv", lumiva / best, 0.3,
                                cpu_ratio(cpu, min(r["iconv"]["cpu"], r["uconv"]["cpu"])))
            os.unlink(legacy)
            os.unlink(utf8)
        if self.legacy_peak:
            self.target("peak memory of the legacy cases (MiB)", self.legacy_peak, 64)
        if self.args.case and not any(word.lower() in "no fast path utf-7" for word in self.args.case):
            return
        # UTF-7 keeps a state: the C library converts it, as before.
        cyr = os.path.join(self.work, "cyr.txt")
        make_cyrillic_text(cyr, mib * MIB)
        r = self.large_case(f"{mib} MiB Cyrillic UTF-8 to UTF-7 (no fast path)", cyr, "UTF-8", "UTF-7",
                            [("uconv", ["uconv", "-f", "UTF-8", "-t", "UTF-7", cyr], "uconv.out")])
        if self.baseline:
            self.target("no fast path: time / main's build", r["lumiva-batch"]["seconds"] / r["lumiva-batch (main)"]["seconds"], 1.1,
                        cpu_ratio(r["lumiva-batch"]["cpu"], r["lumiva-batch (main)"]["cpu"]))
        os.unlink(cyr)

    def both_ways(self, what, make, first, second, limit):
        """A text made in `first`, converted to `second`, and iconv's result of that converted back."""
        mib = self.args.large_mib
        source = os.path.join(self.work, "there.txt")
        make(source, mib * MIB)
        for from_code, to_code in ((first, second), (second, first)):
            title = f"{mib} MiB {what} {from_code} to {to_code}"
            r = self.large_case(title, source, from_code, to_code, [])
            self.target(f"{title}: time / copy floor", r["lumiva-batch"]["seconds"] / r["cp"]["seconds"], limit)
            back = os.path.join(self.work, "back.txt")
            run(["iconv", "-f", from_code, "-t", to_code, source], back)
            os.replace(back, source)
        os.unlink(source)

    def peak_memory(self, big):
        lines = ["### Peak memory of lumiva-batch against input size (mixed-script UTF-8 to UTF-16)", "",
                 "| input | peak RSS (MiB) | wall (s) |", "|---|---|---|"]
        worst = 0.0
        for mib in (16, self.args.large_mib, self.args.huge_mib):
            path = big if mib == self.args.large_mib else os.path.join(self.work, f"in{mib}.txt")
            if path != big:
                make_text(path, mib * MIB)
            self.clean_out()
            elapsed, rss, _ = run([self.batch, "--to", "UTF-16", "--output-dir", self.out, path])
            lines.append(f"| {mib} MiB | {rss / 1024:.1f} | {elapsed:.2f} |")
            worst = max(worst, rss / 1024)
            if path != big:
                os.unlink(path)
            self.clean_out()
        self.target("peak memory at 16 MiB, the large size and 1 GiB (MiB)", worst, 64)
        self.report.append("\n".join(lines) + "\n")

    def small_files(self):
        """Many small files to an output folder, all on a RAM disk so that the disk's noise is out."""
        shm = tempfile.mkdtemp(prefix="lmvbench-", dir="/dev/shm" if os.path.isdir("/dev/shm") else self.work)
        try:
            small = os.path.join(shm, "small")
            copies = os.path.join(shm, "copies")
            out = os.path.join(shm, "out")
            cp_out = os.path.join(shm, "cp-out")
            os.makedirs(small)
            os.makedirs(out)
            names = make_small_files(small, self.args.small_files)
            listfile = os.path.join(shm, "list.txt")
            with open(listfile, "w") as f:
                f.write("\n".join(names) + "\n")

            def clean():
                shutil.rmtree(out, ignore_errors=True)
                os.makedirs(out)

            def fresh_copies():
                shutil.rmtree(copies, ignore_errors=True)
                shutil.copytree(small, copies)

            def no_cp_out():
                shutil.rmtree(cp_out, ignore_errors=True)

            cases = [("lumiva-batch", clean, [self.batch, "--to", "UTF-16", "--output-dir", out, "--list", listfile], None)]
            if self.baseline:
                cases.append(("lumiva-batch (main)", clean, [self.baseline, "--to", "UTF-16", "--output-dir", out, "--list", listfile], None))
            cases += [("recode (one batch call)", fresh_copies, ["sh", "-c", f"cd {copies} && recode UTF-8..UTF-16 *.txt"], None),
                      ("cp -r", no_cp_out, ["cp", "-r", small, cp_out], None)]
            results = measure(cases, max(5, self.args.repetitions))
            title = f"{self.args.small_files} files of about 4 KiB, UTF-8 to UTF-16, on a RAM disk"
            self.report.append(table(title, results, ["recode (one batch call)", "cp -r"]))
            self.cases.append({"title": title, "results": results, "floor": "cp -r"})
            self.target("2,000 small files: time / recode", results["lumiva-batch"]["seconds"] / results["recode (one batch call)"]["seconds"], 0.7)
            self.target("2,000 small files: time / cp -r", results["lumiva-batch"]["seconds"] / results["cp -r"]["seconds"], 2.5)

            # One small file, as scripts that convert file by file pay it.
            one = names[0]
            one_out = os.path.join(shm, "one.out")

            def one_copy():
                shutil.copyfile(one, os.path.join(shm, "one-copy.txt"))

            cases = [("lumiva-batch", clean, [self.batch, "--to", "UTF-16", "--output-dir", out, one], None)]
            if self.baseline:
                cases.append(("lumiva-batch (main)", clean, [self.baseline, "--to", "UTF-16", "--output-dir", out, one], None))
            cases += [("iconv", None, ["iconv", "-f", "UTF-8", "-t", "UTF-16", one], one_out),
                      ("recode", one_copy, ["recode", "UTF-8..UTF-16", os.path.join(shm, "one-copy.txt")], None),
                      ("cp", None, ["cp", one, one_out], None)]
            results = measure(cases, max(21, self.args.repetitions))
            title = "One file of 4 KiB, UTF-8 to UTF-16, on a RAM disk"
            self.report.append(table(title, results, ["iconv", "cp"]))
            self.cases.append({"title": title, "results": results, "floor": "cp"})
            self.target("one small file: wall (ms)", results["lumiva-batch"]["seconds"] * 1000, 8)
        finally:
            shutil.rmtree(shm, ignore_errors=True)

    def startup(self):
        samples = []
        env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
        names = 0
        for _ in range(max(self.args.repetitions, 10)):
            start = time.monotonic()
            done = subprocess.run([self.args.startup], check=True, env=env, capture_output=True, text=True)
            shown, names = done.stdout.split()
            samples.append(float(shown) - start)
        self.report.append("### Start-up to a shown main window with every encoding (offscreen)\n\n"
                           f"median {statistics.median(samples):.3f} s, worst {max(samples):.3f} s over "
                           f"{len(samples)} starts; {names} names in each encoding box\n")

    def targets_table(self):
        lines = ["### Targets", "", "| what | measured | in CPU time | target | met |", "|---|---|---|---|---|"]
        for t in self.targets:
            cpu = "" if t.get("cpu") is None else f"{t['cpu']:.2f}"
            lines.append(f"| {t['what']} | {t['value']:.2f} | {cpu} | <= {t['limit']:g} | {'yes' if t['met'] else 'no'} |")
        return "\n".join(lines) + "\n"


def cpu_flags():
    try:
        with open("/proc/cpuinfo") as info:
            for line in info:
                if line.startswith("flags"):
                    flags = set(line.split(":", 1)[1].split())
                    return " ".join(f for f in ("sse2", "ssse3", "sse4_1", "sse4_2", "avx", "avx2", "bmi2", "avx512f", "avx512bw", "avx512vbmi", "avx512_vbmi2") if f in flags)
    except OSError:
        pass
    return "unknown"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder with lumiva-batch")
    parser.add_argument("--baseline-bin", help="folder with a lumiva-batch built from main, for comparison")
    parser.add_argument("--repetitions", type=int, default=5)
    parser.add_argument("--large-mib", type=int, default=256)
    parser.add_argument("--huge-mib", type=int, default=1024)
    parser.add_argument("--small-files", type=int, default=2000)
    parser.add_argument("--startup", help="start-up probe executable")
    parser.add_argument("--blocks", help="which block code the fast path runs here (avx512, avx2, sse2)")
    parser.add_argument("--json", help="also write the results here, for bench/chart.py")
    parser.add_argument("--only", choices=["large", "legacy", "small"], help="run one group of cases")
    parser.add_argument("--case", action="append",
                        help="with --only legacy: only the languages or encodings named (Russian, GBK...); repeatable")
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="lmvbench-")
    os.environ["TMPDIR"] = work
    bench = Bench(args, work)
    load_before = os.getloadavg()
    try:
        if args.only in (None, "large"):
            bench.large_cases()
        if args.only in (None, "legacy"):
            bench.legacy_cases()
        if args.only in (None, "small"):
            bench.small_files()
        if args.startup and args.only is None:
            bench.startup()
    finally:
        shutil.rmtree(work, ignore_errors=True)
        # What was measured before a failure still counts.
        report(args, bench, load_before)


def report(args, bench, load_before):
    load_after = os.getloadavg()
    print(f"Date: {time.strftime('%Y-%m-%d %H:%M %Z')}, cores: {os.cpu_count()}, repetitions: {args.repetitions}, "
          f"load average before {load_before[0]:.2f}, after {load_after[0]:.2f}\n")
    print(f"CPU flags: {cpu_flags()}; fast path blocks: {args.blocks or 'unknown'}\n")
    print(bench.targets_table())
    print("\n".join(bench.report))
    if args.json:
        with open(args.json, "w") as out:
            json.dump({"cases": bench.cases, "targets": bench.targets}, out, indent=1)


if __name__ == "__main__":
    main()
