#!/usr/bin/env python3
"""Ranks the words of the Brazilian Portuguese word list by how often they
occur in Brazilian Portuguese text installed on this machine.

Usage: tools/pron/corpus_words.py OUT.tsv

Text sources (Debian packages): the Brazilian Portuguese manual pages
(manpages-pt-br, manpages-pt-br-dev) and every pt_BR message catalog under
/usr/share/locale.  Only lower-case words that also appear in the word list
of the wbrazilian package (/usr/share/dict/brazilian) are counted, so that
command names and English fragments drop out.  OUT.tsv gets "word<TAB>count"
lines, most frequent first; words of the list that never occur follow with
count 0, shorter words first.
"""
import collections
import glob
import gettext
import gzip
import re
import sys

DICT = '/usr/share/dict/brazilian'
WORD = re.compile(r"[a-záéíóúàâêôãõüç]+(?:-[a-záéíóúàâêôãõüç]+)*")


def man_text():
    for path in glob.glob('/usr/share/man/pt_BR/man*/*'):
        try:
            raw = gzip.open(path).read() if path.endswith('.gz') else open(path, 'rb').read()
        except OSError:
            continue
        for enc in ('utf-8', 'iso-8859-1'):
            try:
                text = raw.decode(enc)
                break
            except UnicodeDecodeError:
                continue
        for line in text.split('\n'):
            if line.startswith('.') or line.startswith("'"):
                line = line.split(' ', 1)[1] if ' ' in line else ''
            yield re.sub(r'\\f[BIRP]|\\\(..|\\[-&e]', ' ', line)


def catalog_text():
    for path in glob.glob('/usr/share/locale/pt_BR/LC_MESSAGES/*.mo'):
        try:
            with open(path, 'rb') as f:
                cat = gettext.GNUTranslations(f)._catalog
        except Exception:
            continue
        for value in cat.values():
            if isinstance(value, str):
                yield value


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    words = set(w.strip() for w in open(DICT, encoding='utf-8') if w.strip() == w.strip().lower())
    counts = collections.Counter()
    for source in (man_text(), catalog_text()):
        for text in source:
            for w in WORD.findall(text.lower()):
                if w in words:
                    counts[w] += 1
    ranked = sorted(counts.items(), key=lambda kv: (-kv[1], kv[0]))
    rest = sorted((w for w in words if w not in counts), key=lambda w: (len(w), w))
    with open(sys.argv[1], 'w', encoding='utf-8') as out:
        for w, n in ranked:
            out.write('%s\t%d\n' % (w, n))
        for w in rest:
            out.write('%s\t0\n' % w)
    print('%d words seen in the text, %d in the list' % (len(ranked), len(words)), file=sys.stderr)


if __name__ == '__main__':
    main()
