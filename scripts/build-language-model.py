#!/usr/bin/env python3
"""Builds the letter trigram tables with which the migration tool tells a
legacy Hebrew font from a Latin one (hebrew/language_model_table.inc), and the
held-out texts its figures are measured on (tests/data/heldout_*.txt).

The text is the Hebrew translations that Debian packages ship and the English
messages they translate (GNU gettext catalogues): LibreOffice's Hebrew
translation (libreoffice-l10n-he, MPL-2.0), which the script fetches with
apt-get download, and the catalogues of the base system listed in SOURCES.
HELD_OUT's catalogues build no table: the figures are measured on them. The
packages and their licences are also in hebrew/language_model_sources.md.

    python3 scripts/build-language-model.py

The tables come out the same for the same catalogues."""
import math
import os
import re
import glob
import struct
import subprocess
import sys
import tempfile

# catalogue: (Debian package, licence); held-out catalogues build no table.
SOURCES = {
    "Linux-PAM.mo": ("libpam-runtime", "BSD-3-clause or GPL-2+"),
    "appstream.mo": ("appstream", "LGPL-2.1+"),
    "at-spi2-core.mo": ("at-spi2-common", "LGPL-2.1+"),
    "avahi.mo": ("libavahi-common-data", "LGPL-2.1+"),
    "diffutils.mo": ("diffutils", "GPL-3+"),
    "gdk-pixbuf.mo": ("libgdk-pixbuf2.0-common", "LGPL-2.1+"),
    "grep.mo": ("grep", "GPL-3+"),
    "gtk20-properties.mo": ("libgtk2.0-common", "LGPL-2+"),
    "iso_3166-1.mo": ("iso-codes", "LGPL-2.1+"),
    "iso_3166-2.mo": ("iso-codes", "LGPL-2.1+"),
    "iso_639-2.mo": ("iso-codes", "LGPL-2.1+"),
    "iso_639-3.mo": ("iso-codes", "LGPL-2.1+"),
    "make.mo": ("make", "GPL-3+"),
    "python-apt.mo": ("python-apt-common", "GPL-2+"),
    "sed.mo": ("sed", "GPL-3+"),
    "shadow.mo": ("login", "BSD-3-clause"),
    "software-properties.mo": ("software-properties-common", "GPL-2+"),
    "wget.mo": ("wget", "GPL-3+"),
    "xdg-user-dirs.mo": ("xdg-user-dirs", "GPL-2+"),
    "xkeyboard-config.mo": ("xkb-data", "MIT/X11"),
}
HELD_OUT = {
    "PackageKit.mo": ("packagekit", "GPL-2+"),
    "glib20.mo": ("libglib2.0-data", "LGPL-2.1+"),
    "gtk20.mo": ("libgtk2.0-common", "LGPL-2+"),
    "shared-mime-info.mo": ("shared-mime-info", "GPL-2+"),
}
SYSTEM = "/usr/share/locale/he/LC_MESSAGES"
LIBREOFFICE = "libreoffice-l10n-he"

HEBREW = [chr(c) for c in range(0x05D0, 0x05EB)]  # the 27 letters, final forms included
ENGLISH = [chr(c) for c in range(ord("a"), ord("z") + 1)]
# One character a quantised cost: an eighth of a bit per step, 64 steps.
ALPHABET = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/"
STEP = 0.25


def catalogue(path):
    """The (msgid, msgstr) pairs of a GNU .mo file."""
    data = open(path, "rb").read()
    magic = struct.unpack("<I", data[:4])[0]
    order = "<" if magic == 0x950412DE else ">"
    _, count, ids, strs = struct.unpack(order + "4I", data[4:20])
    pairs = []
    for i in range(count):
        n, off = struct.unpack(order + "2I", data[ids + 8 * i: ids + 8 * i + 8])
        m, off2 = struct.unpack(order + "2I", data[strs + 8 * i: strs + 8 * i + 8])
        msgid = data[off:off + n].decode("utf-8", "replace")
        msgstr = data[off2:off2 + m].decode("utf-8", "replace")
        if msgid:
            pairs.append((msgid.split("\0")[0], msgstr.split("\0")[0]))
    return pairs


def words(text, letters):
    """The runs of the model's letters, lower case."""
    text = text.lower()
    return re.findall("[" + re.escape("".join(letters)) + "]+", text)


def table(texts, letters):
    n = len(letters) + 1  # 0 is a word's boundary
    index = {c: i + 1 for i, c in enumerate(letters)}
    tri = [0] * n ** 3
    bi = [0] * n ** 2
    uni = [0] * n
    for text in texts:
        for w in words(text, letters):
            seq = [0, 0] + [index[c] for c in w] + [0]
            for i in range(2, len(seq)):
                a, b, c = seq[i - 2], seq[i - 1], seq[i]
                tri[(a * n + b) * n + c] += 1
                bi[b * n + c] += 1
                uni[c] += 1
    total = sum(uni)
    # Interpolated: the trigram, the bigram and the letter's own share.
    costs = []
    for a in range(n):
        for b in range(n):
            ctx3 = sum(tri[(a * n + b) * n + c] for c in range(n))
            ctx2 = sum(bi[b * n + c] for c in range(n))
            for c in range(n):
                p1 = (uni[c] + 0.5) / (total + 0.5 * n)
                p2 = bi[b * n + c] / ctx2 if ctx2 else p1
                p3 = tri[(a * n + b) * n + c] / ctx3 if ctx3 else p2
                p = 0.85 * p3 + 0.14 * p2 + 0.01 * p1
                bits = -math.log2(p)
                costs.append(ALPHABET[min(63, int(round(bits / STEP)))])
    return "".join(costs), total


def cpp_string(name, data):
    lines = [data[i:i + 96] for i in range(0, len(data), 96)]
    return "inline constexpr char %s[] =\n%s;\n" % (name, "\n".join('    "%s"' % l for l in lines))


def heldout_lines(texts, letters, limit):
    seen, out = set(), []
    for t in texts:
        t = " ".join(t.replace("_", "").split())
        ws = words(t, letters)
        t = re.sub(r"%[-0-9.]*[a-z]|[<>{}\\|]", "", t).strip()
        if 1 <= len(ws) <= 6 and len(t) <= 60 and t and t not in seen:
            seen.add(t)
            out.append(t)
    return out[:limit]


def libreoffice_catalogues(work):
    subprocess.run(["apt-get", "download", LIBREOFFICE], cwd=work, check=True, stdout=subprocess.DEVNULL)
    deb = glob.glob(os.path.join(work, LIBREOFFICE + "_*.deb"))[0]
    subprocess.run(["dpkg-deb", "-x", deb, os.path.join(work, "x")], check=True)
    return sorted(glob.glob(os.path.join(work, "x", "usr", "lib", "libreoffice", "program", "resource", "he",
                                         "LC_MESSAGES", "*.mo")))


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    hebrew, english = [], []
    with tempfile.TemporaryDirectory() as work:
        files = libreoffice_catalogues(work) + [os.path.join(SYSTEM, name) for name in sorted(SOURCES)]
        for path in files:
            for msgid, msgstr in catalogue(path):
                english.append(msgid)
                hebrew.append(msgstr)
    held_he, held_en = [], []
    for name in sorted(HELD_OUT):
        for msgid, msgstr in catalogue(os.path.join(SYSTEM, name)):
            held_en.append(msgid)
            held_he.append(msgstr)
    he_table, he_letters = table(hebrew, HEBREW)
    en_table, en_letters = table(english, ENGLISH)
    with open(os.path.join(root, "hebrew", "language_model_table.inc"), "w") as f:
        f.write("// Generated by scripts/build-language-model.py from %d Hebrew and %d English letters;\n"
                "// the sources and their licences are in language_model_sources.md. Entry\n"
                "// (a * N + b) * N + c is the cost of letter c after a and b, 0 being a word's\n"
                "// boundary, in steps of a quarter bit: kModelAlphabet's index of the character.\n"
                % (he_letters, en_letters))
        f.write('inline constexpr char kModelAlphabet[] = "%s";\n' % ALPHABET)
        f.write(cpp_string("kHebrewTrigrams", he_table))
        f.write(cpp_string("kEnglishTrigrams", en_table))
    data = os.path.join(root, "tests", "data")
    os.makedirs(data, exist_ok=True)
    with open(os.path.join(data, "heldout_he.txt"), "w") as f:
        f.write("\n".join(heldout_lines(held_he, HEBREW, 400)) + "\n")
    with open(os.path.join(data, "heldout_en.txt"), "w") as f:
        f.write("\n".join(heldout_lines(held_en, ENGLISH, 400)) + "\n")


if __name__ == "__main__":
    main()
