#!/usr/bin/python3
"""Makes detect/LanguageTables.inc: for each language, how often its letters and signs follow
one another, and which 8-bit encodings it can be written in.

    scripts/language_tables.py                      # from Debian's packages (scripts/deps.sh bench)
    scripts/language_tables.py --text fr=a.txt ...  # from the given texts (the generator's test)

The texts are the tuning half of every genre but the help pages (scripts/language_texts.py); the
help pages and the other half are left for the benchmark. The same texts give the same file, byte
for byte.

Model: a text is a chain of symbols. ASCII letters are themselves (folded to lower case), ASCII
digits one "digit" symbol, every other ASCII character one "boundary" symbol, and a language's frequent other characters are
symbols of their own (case folded); any other punctuation, symbol, number or space is a "sign",
and whatever else (a foreign letter, a control) is "other". Which sign or other character it is
costs again what it costs among the characters past ASCII of all languages alike (the
"strangers" table of the languages of its script): in French a foreign é is common, a foreign Ž
rare, a Cyrillic letter or a box-drawing sign never seen. A table holds, for each symbol, the
cost -ln P(next | symbol) of every next symbol, smoothed towards the symbol's own frequency, in
steps of 1/CostScale nat.
"""

import argparse
import collections
import math
import os
import sys
import unicodedata

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import language_texts  # noqa: E402

COST_SCALE = 10
MAX_COST = 255
# Non-ASCII symbols a language keeps: seen this often per million characters, at most MAX_SYMBOLS.
MIN_PER_MILLION = 20
MAX_SYMBOLS = 96
# Weight of a symbol's own frequency against what follows it (additive smoothing).
SMOOTHING = 4.0
# A language is written in an encoding when this share of its non-ASCII characters is there.
WRITABLE_SHARE = 0.98

# Letters written in one form or the other as the encoding has them: Romanian s and t with a comma
# below, which WINDOWS-1250 and ISO-8859-2 write with a cedilla.
ALIKE_LETTERS = str.maketrans("\u0218\u0219\u021a\u021b", "\u015e\u015f\u0162\u0163")

BOUNDARY, OTHER, SIGN, DIGIT = 0, 1, 2, 3
FIRST_LETTER = 4
ASCII_LETTERS = "abcdefghijklmnopqrstuvwxyz"

# Among encodings that decode a text alike, the first here names it: Windows first, as Windows
# writes them, then the standards, then DOS and the Macintosh.
ENCODING_ORDER = [
    "cp1252", "cp1250", "cp1251", "cp1253", "cp1254", "cp1255", "cp1256", "cp1257", "cp1258", "cp874",
    "latin-1", "iso8859-15", "iso8859-2", "iso8859-16", "iso8859-4", "iso8859-13", "iso8859-5", "iso8859-7",
    "iso8859-9", "iso8859-8", "iso8859-6", "tis-620", "koi8-r", "koi8-u",
    "cp850", "cp437", "cp865", "cp852", "cp866", "cp737", "cp775",
    "mac_roman", "mac_latin2", "mac_cyrillic",
]


def is_sign(c):
    """Punctuation, numbers, spaces, currency, and the symbols of Latin-1, general punctuation and
    letter-like symbols outside ASCII: signs that text sets among words. Box drawing, mathematical
    operators and the like are not."""
    category = unicodedata.category(c)
    if category[0] in "PN" or category in ("Zs", "Sc"):
        return True
    code = ord(c)
    return category[0] == "S" and (0xA0 <= code <= 0x2FF or 0x2000 <= code <= 0x214F)


def fold(c):
    lower = c.lower()
    return lower if len(lower) == 1 else c


class Model:
    def __init__(self, text):
        folded = collections.Counter()
        for c in text:
            if ord(c) >= 0x80:
                folded[fold(c)] += 1
        total = max(1, len(text))
        kept = [s for s, n in sorted(folded.items(), key=lambda sn: (-sn[1], sn[0]))
                if n >= 3 and n * 1_000_000 >= MIN_PER_MILLION * total][:MAX_SYMBOLS]
        self.symbols = list(ASCII_LETTERS) + sorted(kept)
        self.index = {s: i + FIRST_LETTER for i, s in enumerate(self.symbols)}
        self.size = len(self.symbols) + FIRST_LETTER
        # Every spelling of a kept symbol: its upper case and what folded to it.
        self.spellings = collections.defaultdict(set)
        for c in set(text) | {s.upper() for s in self.symbols if len(s.upper()) == 1}:
            if ord(c) >= 0x80 and fold(c) in self.index:
                self.spellings[self.index[fold(c)]].add(ord(c))
        self.letters = collections.Counter({c: n for c, n in folded.items() if c.isalpha()})
        self.ascii_letters = sum(1 for c in text if c.isascii() and c.isalpha())

        singles = collections.Counter()
        pairs = collections.Counter()
        previous = BOUNDARY
        for c in text:
            s = self.symbol(c)
            singles[s] += 1
            pairs[(previous, s)] += 1
            previous = s
        n = sum(singles.values())
        prior = [(singles[s] + 0.5) / (n + 0.5 * self.size) for s in range(self.size)]
        self.singles = [self.cost(p) for p in prior]
        self.pairs = []
        for a in range(self.size):
            after = sum(pairs[(a, b)] for b in range(self.size))
            for b in range(self.size):
                self.pairs.append(self.cost((pairs[(a, b)] + SMOOTHING * prior[b]) / (after + SMOOTHING)))
        self.pair_counts = pairs
        self.strangers = collections.Counter(fold(c) for c in text if ord(c) >= 0x80 and fold(c) not in self.index)
        self.own = folded
        scripts = collections.Counter({"LATIN": self.ascii_letters})
        for c, n in self.letters.items():
            scripts[script(c)] += n
        self.script = scripts.most_common(1)[0][0]

    def typical(self, strangers):
        """What a character costs on average in the language's own text."""
        cost = sum(count * self.pairs[a * self.size + b] for (a, b), count in self.pair_counts.items())
        cost += sum(count * strangers.cost(c) for c, count in self.strangers.items())
        return int(round(cost / max(1, sum(self.pair_counts.values()))))

    @staticmethod
    def cost(p):
        return min(MAX_COST, int(round(-math.log(p) * COST_SCALE)))

    def symbol(self, c):
        if ord(c) < 0x80:
            if c.isdigit():
                return DIGIT
            return self.index.get(c.lower(), BOUNDARY) if c.isalpha() else BOUNDARY
        if fold(c) in self.index:
            return self.index[fold(c)]
        return SIGN if is_sign(c) else OTHER

    def writable(self, codec):
        """Nearly all the language's letters past ASCII are in the encoding; a language that
        hardly has any (English) is written in every one."""
        total = sum(self.letters.values())
        if total < 0.005 * self.ascii_letters:
            return True
        fits = 0
        for c, n in self.letters.items():
            if language_texts.can_encode(c, codec) or language_texts.can_encode(c.translate(ALIKE_LETTERS), codec):
                fits += n
        return fits >= WRITABLE_SHARE * total


def script(c):
    """LATIN, CYRILLIC, GREEK... of a letter."""
    return unicodedata.name(c, "UNKNOWN").split()[0]


class Strangers:
    """How often each character past ASCII occurs among those of its kind (sign or not), in all
    languages of one script alike: the mean of each language's shares."""

    FLOOR = 1e-6

    def __init__(self, models):
        shares = collections.defaultdict(float)
        for model in models:
            total = sum(model.own.values())
            for c, n in model.own.items():
                shares[c] += n / total / len(models) if total else 0
        kinds = collections.defaultdict(float)
        for c, share in shares.items():
            kinds[is_sign(c)] += share
        self.costs = {c: Model.cost((share + self.FLOOR) / (kinds[is_sign(c)] + self.FLOOR * 1000))
                      for c, share in shares.items()}
        self.unseen = Model.cost(self.FLOOR / 1.001)

    def cost(self, c):
        return self.costs.get(fold(c), self.unseen)

    def spellings(self):
        out = {}
        for c, cost in self.costs.items():
            for spelling in {c, c.upper()}:
                if len(spelling) == 1 and fold(spelling) == c and ord(spelling) >= 0x80:
                    out[ord(spelling)] = cost
        return sorted(out.items())


def identifier(language):
    return "".join(part.capitalize() for part in language.split("_"))


def numbers(values, per_line=24):
    lines = []
    for i in range(0, len(values), per_line):
        lines.append("    " + ",".join(str(v) for v in values[i:i + per_line]) + ",")
    return "\n".join(lines)


def render(models, source):
    scripts = sorted({m.script for m in models.values()})
    strangers = {name: Strangers([m for m in models.values() if m.script == name]) for name in scripts}
    out = ["// Generated by scripts/language_tables.py from %s; do not edit." % source,
           "// Symbols: 0 boundary, 1 other, 2 sign, 3 digit, 4..29 the ASCII letters, then each table's own.", ""]
    out.append("constexpr int CostScale_ = %d;" % COST_SCALE)
    out.append("")
    for language, model in models.items():
        name = identifier(language)
        spellings = sorted((cp, s) for s, cps in model.spellings.items() for cp in cps)
        if spellings:
            out.append("constexpr TLanguageSymbol %sSymbols[] = {" % name)
            out.append(numbers(["{0x%X,%d}" % (cp, s) for cp, s in spellings], 8))
            out.append("};")
        out.append("constexpr std::uint8_t %sSingles[] = {" % name)
        out.append(numbers(model.singles))
        out.append("};")
        out.append("constexpr std::uint8_t %sPairs[] = {" % name)
        out.append(numbers(model.pairs))
        out.append("};")
        out.append("")
    for name in scripts:
        out.append("// What a sign or another character costs among its kind in all languages of the %s script."
                   % name.capitalize())
        out.append("constexpr TStranger %sStrangers[] = {" % name.capitalize())
        out.append(numbers(["{0x%X,%d}" % sc for sc in strangers[name].spellings()], 8))
        out.append("};")
        out.append("")
    out.append("constexpr TLanguageTable Languages_[] = {")
    for language, model in models.items():
        name = identifier(language)
        symbols = name + "Symbols" if model.spellings else "std::span<const TLanguageSymbol>()"
        out.append('    {"%s", %d, %s, %sSingles, %sPairs, %d, %sStrangers, %d},' % (
            language, model.size, symbols, name, name, model.typical(strangers[model.script]),
            model.script.capitalize(), strangers[model.script].unseen))
    out.append("};")
    out.append("")
    codecs = [c for c in ENCODING_ORDER
              if any(c in encodings for l, (_, encodings) in language_texts.LANGUAGES.items() if l in models)]
    out.append("// Each 8-bit encoding and the languages written in it, in the order that names a reading.")
    out.append("constexpr TEncodingLanguages Encodings_[] = {")
    for codec in codecs:
        writers = [l for l, m in models.items() if m.writable(codec)]
        out.append('    {"%s", "%s"},' % (language_texts.ENGINE_NAMES[codec], " ".join(writers)))
    out.append("};")
    return "\n".join(out) + "\n"


def system_texts():
    texts = {}
    for language, (folder, _) in language_texts.LANGUAGES.items():
        parts = []
        for genre, source, paragraphs in language_texts.documents(language, folder):
            if genre != language_texts.HELD_OUT_GENRE and language_texts.tuning_half(source):
                parts.append("\n".join(paragraphs))
        if not parts:
            sys.exit("no text for %s: install its packages (scripts/deps.sh bench)" % language)
        texts[language] = "\n".join(parts) + "\n"
    return texts


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--text", action="append", default=[], metavar="LANGUAGE=FILE",
                        help="a language's text (UTF-8) instead of the packages' texts")
    parser.add_argument("--output", default=os.path.join(os.path.dirname(__file__), "..", "detect", "LanguageTables.inc"))
    args = parser.parse_args()
    if args.text:
        texts = {}
        for item in args.text:
            language, _, path = item.partition("=")
            if language not in language_texts.LANGUAGES:
                sys.exit("unknown language %s" % language)
            texts[language] = open(path, encoding="utf-8").read()
        source = "the given texts"
    else:
        texts = system_texts()
        source = "the tuning half of Debian's catalogs, manual pages, debconf templates and AppStream descriptions"
    models = {language: Model(text) for language, text in texts.items()}
    with open(args.output, "w", encoding="utf-8") as f:
        f.write(render(models, source))


if __name__ == "__main__":
    main()
