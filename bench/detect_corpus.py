#!/usr/bin/python3
"""Scores encoding detection on real prose: Lumiva's detector beside uchardet, enca, ICU,
chardet and charset_normalizer.

The corpus is made here, in a temporary folder, from the translated man pages of Debian's
manpages-* packages: paragraphs of prose in each language, encoded into the legacy encodings
that people meet for it and into the Unicode forms, cut at about 200 bytes, 1 KiB and 8 KiB,
plus a few binary files. An answer is right when decoding the file by it gives the original
text (a leading U+FEFF is ignored), wrong when it gives anything else or cannot decode, refused
when there is none.

    bench/detect_corpus.py --probe build/release/bin/lumiva-detect-probe [--markdown]
"""

import argparse
import collections
import gzip
import os
import random
import re
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

MAN = "/usr/share/man"

# Language folder, enca's language (None: enca knows no 8-bit encodings for it), encodings.
LANGUAGES = [
    ("fr", None, ["cp1252", "latin-1", "cp850"]),
    ("de", None, ["cp1252", "iso8859-15", "cp850"]),
    ("es", None, ["cp1252", "cp850"]),
    ("it", None, ["cp1252", "latin-1"]),
    ("pt_BR", None, ["cp1252", "cp850"]),
    ("pl", "pl", ["cp1250", "iso8859-2", "cp852"]),
    ("cs", "cs", ["cp1250", "iso8859-2", "cp852"]),
    ("hu", "hu", ["cp1250", "iso8859-2", "cp852"]),
    ("ru", "ru", ["cp1251", "koi8-r", "cp866"]),
    ("uk", "uk", ["cp1251", "koi8-u", "cp866"]),
    ("el", None, ["cp1253", "iso8859-7"]),
    ("tr", None, ["cp1254"]),
    ("ja", None, ["cp932", "euc-jp"]),
    ("zh_CN", "zh", ["gb18030", "gb2312"]),
    ("zh_TW", "zh", ["big5"]),
    ("ko", None, ["cp949", "euc-kr"]),
]
UNICODE_LANGUAGES = ["fr", "pl", "ru", "el", "ja", "zh_CN", "ko"]
UNICODE_FORMS = [
    ("utf-8", b""), ("utf-8", b"\xef\xbb\xbf"),
    ("utf-16-le", b"\xff\xfe"), ("utf-16-be", b"\xfe\xff"), ("utf-16-le", b""), ("utf-16-be", b""),
    ("utf-32-le", b"\xff\xfe\x00\x00"), ("utf-32-be", b"\x00\x00\xfe\xff"), ("utf-32-le", b""), ("utf-32-be", b""),
]
SIZES = [200, 1024, 8192]
SAMPLES = 4  # excerpts per language, encoding and size

# Typographic signs that the legacy encodings of the time did not have: a writer of such a file
# typed the plain ones.
PLAIN = {"\u2019": "'", "\u2018": "'", "\u201c": '"', "\u201d": '"', "\u2013": "-", "\u2014": "-",
         "\u2026": "...", "\u00a0": " ", "\u2010": "-", "\u2011": "-", "\u202f": " ", "\u2212": "-"}


def man_prose(folder):
    """Paragraphs of prose from a language's man pages, markup removed."""
    paragraphs = []
    root = os.path.join(MAN, folder)
    for dirpath, _, files in sorted(os.walk(root)):
        for f in sorted(files):
            # Character set tables are lists of signs, not prose.
            if not f.endswith(".gz") or re.match(r"(iso_8859|iso-8859|koi8|cp125|ascii|armscii|charsets|unicode|utf-?8|latin)", f):
                continue
            try:
                text = gzip.open(os.path.join(dirpath, f)).read().decode("utf-8")
            except (OSError, UnicodeDecodeError):
                continue
            current = []
            for line in text.splitlines():
                if line.startswith((".", "'")):
                    if current:
                        paragraphs.append(" ".join(current))
                        current = []
                    continue
                line = re.sub(r"\\f[BIRP]|\\f\(..|\\f\[[^]]*\]|\\[&/,:%]|\\s[-+]?\d", "", line)
                line = re.sub(r"\\\(..|\\\[[^]]*\]", "", line)
                line = line.replace("\\-", "-").replace("\\ ", " ").replace("\\e", "\\").replace("\\~", " ")
                line = line.strip()
                if line:
                    current.append(line)
            if current:
                paragraphs.append(" ".join(current))
    prose = []
    for p in paragraphs:
        letters = sum(c.isalpha() for c in p)
        if len(p) >= 60 and letters >= 0.6 * len(p) and sum(ord(c) > 127 for c in p) >= 2:
            prose.append("".join(PLAIN.get(c, c) for c in p))
    return prose


def excerpt(paragraphs, start, codec, size):
    """Whole paragraphs from start, then cut at a character so the encoding is about size bytes."""
    text = ""
    i = start
    while len(text.encode(codec)) < size and i < len(paragraphs):
        text += ("\n" if text else "") + paragraphs[i]
        i += 1
    while text and len(text.encode(codec)) > size:
        # Cut whole words where possible, as a short file ends.
        cut = text.rfind(" ", 0, max(1, len(text) - max(1, (len(text.encode(codec)) - size) // 4)))
        text = text[:cut] if cut > 0 else text[:-1]
    return text + "\n"


def build_corpus(folder, seed):
    rng = random.Random(seed)
    items = []  # (path, original text or None for binary, family, size)
    counter = 0

    def add(data, text, family, size, language):
        nonlocal counter
        counter += 1
        path = os.path.join(folder, "%04d" % counter)
        with open(path, "wb") as f:
            f.write(data)
        items.append((path, text, family, size, language))

    prose = {}
    for folder_name, _, codecs in LANGUAGES:
        prose[folder_name] = man_prose(folder_name)
        paragraphs = prose[folder_name]
        if not paragraphs:
            sys.exit("no prose for %s: install manpages-* (scripts/deps.sh bench)" % folder_name)
        for codec in codecs:
            for size in SIZES:
                made = tries = 0
                while made < SAMPLES and tries < 400:
                    tries += 1
                    text = excerpt(paragraphs, rng.randrange(len(paragraphs)), "utf-8", size * 3)
                    try:
                        text.encode(codec)
                    except UnicodeEncodeError:
                        continue
                    text = excerpt(text.split("\n"), 0, codec, size)
                    if sum(ord(c) > 127 for c in text) < 2:
                        continue
                    # Python's EUC-KR writes syllables outside KS X 1001 as jamo sequences,
                    # which no other program reads back.
                    if codec == "euc-kr" and b"\xa4\xd4" in text.encode(codec):
                        continue
                    # A text the codec does not give back unchanged was not written in it.
                    if text.encode(codec).decode(codec) != text:
                        continue
                    add(text.encode(codec), text, codec, size, folder_name)
                    made += 1
    for language in UNICODE_LANGUAGES:
        paragraphs = prose[language]
        for codec, mark in UNICODE_FORMS:
            family = codec + (" BOM" if mark else "")
            for size in SIZES:
                text = excerpt(paragraphs, rng.randrange(len(paragraphs)), "utf-8", size)
                add(mark + text.encode(codec), text, family, size, language)
    # Binary files: executable code, compressed data, an image, random bytes, a message catalog.
    binaries = []
    for path in ["/bin/ls", "/usr/share/man/fr/man1/ls.1.gz", "/usr/lib/x86_64-linux-gnu/libc.so.6"]:
        if os.path.exists(path):
            binaries.append(open(path, "rb").read())
    png = os.path.join(os.path.dirname(__file__), "..", "docs", "main-window.png")
    if os.path.exists(png):
        binaries.append(open(png, "rb").read())
    binaries.append(random.Random(3).randbytes(65536))
    high = random.Random(4)
    binaries.append(bytes(high.randrange(128, 256) for _ in range(65536)))
    for mo in ["/usr/share/locale/fr/LC_MESSAGES/coreutils.mo", "/usr/share/locale/de/LC_MESSAGES/libc.mo"]:
        if os.path.exists(mo):
            binaries.append(open(mo, "rb").read())
    for data in binaries:
        for size in SIZES:
            add(data[:size], None, "binary", size, "-")
    return items


def decode(data, name):
    """Text for a detector's answer, or None when the answer cannot decode the file."""
    try:
        text = data.decode(name)
    except LookupError:
        r = subprocess.run(["iconv", "-f", name, "-t", "UTF-8"], input=data, capture_output=True)
        if r.returncode != 0:
            return None
        try:
            text = r.stdout.decode("utf-8")
        except UnicodeDecodeError:
            return None
    except (UnicodeDecodeError, ValueError):
        return None
    return text[1:] if text.startswith("\ufeff") else text


def run_ours(probe, items, env_locale):
    env = dict(os.environ, LC_ALL=env_locale)
    names = "\n".join(path for path, *_ in items) + "\n"
    r = subprocess.run([probe], input=names.encode(), capture_output=True, env=env, check=True)
    answers = r.stdout.decode().split("\n")
    return [None if a == "-" else a for a in answers[:len(items)]]


def run_program(items, command):
    out = []
    for path, _, _, _, language in items:
        r = subprocess.run(command(path, language), capture_output=True)
        answer = r.stdout.decode(errors="replace").strip()
        if ":" in answer:
            answer = answer.rsplit(":", 1)[1].strip()
        out.append(None if answer in ("", "unknown", "???", "binary") or r.returncode != 0 else answer)
    return out


def enca_command(path, language):
    enca_language = dict((l, e) for l, e, _ in LANGUAGES).get(language)
    return ["enca", "-L", enca_language or "none", "-i", path]


def run_icu(items):
    import icu
    out = []
    for path, *_ in items:
        data = open(path, "rb").read()
        match = icu.CharsetDetector(data).detect()
        out.append(match.getName() if match is not None else None)
    return out


def run_chardet(items):
    import chardet
    return [chardet.detect(open(path, "rb").read())["encoding"] for path, *_ in items]


def run_charset_normalizer(items):
    import charset_normalizer
    out = []
    for path, *_ in items:
        best = charset_normalizer.from_bytes(open(path, "rb").read()).best()
        out.append(best.encoding if best is not None else None)
    return out


def score(items, answers):
    """Per size: [right, wrong, refused]; binaries: [refused, total]; wrong answers by family."""
    table = collections.defaultdict(lambda: [0, 0, 0])
    binary = [0, 0]
    misses = collections.Counter()
    refusals = collections.Counter()
    for (path, text, family, size, _), answer in zip(items, answers):
        if text is None:
            binary[1] += 1
            binary[0] += answer is None
            continue
        if answer is None:
            table[size][2] += 1
            refusals[family] += 1
            continue
        result = decode(open(path, "rb").read(), answer)
        if result == text:
            table[size][0] += 1
        else:
            table[size][1] += 1
            misses[(family, answer)] += 1
            if os.environ.get("DETECT_CORPUS_PATHS"):
                print("wrong:", path, family, answer, file=sys.stderr)
    return table, binary, misses, refusals


def speed(batch, repetitions, count=2000):
    """Wall time of one lumiva-batch run over count files of about 4 KiB, the encoding named
    and detected: UTF-8 (the bench's 2,000-file run) and WINDOWS-1251 prose (libraries asked)."""
    rows = []
    with tempfile.TemporaryDirectory(prefix="lumiva-detect-speed-") as work:
        russian = "\n".join(man_prose("ru"))
        mixed = "".join(random.Random(42).choice(["héllo wörld ", "привет мир ", "γειά σου ", "日本語のテキスト ", "plain ascii text "])
                        for _ in range(2000))
        for label, codec, text in (("UTF-8, mixed scripts", "utf-8", mixed), ("WINDOWS-1251, Russian prose", "cp1251", russian)):
            folder = os.path.join(work, codec)
            os.makedirs(folder)
            names = []
            for i in range(count):
                start = (i * 977) % max(1, len(text) - 4096)
                data = text[start:start + 4000].encode(codec, errors="ignore")
                name = os.path.join(folder, "f%05d.txt" % i)
                with open(name, "wb") as f:
                    f.write(data)
                names.append(name)
            listfile = os.path.join(work, codec + ".list")
            with open(listfile, "w") as f:
                f.write("\n".join(names) + "\n")
            out = os.path.join(work, "out")
            times = {"named": [], "auto": []}
            refused = {"named": 0, "auto": 0}
            cpu = {"named": [], "auto": []}
            for _ in range(repetitions):
                for how, source in (("named", "WINDOWS-1251" if codec == "cp1251" else "UTF-8"), ("auto", "auto")):
                    shutil.rmtree(out, ignore_errors=True)
                    start = time.monotonic()
                    before = resource.getrusage(resource.RUSAGE_CHILDREN)
                    r = subprocess.run([batch, "--from", source, "--to", "UTF-16", "--output-dir", out, "--list", listfile],
                                       capture_output=True)
                    times[how].append(time.monotonic() - start)
                    after = resource.getrusage(resource.RUSAGE_CHILDREN)
                    cpu[how].append(after.ru_utime + after.ru_stime - before.ru_utime - before.ru_stime)
                    if r.returncode not in (0, 1):
                        sys.exit(r.stderr.decode(errors="replace"))
                    refused[how] = r.stdout.count(b"Cannot detect character encoding")
            named, auto = (statistics.median(times[k]) for k in ("named", "auto"))
            named_cpu, auto_cpu = (statistics.median(cpu[k]) for k in ("named", "auto"))
            rows.append("| %s | %.3f | %.3f | %+.1f %% | %.3f | %.3f | %+.1f %% | %d |" % (
                label, named, auto, 100 * (auto - named) / named, named_cpu, auto_cpu,
                100 * (auto_cpu - named_cpu) / named_cpu, refused["auto"]))
    print("| %d files of about 4 KiB, to UTF-16 | wall, From named (s) | wall, From auto (s) | detection adds "
          "| CPU, named (s) | CPU, auto (s) | detection adds | refused |" % count)
    print("|---|---|---|---|---|---|---|---|")
    print("\n".join(rows))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--probe", required=True, help="lumiva-detect-probe")
    parser.add_argument("--speed", help="lumiva-batch: time the 2,000-file run with and without detection")
    parser.add_argument("--repetitions", type=int, default=7)
    parser.add_argument("--only-ours", action="store_true", help="skip the reference detectors")
    parser.add_argument("--misses", action="store_true", help="list the wrong answers of each detector")
    parser.add_argument("--keep", help="build the corpus in this folder and keep it")
    parser.add_argument("--seed", type=int, default=11, help="choice of excerpts (default 11)")
    args = parser.parse_args()
    if args.speed:
        speed(args.speed, args.repetitions)
        return

    with tempfile.TemporaryDirectory(prefix="lumiva-detect-") as scratch:
        folder = args.keep or scratch
        os.makedirs(folder, exist_ok=True)
        items = build_corpus(folder, args.seed)
        detectors = [("Lumiva", lambda: run_ours(args.probe, items, "C.UTF-8"))]
        if not args.only_ours:
            detectors += [
                ("uchardet 0.0.7 (program)", lambda: run_program(items, lambda p, l: ["uchardet", p])),
                ("enca 1.19 (language given)", lambda: run_program(items, enca_command)),
                ("ICU 72 CharsetDetector", lambda: run_icu(items)),
                ("chardet 5.1", lambda: run_chardet(items)),
                ("charset_normalizer 3.0", lambda: run_charset_normalizer(items)),
            ]
        texts = [i for i in items if i[1] is not None]
        languages = sorted({i[4] for i in texts})
        print("Corpus: %d text files (%d languages, %d encodings) and %d binary files" % (
            len(texts), len(languages), len({i[2] for i in texts}), len(items) - len(texts)))
        print()
        print("| Detector | 200 B right / wrong / refused | 1 KiB | 8 KiB | all | binary refused | seconds |")
        print("|---|---|---|---|---|---|---|")
        all_misses = {}
        for name, run in detectors:
            start = time.monotonic()
            answers = run()
            seconds = time.monotonic() - start
            table, binary, misses, refusals = score(items, answers)
            all_misses[name] = (misses, refusals)
            cells = []
            total = [0, 0, 0]
            for size in SIZES:
                r, w, f = table[size]
                n = max(1, r + w + f)
                total = [a + b for a, b in zip(total, table[size])]
                cells.append("%.1f / %.1f / %.1f %%" % (100 * r / n, 100 * w / n, 100 * f / n))
            n = max(1, sum(total))
            cells.append("%.1f / %.1f / %.1f %%" % tuple(100 * x / n for x in total))
            print("| %s | %s | %d / %d | %.1f |" % (name, " | ".join(cells), binary[0], binary[1], seconds))
        if args.misses:
            for name, (misses, refusals) in all_misses.items():
                print("\n%s wrong answers (encoding written -> answer: count):" % name)
                for (family, answer), count in misses.most_common(25):
                    print("  %s -> %s: %d" % (family, answer, count))
                print("%s refusals by encoding written: %s" % (name, ", ".join(
                    "%s %d" % fc for fc in refusals.most_common())))


if __name__ == "__main__":
    main()
