#!/usr/bin/python3
"""Scores encoding detection on text it was not tuned on: Lumiva's detector beside jschardet and
npm's chardet (installed with npm into a temporary folder), uchardet, enca, ICU, Python's chardet
and charset_normalizer.

The corpus is made here, in a temporary folder, from texts of Debian's packages
(scripts/language_texts.py): the held-out half of the translated message catalogs, manual pages,
debconf templates and AppStream descriptions, all the desktop help pages (a genre the tables never
saw), and subtitles and table rows made from held-out catalogs; in 39 languages, encoded into the
legacy encodings people meet for each and into the Unicode forms, cut at about 200 bytes, 1 KiB
and 8 KiB; the same documents with their typographic quotes, dashes and ellipses kept, in the
encodings that have them; plus binary files. An answer is right when decoding the file by it gives
the original text (a leading U+FEFF is ignored; Romanian s and t with a comma and with a cedilla
count alike, and the strict figures are printed too), wrong when it gives anything else or cannot
decode, refused when there is none.

    bench/detect_corpus.py --probe build/test/bin/lumiva-detect-probe [--misses]
    bench/detect_corpus.py --probe ... --fit          # the tuning half: where to draw the line
    bench/detect_corpus.py --probe ... --speed build/test/bin/lumiva-batch [--against build/ref/bin/lumiva-batch]
"""
import argparse
import collections
import json
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

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "scripts"))
import language_texts  # noqa: E402

SIZES = [200, 1024, 8192]
SAMPLES = 3  # excerpts per language, encoding and size
UNICODE_LANGUAGES = ["fr", "pl", "ru", "el", "ja", "zh_CN", "ko"]
UNICODE_FORMS = [
    ("utf-8", b""), ("utf-8", b"\xef\xbb\xbf"),
    ("utf-16-le", b"\xff\xfe"), ("utf-16-be", b"\xfe\xff"), ("utf-16-le", b""), ("utf-16-be", b""),
    ("utf-32-le", b"\xff\xfe\x00\x00"), ("utf-32-be", b"\x00\x00\xfe\xff"), ("utf-32-le", b""), ("utf-32-be", b""),
]
FAMILIES = {
    "Western": ["en", "fr", "de", "es", "it", "pt", "pt_BR", "nl", "ca", "sv", "da", "nb", "fi", "is"],
    "Central European": ["pl", "cs", "sk", "hu", "sl", "hr", "ro"],
    "Cyrillic": ["ru", "uk", "be", "bg", "sr"],
    "Greek": ["el"], "Turkish": ["tr"], "Hebrew": ["he"], "Arabic": ["ar"], "Baltic": ["lt", "lv", "et"],
    "Vietnamese": ["vi"], "Thai": ["th"], "East Asian": ["ja", "zh_CN", "zh_TW", "ko"],
}
# Signs that plain text writes in ASCII and Windows text does not.
TYPOGRAPHIC = set("\u2018\u2019\u201a\u201c\u201d\u201e\u2013\u2014\u2026\u2022\u20ac")
TYPOGRAPHIC_SAMPLES = 2  # excerpts per language, encoding and size
FAMILY_OF = {l: f for f, ls in FAMILIES.items() for l in ls}
# enca's language where it knows 8-bit encodings for it ("none" otherwise).
ENCA_LANGUAGES = {"pl": "pl", "cs": "cs", "sk": "sk", "hu": "hu", "sl": "sl", "hr": "hr", "ru": "ru", "uk": "uk",
                  "be": "be", "bg": "bg", "lt": "lt", "lv": "lv", "et": "et", "zh_CN": "zh", "zh_TW": "zh"}


def subtitles(paragraphs, rng):
    """Paragraphs as numbered subtitles with their times, one sentence a title."""
    out, n, t = [], 0, rng.randrange(1000)
    for p in paragraphs:
        for sentence in re.split(r"(?<=[.!?])\s+", p):
            n += 1
            out.append("%d\n%02d:%02d:%02d,%03d --> %02d:%02d:%02d,%03d\n%s\n" % (
                n, t // 3600, t // 60 % 60, t % 60, 0, (t + 3) // 3600, (t + 3) // 60 % 60, (t + 3) % 60, 500, sentence))
            t += 4
    return ["\n".join(out)]


def csv_rows(paragraphs, rng):
    """Paragraphs as rows of a table: a number, the text in quotes, an amount."""
    return ["\n".join('%d;"%s";%d,%02d' % (i + 1, p.replace('"', '""'), rng.randrange(1000), rng.randrange(100))
                      for i, p in enumerate(paragraphs))]


def texts_by_language(half, typographic=False):
    """{language: {genre: [paragraphs of one document, ...]}} of the half asked for: "tuning" (the
    tuning half of every genre but the help pages) or "held-out" (the other half, all the help
    pages, and subtitles and table rows made from the other half's catalogs). Typographic keeps
    the quotes, dashes and ellipses as the documents write them."""
    languages = dict(language_texts.LANGUAGES, **language_texts.EAST_ASIAN)
    out = {}
    for language, (folder, _) in languages.items():
        genres = collections.defaultdict(list)
        for genre, source, paragraphs in language_texts.documents(language, folder, typographic):
            tuning = genre != language_texts.HELD_OUT_GENRE and language_texts.tuning_half(source)
            if (half == "tuning") == tuning:
                genres[genre].append(paragraphs)
        if half == "held-out" and genres.get("catalog"):
            rng = random.Random(language)
            genres["subtitles"] = [subtitles(d, rng)[0].split("\n\n") for d in genres["catalog"][::2]]
            genres["csv"] = [csv_rows(d, rng)[0].split("\n") for d in genres["catalog"][1::2]]
        out[language] = dict(genres)
    return out


def excerpt(paragraphs, start, codec, size):
    """Whole paragraphs from start, then cut at a word so the encoding is about size bytes."""
    text = ""
    i = start
    while len(text.encode("utf-8")) < size * 2 and i < len(paragraphs):
        text += ("\n" if text else "") + paragraphs[i]
        i += 1
    try:
        while text and len(language_texts.encode(text, codec)) > size:
            over = len(language_texts.encode(text, codec)) - size
            cut = text.rfind(" ", 0, max(1, len(text) - max(1, over // 4)))
            text = text[:cut] if cut > 0 else text[:-1]
    except UnicodeEncodeError:
        return None
    return text + "\n"


def legacy_excerpt(doc, rng, codec, size, wanted=lambda text: True):
    """(text, bytes) of an excerpt of doc from a random start, written in codec, when it is one
    that wanted takes, with two characters past ASCII at least, and that the engine reads back;
    None otherwise."""
    text = excerpt(doc, rng.randrange(len(doc)), codec, size)
    if text is None or not wanted(text) or sum(ord(c) > 127 for c in text) < 2:
        return None
    data = language_texts.encode(text, codec)
    # Python's EUC-KR writes syllables outside KS X 1001 as jamo sequences, which no other
    # program reads back.
    if codec == "euc-kr" and b"\xa4\xd4" in data:
        return None
    if decode(data, language_texts.ENGINE_NAMES.get(codec, codec)) != text or _utf8_twice(data):
        return None
    return text, data


def build_corpus(folder, seed, half):
    rng = random.Random(seed)
    items = []  # (path, original text or None for binary, encoding, size, language, genre)
    counter = 0

    def add(data, text, family, size, language, genre):
        nonlocal counter
        counter += 1
        path = os.path.join(folder, "%05d" % counter)
        with open(path, "wb") as f:
            f.write(data)
        items.append((path, text, family, size, language, genre))

    texts = texts_by_language(half)
    languages = dict(language_texts.LANGUAGES, **language_texts.EAST_ASIAN)
    for language, (_, codecs) in languages.items():
        genres = sorted(g for g, docs in texts[language].items() if docs)
        if not genres:
            sys.exit("no text for %s: scripts/deps.sh bench installs the packages" % language)
        turn = 0
        for codec in codecs:
            for size in SIZES:
                made = tries = 0
                while made < SAMPLES and tries < 300:
                    # A genre that cannot give a text here (signs the encoding lacks) yields its turn.
                    genre = genres[(turn + tries) % len(genres)]
                    tries += 1
                    docs = texts[language][genre]
                    doc = docs[rng.randrange(len(docs))]
                    written = legacy_excerpt(doc, rng, codec, size)
                    if written is None:
                        continue
                    add(written[1], written[0], codec, size, language, genre)
                    made += 1
                    turn += 1
    # The same documents with their typographic quotes, dashes and ellipses, in the encodings that
    # have them (the Windows code pages above all): how most 8-bit text is written today. Chosen
    # by a generator of their own, so that the excerpts above stay the same.
    typographic = texts_by_language(half, typographic=True)
    trng = random.Random(seed + 1)
    for language, (_, codecs) in language_texts.LANGUAGES.items():
        genres = sorted(g for g, docs in typographic[language].items() if docs)
        for codec in codecs:
            if not any(language_texts.can_encode(sign, codec) for sign in TYPOGRAPHIC):
                continue
            for size in SIZES:
                made = tries = 0
                while made < TYPOGRAPHIC_SAMPLES and tries < 300:
                    tries += 1
                    docs = typographic[language][genres[trng.randrange(len(genres))]]
                    doc = docs[trng.randrange(len(docs))]
                    written = legacy_excerpt(doc, trng, codec, size, lambda text: bool(TYPOGRAPHIC & set(text)))
                    if written is None:
                        continue
                    add(written[1], written[0], codec, size, language, "typographic")
                    made += 1
    for language in UNICODE_LANGUAGES:
        genres = sorted(g for g, docs in texts[language].items() if docs)
        for i, (codec, mark) in enumerate(UNICODE_FORMS):
            family = codec + (" BOM" if mark else "")
            for size in SIZES:
                genre = genres[(i + size) % len(genres)]
                doc = texts[language][genre][rng.randrange(len(texts[language][genre]))]
                text = excerpt(doc, rng.randrange(len(doc)), "utf-8", size) or ""
                add(mark + text.encode(codec), text, family, size, language, genre)
    # Binary files: executable code, compressed data, an image, random bytes, message catalogs.
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
    for mo in ["/usr/share/locale/fr/LC_MESSAGES/coreutils.mo", "/usr/share/locale/de/LC_MESSAGES/libc.mo",
               "/usr/share/locale/ru/LC_MESSAGES/coreutils.mo"]:
        if os.path.exists(mo):
            binaries.append(open(mo, "rb").read())
    for data in binaries:
        for size in SIZES:
            add(data[:size], None, "binary", size, "-", "binary")
    return items


def _utf8_twice(data):
    """A few translations hold UTF-8 read as Latin-1 ("wÃ¤hlen"): written back in an 8-bit
    encoding, such text is UTF-8 again, and reading it so is right, not a misreading."""
    try:
        return any(b > 127 for b in data) and bool(data.decode("utf-8"))
    except UnicodeDecodeError:
        return False


def decode(data, name):
    """Text for a detector's answer, or None when the answer cannot decode the file. The legacy
    encodings are decoded by iconv, as the conversion does (Python's codecs differ here and there)."""
    if re.match(r"(?i)^(utf|ascii|us-ascii)", name):
        try:
            text = data.decode(name)
        except (LookupError, UnicodeDecodeError, ValueError):
            return None
    else:
        r = subprocess.run(["iconv", "-f", name, "-t", "UTF-8"], input=data, capture_output=True)
        if r.returncode == 0:
            try:
                text = r.stdout.decode("utf-8")
            except UnicodeDecodeError:
                return None
        else:
            # A name iconv does not know (MacRoman, mac_latin2, koi8_r...): Python's codec of
            # that name, so that a reference is not counted wrong for its spelling.
            try:
                text = data.decode(name)
            except (LookupError, UnicodeDecodeError, ValueError):
                return None
    return text[1:] if text.startswith("\ufeff") else text


def run_ours(probe, items, env_locale, scores=False):
    """Our answers; with scores, (answer, best reading's score) pairs, the reading given even for
    a refusal."""
    env = dict(os.environ, LC_ALL=env_locale, LUMIVA_PROBE_SCORES="1" if scores else "")
    names = "\n".join(item[0] for item in items) + "\n"
    r = subprocess.run([probe], input=names.encode(), capture_output=True, env=env, check=True)
    answers = r.stdout.decode().split("\n")[:len(items)]
    if not scores:
        return [None if a == "-" else a for a in answers]
    out = []
    for line in answers:
        answer, best, score = line.split("\t")
        out.append((None if answer == "-" else answer, None if best == "-" else best, float(score)))
    return out


def run_program(items, command):
    out = []
    for path, _, _, _, language, _ in items:
        r = subprocess.run(command(path, language), capture_output=True)
        answer = r.stdout.decode(errors="replace").strip()
        if ":" in answer:
            answer = answer.rsplit(":", 1)[1].strip()
        out.append(None if answer in ("", "unknown", "???", "binary") or r.returncode != 0 else answer)
    return out


def enca_command(path, language):
    return ["enca", "-L", ENCA_LANGUAGES.get(language, "none"), "-i", path]


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


NODE_RUNNER = r"""
const fs = require("fs");
const which = process.argv[2];
const lib = require(which);
const names = fs.readFileSync(0, "utf8").split("\n").filter(Boolean);
const out = [];
for (const name of names) {
  const data = fs.readFileSync(name);
  let answer = null;
  try {
    if (which === "jschardet") answer = lib.detect(data.toString("binary")).encoding;
    else answer = lib.detect(data);
  } catch (e) { answer = null; }
  out.push(answer || "-");
}
process.stdout.write(out.join("\n") + "\n");
"""


def node_detectors(scratch, items):
    """jschardet 4 and npm's chardet 2, installed with npm into scratch (measured, never shipped);
    None when npm cannot install them."""
    folder = os.path.join(scratch, "node")
    os.makedirs(folder, exist_ok=True)
    r = subprocess.run(["npm", "install", "--silent", "--no-audit", "--no-fund", "--prefix", folder,
                        "jschardet@4", "chardet@2"], capture_output=True)
    if r.returncode != 0:
        print("npm could not install jschardet and chardet: %s" % r.stderr.decode(errors="replace")[-300:],
              file=sys.stderr)
        return []
    runner = os.path.join(folder, "runner.js")
    with open(runner, "w") as f:
        f.write(NODE_RUNNER)
    versions = {}
    for package in ("jschardet", "chardet"):
        with open(os.path.join(folder, "node_modules", package, "package.json")) as f:
            versions[package] = json.load(f)["version"]

    def run(package):
        def go():
            names = "\n".join(item[0] for item in items) + "\n"
            r = subprocess.run(["node", runner, package], input=names.encode(), capture_output=True,
                               cwd=folder, env=dict(os.environ, NODE_PATH=os.path.join(folder, "node_modules")),
                               check=True)
            return [None if a == "-" else a for a in r.stdout.decode().split("\n")[:len(items)]]
        return go
    return [("jschardet %s (npm)" % versions["jschardet"], run("jschardet")),
            ("chardet %s (npm)" % versions["chardet"], run("chardet"))]


# Romanian s and t with a comma below and with a cedilla are the same letters: WINDOWS-1250 and
# ISO-8859-2 have only the cedilla forms, ISO-8859-16 only the comma forms, at the same bytes. A
# Romanian file without the few bytes where the encodings differ is the same file in each, and
# any reading of it gives the right Romanian text.
ROMANIAN_ALIKE = str.maketrans("\u015e\u015f\u0162\u0163", "\u0218\u0219\u021a\u021b")


def outcome(item, answer, strict=False):
    """"right", "wrong" or "refused" for a text; for a binary file, "refused" or "wrong". Unless
    strict, a Romanian reading that differs from the text only in the forms of s and t is right."""
    path, text = item[0], item[1]
    if answer is None:
        return "refused"
    if text is None:
        return "wrong"
    decoded = decode(open(path, "rb").read(), answer)
    if decoded == text:
        return "right"
    alike = not strict and item[4] == "ro" and decoded is not None
    return "right" if alike and decoded.translate(ROMANIAN_ALIKE) == text.translate(ROMANIAN_ALIKE) else "wrong"


def percent(counts):
    n = max(1, sum(counts.values()))
    return "%.1f / %.1f / %.1f" % tuple(100 * counts[k] / n for k in ("right", "wrong", "refused"))


def speed(batch, repetitions, against=None, count=2000):
    """One lumiva-batch run over count small files, the encoding named and detected, in
    alternating rounds: wall time, CPU time and peak memory (medians). With against (another
    build's lumiva-batch), its runs alternate with ours in the same rounds."""
    builds = [("", batch)] + ([("against", against)] if against else [])
    rows = []
    held_out = texts_by_language("held-out")
    russian = "\n".join(p for doc in held_out["ru"].get("catalog", []) + held_out["ru"].get("man", []) for p in doc)
    mixed = "".join(random.Random(42).choice(["héllo wörld ", "привет мир ", "γειά σου ", "日本語のテキスト ", "plain ascii text "])
                    for _ in range(2000))
    work_root = "/dev/shm" if os.path.isdir("/dev/shm") else None
    with tempfile.TemporaryDirectory(prefix="lumiva-detect-speed-", dir=work_root) as work:
        for label, codec, named, text in (("UTF-8, mixed scripts", "utf-8", "UTF-8", mixed),
                                          ("WINDOWS-1251, Russian", "cp1251", "WINDOWS-1251", russian)):
            folder = os.path.join(work, codec)
            os.makedirs(folder)
            names = []
            for i in range(count):
                start = (i * 977) % max(1, len(text) - 3200)
                data = text[start:start + 3000].encode(codec, errors="ignore")
                name = os.path.join(folder, "f%05d.txt" % i)
                with open(name, "wb") as f:
                    f.write(data)
                names.append(name)
            listfile = os.path.join(work, codec + ".list")
            with open(listfile, "w") as f:
                f.write("\n".join(names) + "\n")
            out = os.path.join(work, "out")
            wall, cpu, peak = collections.defaultdict(list), collections.defaultdict(list), collections.defaultdict(list)
            refused = collections.Counter()
            usage = resource.getrusage(resource.RUSAGE_CHILDREN)
            cpu_before = usage.ru_utime + usage.ru_stime
            for _ in range(repetitions):
                for build, program in builds:
                    for how, source in (("named", named), ("auto", "auto")):
                        shutil.rmtree(out, ignore_errors=True)
                        start = time.monotonic()
                        # GNU time reports the peak memory of lumiva-batch itself (a forked child's
                        # counter would start from this script's).
                        child = subprocess.Popen(["/usr/bin/time", "-f", "%M", program, "--from", source, "--to", "UTF-16",
                                                  "--output-dir", out, "--list", listfile],
                                                 stdout=subprocess.PIPE, stderr=subprocess.PIPE)
                        output, errors = child.communicate()
                        wall[build, how].append(time.monotonic() - start)
                        usage = resource.getrusage(resource.RUSAGE_CHILDREN)
                        cpu[build, how].append(usage.ru_utime + usage.ru_stime - cpu_before)
                        cpu_before = usage.ru_utime + usage.ru_stime
                        peak[build, how].append(int(errors.decode().split()[-1]) / 1024)
                        if child.returncode not in (0, 1):
                            sys.exit("lumiva-batch failed with %d" % child.returncode)
                        if how == "auto":
                            refused[build] = output.count(b"Cannot detect character encoding")
            for build, _ in builds:
                m = {k: {how: statistics.median(v[build, how]) for how in ("named", "auto")}
                     for k, v in (("wall", wall), ("cpu", cpu), ("peak", peak))}
                rows.append("| %s%s | %.3f | %.3f | %+.0f %% | %.3f | %.3f | %+.0f %% | %.1f / %.1f | %d |" % (
                    label, ", " + build if build else "",
                    m["wall"]["named"], m["wall"]["auto"], 100 * (m["wall"]["auto"] / m["wall"]["named"] - 1),
                    m["cpu"]["named"], m["cpu"]["auto"], 100 * (m["cpu"]["auto"] / m["cpu"]["named"] - 1),
                    m["peak"]["named"], m["peak"]["auto"], refused[build]))
    print("| %d files of about 3 KB, to UTF-16, RAM disk | wall, named (s) | wall, auto (s) | detection adds "
          "| CPU, named (s) | CPU, auto (s) | detection adds | peak memory, named / auto (MiB) | refused |" % count)
    print("|---|---|---|---|---|---|---|---|---|")
    print("\n".join(rows))


def fit(probe, items):
    """How right, wrong and refused trade off against the least score an answer needs."""
    results = run_ours(probe, items, "C.UTF-8", scores=True)
    texts = [(item, r) for item, r in zip(items, results) if item[1] is not None]
    graded = []
    for item, (answer, best, score) in texts:
        graded.append((score, "refused" if best is None else outcome(item, best), answer is not None))
    print("Tuning half: %d texts. Answers given as built: %s" % (len(graded), percent(collections.Counter(
        outcome(item, answer) for item, (answer, _, _) in texts))))
    print("| least score | right / wrong / refused % |")
    print("|---|---|")
    for least in (0.5, 0.6, 0.7, 0.8, 0.85, 0.9, 0.95, 0.98, 0.99, 0.995, 0.999):
        counts = collections.Counter(result if score >= least else "refused" for score, result, _ in graded)
        print("| %.3f | %s |" % (least, percent(counts)))
    print("\nCalibration (the best reading's score against how often it is right):")
    bins = collections.defaultdict(collections.Counter)
    for score, result, _ in graded:
        if result != "refused":
            bins[min(9, int(score * 10))][result] += 1
    for b in sorted(bins):
        n = sum(bins[b].values())
        print("  score %.1f-%.1f: %d readings, %.1f %% right" % (b / 10, (b + 1) / 10, n, 100 * bins[b]["right"] / n))


def report(items, detectors, misses_wanted):
    texts = [i for i in items if i[1] is not None]
    print("Corpus: %d text files (%d languages, %d encodings, genres %s) and %d binary files" % (
        len(texts), len({i[4] for i in texts}), len({i[2] for i in texts}),
        ", ".join("%s %d" % gc for gc in sorted(collections.Counter(i[5] for i in texts).items())),
        len(items) - len(texts)))
    print()
    results = {}
    strict = {}
    seconds = {}
    for name, run in detectors:
        start = time.monotonic()
        answers = run()
        seconds[name] = time.monotonic() - start
        results[name] = [(item, answer, outcome(item, answer)) for item, answer in zip(items, answers)]
        strict[name] = [outcome(item, answer, strict=True) if item[4] == "ro" and o == "right" else o
                        for item, answer, o in results[name]]

    def counts(name, keep):
        return collections.Counter(o for item, _, o in results[name] if item[1] is not None and keep(item))

    print("| Detector | 200 B right / wrong / refused % | 1 KiB | 8 KiB | all | binary refused | seconds |")
    print("|---|---|---|---|---|---|---|")
    for name in results:
        cells = [percent(counts(name, lambda i, s=size: i[3] == s)) for size in SIZES]
        binary = [o for item, _, o in results[name] if item[1] is None]
        print("| %s | %s | %s | %d / %d | %.1f |" % (name, " | ".join(cells), percent(counts(name, lambda i: True)),
                                                     binary.count("refused"), len(binary), seconds[name]))
    print()
    print("The same, Romanian s and t with a cedilla counted apart from those with a comma:")
    print()
    for name in results:
        cells = []
        for size in SIZES + [None]:
            c = collections.Counter(o for (item, _, _), o in zip(results[name], strict[name])
                                    if item[1] is not None and size in (None, item[3]))
            cells.append(percent(c))
        print("- %s: %s" % (name, "; ".join("%s %s" % (label, cell) for label, cell in zip(["200 B", "1 KiB", "8 KiB", "all"], cells))))
    print()
    print("Right answers by family, all sizes (%):")
    print()
    print("| Family | " + " | ".join(results) + " |")
    print("|---|" + "---|" * len(results))
    for family in list(FAMILIES) + ["Unicode"]:
        def keep(i, f=family):
            return (FAMILY_OF.get(i[4]) == f and not i[2].startswith("utf")) or (f == "Unicode" and i[2].startswith("utf"))
        cells = []
        for name in results:
            c = counts(name, keep)
            cells.append("%.1f" % (100 * c["right"] / max(1, sum(c.values()))))
        print("| %s | %s |" % (family, " | ".join(cells)))
    ours = next(iter(results))
    print()
    print("%s by family and size, right / wrong / refused %%:" % ours)
    print()
    print("| Family | files | 200 B | 1 KiB | 8 KiB |")
    print("|---|---|---|---|---|")
    for family in list(FAMILIES) + ["Unicode"]:
        def keep(i, f=family):
            return (FAMILY_OF.get(i[4]) == f and not i[2].startswith("utf")) or (f == "Unicode" and i[2].startswith("utf"))
        print("| %s | %d | %s |" % (family, sum(counts(ours, keep).values()),
                                    " | ".join(percent(counts(ours, lambda i, s=size: keep(i) and i[3] == s)) for size in SIZES)))
    print()
    print("%s by genre, right / wrong / refused %%: %s" % (ours, "; ".join(
        "%s %s" % (g, percent(counts(ours, lambda i, g=g: i[5] == g)))
        for g in sorted({i[5] for i in texts}))))
    print()
    print("By encoding written, right %% (%s: right / wrong / refused):" % ours)
    print()
    print("| Encoding | files | %s | %s |" % (ours, " | ".join(list(results)[1:])))
    print("|---|---|---|" + "---|" * (len(results) - 1))
    for encoding in sorted({i[2] for i in texts}):
        c = counts(ours, lambda i, e=encoding: i[2] == e)
        others = []
        for name in list(results)[1:]:
            o = counts(name, lambda i, e=encoding: i[2] == e)
            others.append("%.0f" % (100 * o["right"] / max(1, sum(o.values()))))
        print("| %s | %d | %s | %s |" % (encoding, sum(c.values()), percent(c), " | ".join(others)))
    if misses_wanted:
        for name in results:
            wrong = collections.Counter((i[2], a) for i, a, o in results[name] if o == "wrong" and i[1] is not None)
            refused = collections.Counter(i[2] for i, a, o in results[name] if o == "refused" and i[1] is not None)
            print("\n%s wrong answers (encoding written -> answer: count): %s" % (name, ", ".join(
                "%s -> %s: %d" % (e, a, n) for (e, a), n in wrong.most_common(25))))
            print("%s refusals by encoding written: %s" % (name, ", ".join("%s %d" % fc for fc in refused.most_common())))
            if os.environ.get("DETECT_CORPUS_PATHS"):
                for i, a, o in results[name]:
                    if o == "wrong":
                        print("wrong:", i[0], i[2], i[4], i[5], a, file=sys.stderr)


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--probe", required=True, help="lumiva-detect-probe")
    parser.add_argument("--speed", help="lumiva-batch: time the 2,000-file runs with and without detection")
    parser.add_argument("--against", help="with --speed: another build's lumiva-batch, timed in the same rounds")
    parser.add_argument("--repetitions", type=int, default=7)
    parser.add_argument("--half", choices=["held-out", "tuning"], default="held-out",
                        help="which half of the texts to measure (default: the held-out half)")
    parser.add_argument("--fit", action="store_true",
                        help="on the tuning half: right, wrong and refused against the least score")
    parser.add_argument("--only-ours", action="store_true", help="skip the reference detectors")
    parser.add_argument("--misses", action="store_true", help="list the wrong answers of each detector")
    parser.add_argument("--keep", help="build the corpus in this folder and keep it")
    parser.add_argument("--seed", type=int, default=11, help="choice of excerpts (default 11)")
    args = parser.parse_args()
    if args.speed:
        speed(args.speed, args.repetitions, args.against)
        return

    with tempfile.TemporaryDirectory(prefix="lumiva-detect-") as scratch:
        folder = args.keep or os.path.join(scratch, "corpus")
        os.makedirs(folder, exist_ok=True)
        items = build_corpus(folder, args.seed, "tuning" if args.fit else args.half)
        if args.fit:
            fit(args.probe, items)
            return
        detectors = [("Lumiva", lambda: run_ours(args.probe, items, "C.UTF-8"))]
        if not args.only_ours:
            detectors += node_detectors(scratch, items)
            detectors += [
                ("uchardet 0.0.7 (program)", lambda: run_program(items, lambda p, l: ["uchardet", p])),
                ("enca 1.19 (language given)", lambda: run_program(items, enca_command)),
                ("ICU 72 CharsetDetector", lambda: run_icu(items)),
                ("chardet 5.1 (Python)", lambda: run_chardet(items)),
                ("charset_normalizer 3.0", lambda: run_charset_normalizer(items)),
            ]
        report(items, detectors, args.misses)


if __name__ == "__main__":
    main()
