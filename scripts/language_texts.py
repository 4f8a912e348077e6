"""Texts in many languages from what Debian's packages install, for the detection tables
(scripts/language_tables.py) and the detection benchmark (bench/detect_corpus.py).

Three kinds of text ("genres"), each document one source:
  catalog  the translated messages of one package (/usr/share/locale/<l>/LC_MESSAGES/*.mo)
  man      one translated manual page (/usr/share/man/<l>/...)
  help     one page of desktop help (/usr/share/help/<l>/<program>/*.page)

Documents are split by a hash of their source into a tuning half and a held-out half, and the
help pages are all held out: the tables and thresholds are fitted on the tuning half of the
catalogs and manual pages only. Everything is read in sorted order, so the same packages give the
same texts.
"""

import gzip
import hashlib
import os
import re
import struct
import subprocess
import unicodedata

HELD_OUT_GENRE = "help"

# Language, its folder under /usr/share/locale, man and help, and the legacy encodings (Python's
# names) that texts in it are written in.
LANGUAGES = {
    "en": ("C", ["cp1252", "cp437", "cp850", "mac_roman"]),
    "fr": ("fr", ["cp1252", "latin-1", "iso8859-15", "cp850", "mac_roman"]),
    "de": ("de", ["cp1252", "iso8859-15", "cp850", "cp437", "mac_roman"]),
    "es": ("es", ["cp1252", "cp850", "cp437"]),
    "it": ("it", ["cp1252", "latin-1", "cp850"]),
    "pt": ("pt", ["cp1252", "cp850", "mac_roman"]),
    "pt_BR": ("pt_BR", ["cp1252", "latin-1", "cp850"]),
    "nl": ("nl", ["cp1252", "latin-1", "mac_roman"]),
    "ca": ("ca", ["cp1252", "latin-1"]),
    "sv": ("sv", ["cp1252", "cp850", "mac_roman"]),
    "da": ("da", ["cp1252", "cp865"]),
    "nb": ("nb", ["cp1252", "cp865"]),
    "fi": ("fi", ["cp1252", "iso8859-15", "mac_roman"]),
    "is": ("is", ["cp1252", "cp850"]),
    "pl": ("pl", ["cp1250", "iso8859-2", "cp852", "mac_latin2"]),
    "cs": ("cs", ["cp1250", "iso8859-2", "cp852", "mac_latin2"]),
    "sk": ("sk", ["cp1250", "iso8859-2", "cp852"]),
    "hu": ("hu", ["cp1250", "iso8859-2", "cp852"]),
    "sl": ("sl", ["cp1250", "iso8859-2"]),
    "hr": ("hr", ["cp1250", "iso8859-2", "cp852"]),
    "ro": ("ro", ["iso8859-16", "cp1250"]),
    "ru": ("ru", ["cp1251", "koi8-r", "cp866", "mac_cyrillic", "iso8859-5"]),
    "uk": ("uk", ["cp1251", "koi8-u", "cp866"]),
    "be": ("be", ["cp1251", "cp866"]),
    "bg": ("bg", ["cp1251", "cp866"]),
    "sr": ("sr", ["cp1251"]),
    "el": ("el", ["cp1253", "iso8859-7", "cp737"]),
    "tr": ("tr", ["cp1254", "iso8859-9"]),
    "he": ("he", ["cp1255", "iso8859-8"]),
    "ar": ("ar", ["cp1256", "iso8859-6"]),
    "lt": ("lt", ["cp1257", "iso8859-13", "iso8859-4", "cp775"]),
    "lv": ("lv", ["cp1257", "iso8859-13", "iso8859-4"]),
    "et": ("et", ["cp1257", "iso8859-13", "iso8859-15"]),
    "vi": ("vi", ["cp1258"]),
    "th": ("th", ["tis-620", "cp874"]),
}
# Multibyte texts: the detection libraries propose these; no tables are made for them.
EAST_ASIAN = {
    "ja": ("ja", ["cp932", "euc-jp"]),
    "zh_CN": ("zh_CN", ["gb18030", "gb2312"]),
    "zh_TW": ("zh_TW", ["big5"]),
    "ko": ("ko", ["cp949", "euc-kr"]),
}

# Python's codec names and the names the conversion engine (glibc) knows them by.
ENGINE_NAMES = {
    "cp1250": "WINDOWS-1250", "cp1251": "WINDOWS-1251", "cp1252": "WINDOWS-1252", "cp1253": "WINDOWS-1253",
    "cp1254": "WINDOWS-1254", "cp1255": "WINDOWS-1255", "cp1256": "WINDOWS-1256", "cp1257": "WINDOWS-1257",
    "cp1258": "WINDOWS-1258", "latin-1": "ISO-8859-1", "iso8859-2": "ISO-8859-2", "iso8859-4": "ISO-8859-4",
    "iso8859-5": "ISO-8859-5", "iso8859-6": "ISO-8859-6", "iso8859-7": "ISO-8859-7", "iso8859-8": "ISO-8859-8",
    "iso8859-9": "ISO-8859-9", "iso8859-13": "ISO-8859-13", "iso8859-15": "ISO-8859-15",
    "iso8859-16": "ISO-8859-16", "koi8-r": "KOI8-R", "koi8-u": "KOI8-U", "cp437": "CP437", "cp737": "CP737",
    "cp775": "CP775", "cp850": "CP850", "cp852": "CP852", "cp865": "CP865", "cp866": "CP866",
    "mac_roman": "MACINTOSH", "mac_latin2": "MAC-CENTRALEUROPE", "mac_cyrillic": "MAC-CYRILLIC",
    "tis-620": "TIS-620", "cp874": "CP874",
}

# Typographic signs that the legacy encodings of the time did not have: a writer of such a file
# typed the plain ones.
PLAIN = {"\u2019": "'", "\u2018": "'", "\u201c": '"', "\u201d": '"', "\u2013": "-", "\u2014": "-",
         "\u2026": "...", "\u00a0": " ", "\u2010": "-", "\u2011": "-", "\u202f": " ", "\u2212": "-",
         "\u201e": '"', "\u00ad": ""}


def encode(text, codec):
    """text in a legacy encoding; raises UnicodeEncodeError when it cannot be written there.
    WINDOWS-1258 writes Vietnamese letters as a base letter and a tone mark, which glibc's iconv
    does and Python's codec does not."""
    if codec != "cp1258":
        return text.encode(codec)
    r = subprocess.run(["iconv", "-f", "UTF-8", "-t", "WINDOWS-1258"], input=text.encode(), capture_output=True)
    if r.returncode != 0:
        raise UnicodeEncodeError(codec, text, 0, len(text), "not in WINDOWS-1258")
    return r.stdout


def tuning_half(source):
    """True for the tuning half: the first bit of a hash of the document's source."""
    return hashlib.sha1(source.encode()).digest()[0] & 1 == 0


def _plain(text):
    text = unicodedata.normalize("NFC", text)
    return "".join(PLAIN.get(c, c) for c in text)


def _prose(paragraphs, min_letters=0.6):
    out = []
    for p in paragraphs:
        p = re.sub(r"\s+", " ", p).strip()
        if len(p) >= 40 and sum(c.isalpha() for c in p) >= min_letters * len(p):
            out.append(_plain(p))
    return out


def _catalog_strings(path, ids):
    """The translations (ids: the original English) of a compiled gettext catalog."""
    data = open(path, "rb").read()
    if len(data) < 28:
        return []
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">" if magic == 0xDE120495 else None
    if order is None:
        return []
    count, originals, translations = struct.unpack(order + "III", data[8:20])
    table = originals if ids else translations
    strings = []
    for i in range(1, count):  # entry 0 is the catalog's header
        length, offset = struct.unpack(order + "II", data[table + 8 * i:table + 8 * i + 8])
        try:
            for s in data[offset:offset + length].decode("utf-8").split("\0"):
                # Format directives and keyboard accelerators are not words.
                s = re.sub(r"%[-+ #0-9.*]*[hlqjzt]*[a-zA-Z%]|%\([a-z_]+\)[sd]|\{[a-z_0-9]*\}", " ", s)
                s = re.sub(r"[_&](?=\w)", "", s)
                strings.append(s)
        except UnicodeDecodeError:
            return []
    return strings


def _man_paragraphs(path):
    try:
        raw = gzip.open(path).read() if path.endswith(".gz") else open(path, "rb").read()
        text = raw.decode("utf-8")
    except (OSError, UnicodeDecodeError, EOFError):
        return []
    paragraphs, current = [], []
    for line in text.splitlines():
        if line.startswith((".", "'")):
            if current:
                paragraphs.append(" ".join(current))
                current = []
            continue
        line = re.sub(r"\\f[BIRP]|\\f\(..|\\f\[[^]]*\]|\\[&/,:%]|\\s[-+]?\d", "", line)
        line = re.sub(r"\\\(..|\\\[[^]]*\]|\\\*.", "", line)
        line = line.replace("\\-", "-").replace("\\ ", " ").replace("\\e", "\\").replace("\\~", " ")
        line = line.strip()
        if line:
            current.append(line)
    if current:
        paragraphs.append(" ".join(current))
    return paragraphs


def _help_paragraphs(path):
    try:
        text = open(path, encoding="utf-8").read()
    except (OSError, UnicodeDecodeError):
        return []
    text = re.sub(r"<info>.*?</info>", " ", text, flags=re.S)
    text = re.sub(r"<(code|cmd|screen|output|input|key|keyseq|sys|file)\b.*?</\1>", " ", text, flags=re.S)
    text = re.sub(r"</?(p|title|item|td|desc|note|section|page|list|terms|tree|table|tr|steps)\b[^>]*>", "\n", text)
    text = re.sub(r"<[^>]+>", "", text)
    text = text.replace("&lt;", "<").replace("&gt;", ">").replace("&quot;", '"').replace("&amp;", "&")
    return text.split("\n")


def _files(root, accept):
    found = []
    for dirpath, dirnames, files in os.walk(root):
        dirnames.sort()
        for f in sorted(files):
            if accept(f):
                found.append(os.path.join(dirpath, f))
    return found


# Character set tables and the like are lists of signs, not prose.
_NOT_PROSE = re.compile(r"(iso_8859|iso-8859|koi8|cp125|ascii|armscii|charsets|unicode|utf-?8|latin|console_codes)")


# Enough text of one genre in one language (English has 80 MB of manual pages).
GENRE_LIMIT = 4_000_000


def documents(language, folder):
    """(genre, source, paragraphs) of one language, in a fixed order."""
    docs = []
    held = {}

    def add(genre, source, read):
        if held.get(genre, 0) >= GENRE_LIMIT:
            return
        paragraphs = read()
        if paragraphs:
            docs.append((genre, source, paragraphs))
            held[genre] = held.get(genre, 0) + sum(len(p) for p in paragraphs)

    if folder == "C":
        # English: the originals of the French catalogs, the untranslated manual pages, the help.
        for path in _files("/usr/share/locale/fr/LC_MESSAGES", lambda f: f.endswith(".mo")):
            add("catalog", "catalog:en:" + os.path.basename(path), lambda: _prose(_catalog_strings(path, True), 0.5))
        man_roots = ["/usr/share/man/man%d" % i for i in range(1, 9)]
    else:
        for path in _files("/usr/share/locale/%s/LC_MESSAGES" % folder, lambda f: f.endswith(".mo")):
            add("catalog", "catalog:%s:%s" % (language, os.path.basename(path)),
                lambda: _prose(_catalog_strings(path, False), 0.5))
        man_roots = ["/usr/share/man/" + folder]
    for root in man_roots:
        for path in _files(root, lambda f: not _NOT_PROSE.match(f)):
            add("man", "man:%s:%s" % (language, os.path.relpath(path, root)), lambda: _prose(_man_paragraphs(path)))
    help_root = "/usr/share/help/" + folder
    for path in _files(help_root, lambda f: f.endswith(".page")):
        add("help", "help:%s:%s" % (language, os.path.relpath(path, help_root)), lambda: _prose(_help_paragraphs(path)))
    return docs
