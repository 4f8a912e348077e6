"""Texts in many languages from what Debian's packages install, for the detection tables
(scripts/language_tables.py) and the detection benchmark (bench/detect_corpus.py).

Five kinds of text ("genres"), each document one source:
  catalog    the translated messages of one package (/usr/share/locale/<l>/LC_MESSAGES/*.mo)
  man        one translated manual page (/usr/share/man/<l>/...)
  templates  the questions one package asks when it is installed (its debconf templates)
  appstream  what one desktop program says of itself (its AppStream description and desktop entries)
  help       one page of desktop help (/usr/share/help/<l>/<program>/*.page)

The templates and the descriptions come from packages that are downloaded, never installed
(apt-get download, unpacked into a cache folder: LUMIVA_TEXTS_CACHE, by default
~/.cache/lumiva-texts); the help pages of the downloaded programs join gnome-user-docs' own.
Documents are split by a hash of their source into a tuning half and a held-out half, and the
help pages are all held out: the tables and thresholds are fitted on the tuning half of the other
genres only. Everything is read in sorted order, so the same packages give the same texts.
"""

import functools
import glob
import gzip
import hashlib
import os
import re
import struct
import subprocess
import sys
import tempfile
import unicodedata
import xml.etree.ElementTree as ElementTree

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

# Packages that ask questions when installed, in many languages (debconf templates).
TEMPLATE_PACKAGES = [
    "apt-listchanges", "console-setup", "cryptsetup", "davfs2", "dbconfig-common", "ddclient", "debconf",
    "debian-security-support", "dictionaries-common", "exim4-config", "grub-pc", "iptables-persistent",
    "keyboard-configuration", "krb5-config", "libnss-ldapd", "libpam-runtime", "lightdm", "locales", "man-db",
    "mdadm", "nslcd", "openssh-server", "phpmyadmin", "popularity-contest", "postfix", "resolvconf",
    "roundcube-core", "samba-common", "slapd", "sysvinit-core", "tasksel", "tzdata", "ucf",
    "unattended-upgrades", "wireshark-common", "x11-common",
]
# Desktop programs that describe themselves in many languages (AppStream, desktop entries), some
# with help pages.
APP_PACKAGES = [
    "ark", "audacity", "baobab", "cheese", "digikam", "dolphin", "eog", "evince", "file-roller", "gedit",
    "gimp-data", "gnome-calculator", "gnome-calendar", "gnome-characters", "gnome-clocks", "gnome-contacts",
    "gnome-disk-utility", "gnome-font-viewer", "gnome-logs", "gnome-maps", "gnome-music", "gnome-software",
    "gnome-sound-recorder", "gnome-system-monitor", "gnome-terminal", "gnome-text-editor", "gnome-weather",
    "gwenview", "hexchat", "inkscape", "k3b", "kate", "kcalc", "kdenlive", "kmail", "konsole", "korganizer",
    "krita", "kwrite", "nautilus", "okular", "pidgin", "polari", "rhythmbox", "seahorse", "shotwell",
    "simple-scan", "totem", "transmission-gtk", "vlc-data",
]

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


@functools.lru_cache(maxsize=None)
def can_encode(text, codec):
    """Whether text can be written in the legacy encoding."""
    try:
        encode(text, codec)
        return True
    except UnicodeEncodeError:
        return False


def tuning_half(source):
    """True for the tuning half: the first bit of a hash of the document's source."""
    return hashlib.sha1(source.encode()).digest()[0] & 1 == 0


def _plain(text):
    text = unicodedata.normalize("NFC", text)
    return "".join(PLAIN.get(c, c) for c in text)


def _prose(paragraphs, min_letters=0.6, plain=True):
    out = []
    for p in paragraphs:
        p = re.sub(r"\s+", " ", p).strip()
        if len(p) >= 40 and sum(c.isalpha() for c in p) >= min_letters * len(p):
            out.append(_plain(p) if plain else unicodedata.normalize("NFC", p))
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


def unpacked(package):
    """The folder where package's files and control files (under DEBIAN/) are unpacked: downloaded
    with apt-get and unpacked with dpkg-deb the first time, never installed. None when apt cannot
    download it."""
    cache = os.environ.get("LUMIVA_TEXTS_CACHE") or os.path.expanduser("~/.cache/lumiva-texts")
    folder = os.path.join(cache, package)
    if os.path.exists(os.path.join(folder, ".unpacked")):
        return folder
    os.makedirs(cache, exist_ok=True)
    with tempfile.TemporaryDirectory(dir=cache) as scratch:
        got = subprocess.run(["apt-get", "download", "-q", package], cwd=scratch, capture_output=True)
        if got.returncode != 0:
            # The texts then lack this package's: say so, since the tables would differ.
            print("language_texts: cannot download %s (run apt-get update?): %s"
                  % (package, got.stderr.decode(errors="replace").strip()[-200:]), file=sys.stderr)
            return None
        deb = glob.glob(os.path.join(scratch, "*.deb"))[0]
        os.makedirs(folder, exist_ok=True)
        subprocess.run(["dpkg-deb", "-x", deb, folder], check=True)
        subprocess.run(["dpkg-deb", "-e", deb, os.path.join(folder, "DEBIAN")], check=True)
    open(os.path.join(folder, ".unpacked"), "w").close()
    return folder


def _template_paragraphs(path, folder):
    """The descriptions in one language of a debconf templates file (folder "C": the originals)."""
    try:
        text = open(path, encoding="utf-8").read()
    except (OSError, UnicodeDecodeError):
        return []
    field = "Description:" if folder == "C" else "Description-%s.UTF-8:" % folder
    paragraphs = []
    for record in text.split("\n\n"):
        lines = record.split("\n")
        for i, line in enumerate(lines):
            if not line.startswith(field):
                continue
            current = [line[len(field):]]
            for more in lines[i + 1:]:
                if not more.startswith(" "):
                    break
                if more.strip() == ".":
                    paragraphs.append(" ".join(current))
                    current = []
                else:
                    current.append(more.strip())
            paragraphs.append(" ".join(current))
    return [re.sub(r"\$\{[^}]*\}", " ", p) for p in paragraphs]


def _xml_language(element, folder):
    language = element.get("{http://www.w3.org/XML/1998/namespace}lang", "C").replace("-", "_")
    return language == folder


def _app_paragraphs(root, folder):
    """What one program says of itself in one language: its AppStream summary and description,
    and the comments of its desktop entries."""
    paragraphs = []
    for path in sorted(glob.glob(os.path.join(root, "usr/share/metainfo/*.xml")) +
                       glob.glob(os.path.join(root, "usr/share/appdata/*.xml"))):
        try:
            component = ElementTree.parse(path).getroot()
        except (ElementTree.ParseError, OSError):
            continue
        for element in component.iter():
            if element.tag in ("summary", "p", "li") and _xml_language(element, folder):
                paragraphs.append("".join(element.itertext()))
    key = re.compile(r"^(Comment|GenericName)%s=(.*)$" % ("" if folder == "C" else re.escape("[%s]" % folder)))
    for path in sorted(glob.glob(os.path.join(root, "usr/share/applications/*.desktop"))):
        try:
            for line in open(path, encoding="utf-8"):
                m = key.match(line.rstrip("\n"))
                if m:
                    paragraphs.append(m.group(2))
        except (OSError, UnicodeDecodeError):
            continue
    # Short lines one after another make paragraphs of the usual length.
    joined, current = [], ""
    for p in paragraphs:
        current = (current + " " + p.strip()).strip()
        if len(current) >= 80:
            joined.append(current)
            current = ""
    return joined + ([current] if current else [])


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


def documents(language, folder, typographic=False):
    """(genre, source, paragraphs) of one language, in a fixed order; typographic keeps the quotes,
    dashes and ellipses that the texts otherwise write in ASCII."""
    docs = []
    prose = functools.partial(_prose, plain=not typographic)
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
            add("catalog", "catalog:en:" + os.path.basename(path), lambda: prose(_catalog_strings(path, True), 0.5))
        man_roots = ["/usr/share/man/man%d" % i for i in range(1, 9)]
    else:
        for path in _files("/usr/share/locale/%s/LC_MESSAGES" % folder, lambda f: f.endswith(".mo")):
            add("catalog", "catalog:%s:%s" % (language, os.path.basename(path)),
                lambda: prose(_catalog_strings(path, False), 0.5))
        man_roots = ["/usr/share/man/" + folder]
    for root in man_roots:
        for path in _files(root, lambda f: not _NOT_PROSE.match(f)):
            add("man", "man:%s:%s" % (language, os.path.relpath(path, root)), lambda: prose(_man_paragraphs(path)))
    for package in TEMPLATE_PACKAGES:
        root = unpacked(package)
        if root is not None:
            add("templates", "templates:%s:%s" % (language, package),
                lambda: prose(_template_paragraphs(os.path.join(root, "DEBIAN", "templates"), folder), 0.5))
    apps = [(package, unpacked(package)) for package in APP_PACKAGES]
    for package, root in apps:
        if root is not None:
            add("appstream", "appstream:%s:%s" % (language, package), lambda: prose(_app_paragraphs(root, folder), 0.5))
    for help_root in ["/usr/share/help/" + folder] + [os.path.join(root, "usr/share/help", folder) for _, root in apps if root]:
        for path in _files(help_root, lambda f: f.endswith(".page")):
            add("help", "help:%s:%s" % (language, os.path.relpath(path, help_root)),
                lambda: prose(_help_paragraphs(path)))
    return docs
