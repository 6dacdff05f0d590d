#!/usr/bin/env python3
"""Compares the voice's pronunciation with espeak-ng's Brazilian Portuguese
voice on the most common words: the stressed syllable, and the open or close
quality of stressed mid vowels.

Usage: tools/pron/compare_espeak.py RANKED.tsv [--count 5000] [--skip 0] [--tool PATH]
                                   [--show N] [--no-lists]

RANKED.tsv comes from corpus_words.py.  Words of one letter, with characters
outside the lower-case Portuguese letters, or that espeak-ng reads as several
words or letter names, are left out.  Each word is read as phrase-final (so
function words carry their stress, as in espeak-ng's citation reading).
Stress is compared as the position, counted from the end of the word, of the
stressed group of adjacent vowels and glides (so diphthongs and hiatus
count alike on both sides).  Mid vowels are compared where both stress the
same group and both put an oral mid vowel of the same series (e/o) there.
Disagreements are printed by category with examples.
"""
import argparse
import collections
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pronlib  # noqa: E402

LETTERS = set('abcdefghijklmnopqrstuvwxyzáéíóúàâêôãõüç')
ACCENTED = set('áéíóúâêôãõà')


def open_list():
    path = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                        'lang_pt_br', 'data', 'open_vowel_words.txt')
    return set(w.strip() for w in open(path, encoding='utf-8') if w.strip() and not w.startswith(';'))


def stress_category(word, m_idx, e_idx):
    if set(word) & ACCENTED and not word.endswith(('ão', 'ãos', 'ães', 'ões', 'ã', 'ãs')):
        return 'written accent: espeak-ng reads the accent elsewhere'
    if word.endswith(('ia', 'io', 'ias', 'ios', 'ua', 'uo', 'ie', 'ea', 'eo', 'oa')):
        return 'final vowel sequence (hiatus or diphthong) counted differently'
    if m_idx is None:
        return 'voice stresses nothing'
    if e_idx is None:
        return 'espeak-ng stresses nothing'
    if word.endswith(('r', 'l', 'z', 'x', 'i', 'is', 'u', 'us', 'im', 'ins', 'um', 'uns', 'om', 'ons', 'ps')):
        return 'ending rule (oxytone endings): espeak-ng has the word as paroxytone'
    if m_idx < e_idx:
        return 'espeak-ng stresses earlier (proparoxytone or loanword without accent)'
    return 'espeak-ng stresses later (dictionary exception or loanword)'


def quality_category(word, phones, mine_open, listed):
    if listed:
        return 'open by the word list, espeak-ng close' if mine_open else 'listed but closed (should not happen)'
    if mine_open:
        if any(p in ('eh1', 'oh1') for p in phones) and ('é' in word or 'ó' in word):
            return 'open by a written accent, espeak-ng close'
        return 'open by the letter rules or the context rule (pairs r t, r d, s t, w, h), espeak-ng close'
    if word.endswith(('ema', 'ela', 'elo', 'ola', 'olo', 'eta', 'eto', 'ota', 'oto', 'ega', 'ogo', 'ova', 'ovo',
                      'eda', 'edo', 'oda', 'odo', 'eva', 'ona', 'ene', 'eme', 'ote', 'ete', 'ope')):
        return 'close by default, espeak-ng open: root vowel of a common noun/adjective pattern not listed'
    if word.endswith(('a', 'as', 'am', 'e', 'es', 'em', 'o')):
        return 'close by default, espeak-ng open: verb form or inflection beyond the list'
    return 'close by default, espeak-ng open: other'


def main():
    ap = argparse.ArgumentParser()
    ap.add_argument('ranked')
    ap.add_argument('--count', type=int, default=5000)
    ap.add_argument('--skip', type=int, default=0, help='leave out the first SKIP usable words (held-out checks)')
    ap.add_argument('--tool', default=pronlib.default_tool())
    ap.add_argument('--show', type=int, default=8)
    ap.add_argument('--no-lists', action='store_true', help='the voice without its word lists')
    args = ap.parse_args()
    words = []
    seen = 0
    for line in open(args.ranked, encoding='utf-8'):
        w = line.split('\t')[0]
        if len(w) > 1 and set(w) <= LETTERS:
            seen += 1
            if seen > args.skip:
                words.append(w)
        if len(words) == args.count:
            break
    flags = ['--final'] + (['--no-lists'] if args.no_lists else [])
    mine = pronlib.run_mine(args.tool, words, *flags)
    ref = pronlib.run_espeak(words)
    listed = open_list() if not args.no_lists else set()
    compared = agree = 0
    mid_compared = mid_agree = 0
    mid_unlisted = mid_unlisted_agree = 0
    skipped = 0
    stress_bad = collections.defaultdict(list)
    quality_bad = collections.defaultdict(list)
    confusion = collections.Counter()
    for w in words:
        phones = mine.get(w, [])
        e_idx, e_vowel, e_groups = pronlib.espeak_nuclei(ref[w])
        if e_groups == 0:
            skipped += 1
            continue
        m_idx, m_vowel, _ = pronlib.mine_nuclei(phones)
        compared += 1
        if m_idx == e_idx and m_idx is not None:
            agree += 1
        else:
            stress_bad[stress_category(w, m_idx, e_idx)].append('%s (%s | %s)' % (w, ' '.join(phones), ref[w]))
            continue
        mq, eq = pronlib.mid_quality_mine(m_vowel), pronlib.mid_quality_espeak(e_vowel)
        if not mq or not eq or mq[0] != eq[0]:
            continue
        mid_compared += 1
        confusion[(mq[0], mq[1], eq[1])] += 1
        ok = mq[1] == eq[1]
        mid_agree += ok
        if w not in listed:
            mid_unlisted += 1
            mid_unlisted_agree += ok
        if not ok:
            quality_bad[quality_category(w, phones, mq[1] == 'open', w in listed)].append(
                '%s (%s | %s)' % (w, ' '.join(phones), ref[w]))
    print('words: %d taken, %d compared, %d left out (espeak-ng reads them as several words or letters)'
          % (len(words), compared, skipped))
    print('stressed syllable: %d of %d agree (%.1f%%)' % (agree, compared, 100.0 * agree / max(compared, 1)))
    print('stressed mid vowel quality: %d of %d agree (%.1f%%); outside the open-vowel list: %d of %d (%.1f%%)'
          % (mid_agree, mid_compared, 100.0 * mid_agree / max(mid_compared, 1), mid_unlisted_agree, mid_unlisted,
             100.0 * mid_unlisted_agree / max(mid_unlisted, 1)))
    print('mid vowel confusion (series, voice, espeak-ng): ' +
          ', '.join('%s %s/%s %d' % (k[0], k[1], k[2], n) for k, n in sorted(confusion.items())))
    for title, groups in (('stress disagreements', stress_bad), ('mid vowel disagreements', quality_bad)):
        print('\n%s: %d' % (title, sum(len(v) for v in groups.values())))
        for cat, items in sorted(groups.items(), key=lambda kv: -len(kv[1])):
            print('  %4d  %s' % (len(items), cat))
            for ex in items[:args.show]:
                print('          %s' % ex)


if __name__ == '__main__':
    main()
