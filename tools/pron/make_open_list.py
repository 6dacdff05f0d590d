#!/usr/bin/env python3
"""Builds lang_pt_br/data/open_vowel_words.txt: the words whose stressed mid
vowel is open although the letter-to-sound rules and the context rule give a
close one.

Usage: tools/pron/make_open_list.py RANKED.tsv [--tool PATH] [--count 1569]

RANKED.tsv comes from corpus_words.py (most frequent words first).  For each
word of the ranked list (lower case, without "-", "." or "'"), the voice's
own reading without word lists (selvana-pron --no-lists --final) is compared
with espeak-ng's Brazilian Portuguese reading.  A word is taken when both
stress the same syllable, the voice gives a close "e1"/"o1" there and
espeak-ng gives the open vowel of the same series, and it is not one of the
words kept close on purpose.  The first COUNT such words in rank order are
written, sorted in ISO-8859-15 byte order.  Afterwards run gen_open_words.py.
"""
import argparse
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pronlib  # noqa: E402

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
OUT = os.path.join(ROOT, 'lang_pt_br', 'data', 'open_vowel_words.txt')
CLOSE = {'besta', 'bestas', 'consertos', 'pedro', 'verde', 'verdes', 'zeugma', 'aeroporto', 'aposto', 'corte',
         'couto', 'côrte', 'morto', 'porto', 'ouro', 'ouros', 'outra', 'outras', 'outrem', 'outro', 'outros',
         'ouve', 'souto'}
# Words where espeak-ng's open vowel is wrong for Brazilian Portuguese
# (checked by hand among the frequent candidates): close in speech, or
# English words of the manual pages.
REVIEWED_CLOSE = {'controle', 'controles', 'more', 'force', 'role', 'correm', 'corres', 'colhem', 'colhes',
                  'decoro', 'toldo', 'gosto', 'gostos', 'povo', 'novo', 'ovo', 'corpo', 'porco', 'fogo', 'jogo',
                  'bolso', 'esforço', 'socorro', 'almoço', 'acordo', 'sogro', 'forno', 'poço', 'posto', 'rogo',
                  'olho', 'torre', 'adoço', 'jorra'}
# Taken whatever the comparison says: everyday words that the ranked text
# does not reach and that must read open.
ALWAYS = ['abaderna', 'acerola', 'acesse', 'acessem', 'acesso', 'acessos', 'escola', 'escolas', 'espera',
          'parece', 'pele', 'pipoca', 'pipocas', 'zoonoses']
LETTERS = set('abcdefghijklmnopqrstuvwxyzáéíóúàâêôãõüç')


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('ranked')
    ap.add_argument('--tool', default=pronlib.default_tool())
    ap.add_argument('--count', type=int, default=1569)
    args = ap.parse_args()
    words = []
    for line in open(args.ranked, encoding='utf-8'):
        w = line.split('\t')[0]
        if len(w) > 1 and set(w) <= LETTERS and w not in CLOSE and w not in REVIEWED_CLOSE:
            words.append(w)
    chosen = list(ALWAYS)
    words = [w for w in words if w not in ALWAYS]
    step = 4000
    for start in range(0, len(words), step):
        chunk = words[start:start + step]
        mine = pronlib.run_mine(args.tool, chunk, '--no-lists', '--final')
        ref = pronlib.run_espeak(chunk)
        for w in chunk:
            m_idx, m_vowel, _ = pronlib.mine_nuclei(mine.get(w, []))
            e_idx, e_vowel, _ = pronlib.espeak_nuclei(ref[w])
            if m_idx is None or m_idx != e_idx:
                continue
            mq, eq = pronlib.mid_quality_mine(m_vowel), pronlib.mid_quality_espeak(e_vowel)
            if mq and eq and mq[0] == eq[0] and mq[1] == 'close' and eq[1] == 'open':
                chosen.append(w)
                if len(chosen) == args.count:
                    break
        if len(chosen) == args.count:
            break
    chosen.sort(key=lambda w: w.encode('iso-8859-15'))
    with open(OUT, 'w', encoding='utf-8') as f:
        f.write('; Words whose stressed mid vowel (e, o) is open where the letter rules\n')
        f.write('; give a close one.  Made by tools/pron/make_open_list.py; sorted in\n')
        f.write('; ISO-8859-15 byte order.\n')
        for w in chosen:
            f.write(w + '\n')
    print('%d words written to %s' % (len(chosen), OUT), file=sys.stderr)


if __name__ == '__main__':
    main()
