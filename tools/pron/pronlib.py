"""Shared helpers of the pronunciation scripts: running the voice's own
pronunciation (selvana-pron) and espeak-ng's Brazilian Portuguese voice over
word lists, reading both into comparable shapes, and writing the generated
table sources.

espeak-ng is only a reference to compare with: nothing of it goes into the
voice.
"""
import os
import subprocess

VOWELS_MINE = set('a an e eh en i in o oh on u un'.split())
GLIDES_MINE = {'j', 'w'}
ESPEAK_VOWELS = set('aeiouyAEIOU&')


def run_mine(tool, words, *flags):
    """word -> list of phones, through the selvana-pron tool."""
    data = ''.join(w + '\n' for w in words).encode('iso-8859-15')
    out = subprocess.run([tool, *flags], input=data, capture_output=True, check=True).stdout
    result = {}
    for line in out.decode('iso-8859-15').split('\n'):
        if '\t' in line:
            w, ph = line.split('\t', 1)
            result[w] = ph.split()
    return result


def run_espeak(words):
    """word -> espeak-ng phoneme mnemonics (-x), one word per sentence."""
    data = ''.join(w + '.\n' for w in words).encode('utf-8')
    out = subprocess.run(['espeak-ng', '-v', 'pt-br', '-q', '-x', '--stdin'], input=data,
                         capture_output=True, check=True).stdout.decode('utf-8').split('\n')
    out = [l.strip() for l in out if l.strip() != '']
    if len(out) != len(words):
        raise RuntimeError('espeak-ng gave %d lines for %d words' % (len(out), len(words)))
    return dict(zip(words, out))


def mine_nuclei(phones):
    """Groups of adjacent vowels and glides: (index of the stressed group
    counted from the end or None, stressed vowel or None, number of groups)."""
    groups, cur, stressed_group, stressed_vowel = [], [], None, None
    for p in phones:
        if p == '-':
            continue
        base = p.rstrip('0123')
        if base in VOWELS_MINE or base in GLIDES_MINE:
            cur.append(p)
            if p.endswith('1') and base in VOWELS_MINE:
                stressed_group, stressed_vowel = len(groups), base
        elif cur:
            groups.append(cur)
            cur = []
    if cur:
        groups.append(cur)
    if stressed_group is None:
        return None, None, len(groups)
    return len(groups) - 1 - stressed_group, stressed_vowel, len(groups)


def espeak_nuclei(code):
    """The same reading of an espeak-ng -x transcription.  The epenthetic
    vowel "@" is not counted; a vowel followed by "~" or by "N" is nasal."""
    if '_' in code or ' ' in code:
        return None, None, 0
    groups, in_group, stressed_group, stressed_vowel = 0, False, None, None
    pending_stress = False
    i = 0
    while i < len(code):
        ch = code[i]
        if ch == "'":
            pending_stress = True
        elif ch in ESPEAK_VOWELS or (in_group and ch in 'jw'):
            if not in_group:
                groups += 1
                in_group = True
            if pending_stress and ch in ESPEAK_VOWELS:
                pending_stress = False
                stressed_group = groups - 1
                nasal = code[i + 1:i + 2] == '~' or code[i + 1:i + 3] in ('IN', 'UN') or code[i + 1:i + 2] == 'N'
                stressed_vowel = ch + ('~' if nasal else '')
        elif ch in '~;,-':
            pass
        elif ch == '@':
            in_group = False
        else:
            in_group = False
        i += 1
    if stressed_group is None:
        return None, None, groups
    return groups - 1 - stressed_group, stressed_vowel, groups


def mid_quality_mine(vowel):
    return {'e': ('e', 'close'), 'eh': ('e', 'open'), 'o': ('o', 'close'), 'oh': ('o', 'open')}.get(vowel)


def mid_quality_espeak(vowel):
    return {'e': ('e', 'close'), 'E': ('e', 'open'), 'o': ('o', 'close'), 'O': ('o', 'open')}.get(vowel)


def default_tool():
    here = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
    for build in ('build', 'build-pron'):
        path = os.path.join(here, build, 'bin', 'selvana-pron')
        if os.path.exists(path):
            return path
    return 'selvana-pron'


def write_generated(root, out, text, argv):
    """Writes `text` to the generated source `out`; with --check in `argv` only
    compares it with the file there.  Returns the exit status: 1 when the file
    is out of date."""
    if '--check' in argv:
        current = open(out, encoding='utf-8').read() if os.path.exists(out) else ''
        if current != text:
            print('%s is out of date' % os.path.relpath(out, root).replace(os.sep, '/'))
            return 1
        return 0
    with open(out, 'w', encoding='utf-8') as f:
        f.write(text)
    return 0
