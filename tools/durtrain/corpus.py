"""Synthetic read-speech corpus for training the duration tree.

No corpus of measured Brazilian Portuguese phone durations is available to
this project, so the training durations are derived from established findings
on Brazilian Portuguese read speech and applied to generated sentences:

* stressed vowels are markedly longer than unstressed ones; pretonic vowels
  are somewhat shorter, post-tonic vowels shortest, word-final post-tonic
  vowels short but less than medial ones;
* phrase-final lengthening: the last syllable of a sentence-final phrase is
  strongly lengthened, the stressed penult before it too, and minor phrase
  breaks lengthen less;
* vowels of unstressed function words (clitics, articles, prepositions) are
  reduced;
* closed syllables and diphthongs shorten their vowel; a following voiced
  consonant lengthens it slightly;
* onset consonants of stressed syllables are longer, coda consonants are
  shorter word-medially and lengthened phrase-finally; the second member of
  an onset cluster (the tap or lateral in "pr", "bl") is very short and the
  first member slightly shortened;
* phrase-initial onsets after a pause are slightly lengthened; syllables far
  from the end of the phrase are slightly compressed (anacrusis).

Each phone starts from its mean duration in the voice's statistics; the
effects multiply, and a sentence tempo factor and per-phone log-normal noise
make the data as variable as real speech.  The features computed here follow
the voice's feature functions exactly (same names, same values, the same "0"
for anything that cannot be reached), so the tree trained on them asks the
questions the voice can answer.
"""

import math
import random

import lexicon

# Phoneset: vc cvox vheight vfront vrnd ctype cplace
PHONES = {
    "a": "+ 0 3 2 - 0 0", "an": "+ 0 2 2 - 0 0", "b": "- + 0 0 0 p l",
    "ch": "- - 0 0 0 a p", "d": "- + 0 0 0 p d", "e": "+ 0 2 1 - 0 0",
    "eh": "+ 0 3 1 - 0 0", "en": "+ 0 2 1 - 0 0", "f": "- - 0 0 0 f b",
    "g": "- + 0 0 0 p v", "h": "- - 0 0 0 f v", "i": "+ 0 1 1 - 0 0",
    "in": "+ 0 1 2 - 0 0", "j": "- + 0 0 0 g p", "jh": "- + 0 0 0 a p",
    "k": "- - 0 0 0 p v", "l": "- + 0 0 0 l a", "lj": "- + 0 0 0 l p",
    "m": "- + 0 0 0 n l", "n": "- + 0 0 0 n a", "ni": "- + 0 0 0 n p",
    "o": "+ 0 2 3 + 0 0", "oh": "+ 0 3 3 + 0 0", "on": "+ 0 2 3 + 0 0",
    "p": "- - 0 0 0 p l", "pau": "0 0 0 0 0 0 0", "r": "- + 0 0 0 r a",
    "s": "- - 0 0 0 f a", "sh": "- - 0 0 0 f p", "t": "- - 0 0 0 p d",
    "u": "+ 0 1 3 + 0 0", "un": "+ 0 1 3 - 0 0", "v": "- + 0 0 0 f b",
    "w": "- + 0 0 0 g v", "z": "- + 0 0 0 f a", "zh": "- + 0 0 0 f p",
}
FEATS = ["vc", "cvox", "vheight", "vfront", "vrnd", "ctype", "cplace"]


def ph(name, feat):
    row = PHONES.get(name)
    if row is None:
        return "0"
    return row.split()[FEATS.index(feat)]


# The statistics of the voice (mean, sd in ms), in table order.  The record
# without a phone name in the original data is the voice's "sh".
STATS = [
    ("a", 76, 41), ("jh", 92, 22), ("d", 80, 22), ("j", 62, 30), ("on", 114, 48),
    ("u", 64, 35), ("k", 89, 25), ("g", 88, 22), ("in", 132, 54), ("sh", 156, 29),
    ("t", 88, 24), ("e", 70, 35), ("v", 94, 29), ("s", 122, 46), ("en", 121, 43),
    ("un", 136, 51), ("b", 89, 22), ("eh", 119, 49), ("z", 112, 26), ("w", 75, 39),
    ("r", 54, 18), ("h", 105, 31), ("oh", 132, 46), ("lj", 106, 29), ("ch", 117, 31),
    ("ni", 96, 36), ("f", 121, 37), ("i", 67, 38), ("n", 85, 22), ("zh", 128, 28),
    ("m", 86, 22), ("pau", 303, 101), ("l", 77, 25), ("p", 87, 25), ("an", 111, 43),
    ("o", 75, 35),
]
STAT = {n: (m, s) for n, m, s in STATS}

# The 31 feature paths the tree may ask about.
PATHS = [
    "name", "p.name", "n.name", "ph_ctype", "ph_cplace", "ph_cvox", "p.ph_vfront",
    "n.ph_ctype", "pp.ph_vheight", "pp.ph_ctype", "pp.ph_cplace", "pp.ph_vrnd",
    "nn.ph_vc", "nn.ph_cvox", "nn.ph_vrnd", "pos_in_syl", "seg_onsetcoda",
    "p.seg_onsetcoda", "R:SylStructure.parent.stress", "R:SylStructure.parent.ssyl_out",
    "R:SylStructure.parent.syl_break", "R:SylStructure.parent.syl_vowel",
    "R:SylStructure.parent.position_type", "R:SylStructure.parent.parent.gpos",
    "R:SylStructure.parent.R:Syllable.p.stress", "R:SylStructure.parent.R:Syllable.n.stress",
    "R:SylStructure.parent.R:Syllable.nn.stress",
    "R:SylStructure.parent.R:Syllable.p.syl_codasize",
    "R:SylStructure.parent.R:Syllable.n.endtone", "R:SylStructure.parent.R:Syllable.n.accented",
    "R:SylStructure.parent.R:Syllable.nn.accented",
]

# The voice's part-of-speech classes, searched in this order (ISO-8859-15).
GPOS = [
    ("in", "ao aos da das de do dos dum duma dumas duns em na nas no num numa numas nuns para pela "
           "pelas pelo pelos por \xe0 \xe0s"),
    ("wp", "aonde como onde porque quais qual quanta quantas quanto quantos que quem quens qu\xea"),
    ("det", "aquela aquelas aquele aqueles aquilo daquela daquelas daquele daqueles daquilo dessa "
            "dessas desse desses desta destas deste destes disso disto essa essas esse esses esta "
            "estas este estes isso isto mesma mesmas mesmo mesmos naquela naquelas naquele naqueles "
            "naquilo nessa nessas nesse nesses nesta nestas neste nestes nisso nisto outra outras "
            "outro outros tais tal \xe0quela \xe0quelas \xe0quele \xe0queles"),
    ("pps", "ela elas ele eles eu la las lha lhas lhe lhes lho lhos lo los ma me migo mim mo mos nos "
            "nosco n\xf3s se si sigo ta tas te ti tigo to tos tu vo voc\xea voc\xeas vos vosco v\xf3s"),
    ("pps$", "meu meus minha minhas nossa nossas nosso nossos seu seus sua suas teu teus tua tuas "
             "vossa vossas vosso vossos"),
    ("cc", "conquanto contudo e mas nem ou pois portando por\xe9m sen\xe3o tamb\xe9m todavia"),
    ("art", "a as o os um uma umas uns"),
]


def gpos_of(text):
    for tag, words in GPOS:
        if text in words.split():
            return tag
    return "content"

BY_CLASS = {}
for _w, _c, _p in lexicon.WORDS:
    BY_CLASS.setdefault(_c, []).append((_w, _c, lexicon.syllables(_p)))


def pick(rng, cls):
    return rng.choice(BY_CLASS[cls])


def noun_phrase(rng):
    out = []
    r = rng.random()
    if r < 0.45:
        out.append(pick(rng, "art"))
    elif r < 0.6:
        out.append(pick(rng, "det"))
    elif r < 0.72:
        out.append(pick(rng, "pps$"))
    out.append(pick(rng, "N"))
    if rng.random() < 0.3:
        out.append(pick(rng, "A"))
    return out


def clause(rng):
    out = []
    if rng.random() < 0.4:
        out.append(pick(rng, "pps"))
    else:
        out += noun_phrase(rng)
    if rng.random() < 0.15:
        out.append(pick(rng, "D"))
    out.append(pick(rng, "V"))
    r = rng.random()
    if r < 0.4:
        out += noun_phrase(rng)
    elif r < 0.7:
        out.append(pick(rng, "in"))
        out += noun_phrase(rng)
    elif r < 0.85:
        out.append(pick(rng, "A"))
    if rng.random() < 0.25:
        out.append(pick(rng, "D"))
    return out


def sentence(rng):
    """[(phrase name, [word]), ...], kind ("statement", "yesno", "wh", "tag")."""
    r = rng.random()
    if r < 0.65:
        kind = "statement"
    elif r < 0.82:
        kind = "yesno"
    elif r < 0.95:
        kind = "wh"
    else:
        kind = "tag"
    phrases = []
    n = 1 + (rng.random() < 0.45) + (rng.random() < 0.15)
    for k in range(n):
        words = clause(rng) if k == 0 or rng.random() < 0.5 else (
            [pick(rng, "cc")] + clause(rng) if rng.random() < 0.5 else [pick(rng, "in")] + noun_phrase(rng))
        if k == 0 and kind == "wh":
            words = [pick(rng, "wp")] + words[1:] if rng.random() < 0.7 else [pick(rng, "wp")] + words
        phrases.append(["B", words])
    phrases[-1][0] = "BB"
    if kind == "tag":
        phrases[-1][0] = "B"
        phrases.append(["BB", [pick(rng, "tag")]])
    return phrases, kind


class Utt:
    """Flat tables of one utterance: phrases, words, syllables, segments."""

    def __init__(self, sentences):
        self.phrases = []   # {name, words}
        self.words = []     # {gpos, syls, phrase}
        self.syls = []      # {stress, segs, word, endtone, pos}
        self.segs = []      # {name, syl}
        self.add_seg("pau", None)
        for phrases, kind in sentences:
            for k, (name, words) in enumerate(phrases):
                p = len(self.phrases)
                self.phrases.append({"name": name, "words": []})
                for (text, cls, syls) in words:
                    w = len(self.words)
                    self.words.append({"text": text, "gpos": gpos_of(text), "syls": [], "phrase": p})
                    self.phrases[p]["words"].append(w)
                    for stress, phones in syls:
                        s = len(self.syls)
                        self.syls.append({"stress": stress, "segs": [], "word": w, "endtone": None})
                        self.words[w]["syls"].append(s)
                        for x in phones:
                            self.syls[s]["segs"].append(len(self.segs))
                            self.add_seg(x, s)
                last_syl = self.words[self.phrases[p]["words"][-1]]["syls"][-1]
                if name == "B":
                    tone = "L*"
                elif kind in ("statement", "wh"):
                    tone = "L"
                else:
                    tone = "H"
                self.syls[last_syl]["endtone"] = tone
                self.add_seg("pau", None)

    def add_seg(self, name, syl):
        self.segs.append({"name": name, "syl": syl})

    # --- syllable features, as the voice's feature functions compute them
    def phrase_syls(self, s):
        p = self.words[self.syls[s]["word"]]["phrase"]
        ws = self.phrases[p]["words"]
        return self.words[ws[0]]["syls"][0], self.words[ws[-1]]["syls"][-1]

    def ssyl_out(self, s):
        _, last = self.phrase_syls(s)
        if s == last:
            return "0"
        n = sum(1 for x in range(s + 1, last + 1) if self.syls[x]["stress"] > 0)
        return str(min(n, 19))

    def syl_break(self, s):
        w = self.syls[s]["word"]
        if self.words[w]["syls"][-1] != s:
            return "0"
        p = self.words[w]["phrase"]
        if self.phrases[p]["words"][-1] != w:
            return "1"
        return {"BB": "4", "B": "3"}.get(self.phrases[p]["name"], "1")

    def syl_vowel(self, s):
        for x in self.syls[s]["segs"]:
            if ph(self.segs[x]["name"], "vc") == "+":
                return self.segs[x]["name"]
        return "0"

    def position_type(self, s):
        syls = self.words[self.syls[s]["word"]]["syls"]
        first, last = syls[0] == s, syls[-1] == s
        return "single" if first and last else "initial" if first else "final" if last else "mid"

    def syl_codasize(self, s):
        n = 0
        for x in reversed(self.syls[s]["segs"]):
            if ph(self.segs[x]["name"], "vc") == "+":
                break
            n += 1
        return str(min(n, 19))

    def accented(self, s):
        return "1" if self.syls[s]["endtone"] else "0"

    # --- segment features
    def seg_onsetcoda(self, i):
        s = self.segs[i]["syl"]
        if s is None:
            return "coda"
        segs = self.syls[s]["segs"]
        later = segs[segs.index(i) + 1:]
        return "onset" if any(ph(self.segs[x]["name"], "vc") == "+" for x in later) else "coda"

    def features(self, i):
        segs = self.segs
        nseg = len(segs)

        def seg_name(k):
            return segs[k]["name"] if 0 <= k < nseg else None

        def segf(k, feat):
            n = seg_name(k)
            return "0" if n is None else ph(n, feat)

        name = segs[i]["name"]
        f = {
            "name": name,
            "p.name": seg_name(i - 1) or "0",
            "n.name": seg_name(i + 1) or "0",
            "ph_ctype": ph(name, "ctype"),
            "ph_cplace": ph(name, "cplace"),
            "ph_cvox": ph(name, "cvox"),
            "p.ph_vfront": segf(i - 1, "vfront"),
            "n.ph_ctype": segf(i + 1, "ctype"),
            "pp.ph_vheight": segf(i - 2, "vheight") if i >= 1 else "0",
            "pp.ph_ctype": segf(i - 2, "ctype") if i >= 1 else "0",
            "pp.ph_cplace": segf(i - 2, "cplace") if i >= 1 else "0",
            "pp.ph_vrnd": segf(i - 2, "vrnd") if i >= 1 else "0",
            "nn.ph_vc": segf(i + 2, "vc"),
            "nn.ph_cvox": segf(i + 2, "cvox"),
            "nn.ph_vrnd": segf(i + 2, "vrnd"),
            "seg_onsetcoda": self.seg_onsetcoda(i),
            "p.seg_onsetcoda": self.seg_onsetcoda(i - 1) if i >= 1 else "0",
        }
        s = segs[i]["syl"]
        if s is None:
            f["pos_in_syl"] = "19"
            for p in PATHS:
                if p.startswith("R:"):
                    f[p] = "0"
            return f
        f["pos_in_syl"] = str(min(self.syls[s]["segs"].index(i), 19))
        base = "R:SylStructure.parent."
        f[base + "stress"] = str(self.syls[s]["stress"])
        f[base + "ssyl_out"] = self.ssyl_out(s)
        f[base + "syl_break"] = self.syl_break(s)
        f[base + "syl_vowel"] = self.syl_vowel(s)
        f[base + "position_type"] = self.position_type(s)
        f[base + "parent.gpos"] = self.words[self.syls[s]["word"]]["gpos"]
        ns = len(self.syls)
        ok = lambda k: 0 <= k < ns
        f[base + "R:Syllable.p.stress"] = str(self.syls[s - 1]["stress"]) if ok(s - 1) else "0"
        f[base + "R:Syllable.n.stress"] = str(self.syls[s + 1]["stress"]) if ok(s + 1) else "0"
        f[base + "R:Syllable.nn.stress"] = str(self.syls[s + 2]["stress"]) if ok(s + 2) and ok(s + 1) else "0"
        f[base + "R:Syllable.p.syl_codasize"] = self.syl_codasize(s - 1) if ok(s - 1) else "0"
        f[base + "R:Syllable.n.endtone"] = (self.syls[s + 1]["endtone"] or "0") if ok(s + 1) else "0"
        f[base + "R:Syllable.n.accented"] = self.accented(s + 1) if ok(s + 1) else "0"
        f[base + "R:Syllable.nn.accented"] = self.accented(s + 2) if ok(s + 2) else "0"
        return f


def tonic_position(utt, s):
    """-1 pretonic, 0 tonic, 1 post-tonic, 2 word-final post-tonic; None in
    a word without stress."""
    w = utt.words[utt.syls[s]["word"]]
    stressed = [x for x in w["syls"] if utt.syls[x]["stress"] > 0]
    if not stressed:
        return None
    t = stressed[0]
    if s < t:
        return -1
    if s == t:
        return 0
    return 2 if s == w["syls"][-1] else 1


def rule_duration(utt, i, rng, tempo):
    """Duration in ms of segment i from the read-speech findings above."""
    seg = utt.segs[i]
    name = seg["name"]
    mean, _ = STAT[name]
    d = float(mean)
    s = seg["syl"]
    syl = utt.syls[s]
    word = utt.words[syl["word"]]
    phrase = utt.phrases[word["phrase"]]
    segs = syl["segs"]
    pos = segs.index(i)
    vowel = ph(name, "vc") == "+"
    tpos = tonic_position(utt, s)
    last_syl_of_phrase = utt.phrase_syls(s)[1]
    final = s == last_syl_of_phrase
    # the stressed syllable of the phrase's last word, when it is not final
    last_word = utt.words[phrase["words"][-1]]
    penult_final = (not final and syl["word"] == phrase["words"][-1] and syl["stress"] > 0)
    bb = phrase["name"] == "BB"
    function = word["gpos"] != "content"
    nxt = utt.segs[i + 1]["name"] if i + 1 < len(utt.segs) else "pau"
    prv = utt.segs[i - 1]["name"] if i > 0 else "pau"

    if vowel:
        if tpos is None:
            d *= 0.78
        else:
            d *= {-1: 0.92, 0: 1.25, 1: 0.72, 2: 0.82}[tpos]
        if function and syl["stress"] == 0:
            d *= 0.82
        closed = any(ph(utt.segs[x]["name"], "vc") == "-" for x in segs[pos + 1:])
        if closed:
            coda = [utt.segs[x]["name"] for x in segs[pos + 1:]]
            d *= 0.84 if coda[0] in ("j", "w") else 0.9
        if ph(nxt, "cvox") == "+" and ph(nxt, "vc") == "-":
            d *= 1.05
        if syl["stress"] > 0 and s + 1 < len(utt.syls) and utt.syls[s + 1]["stress"] > 0 \
                and utt.syls[s + 1]["word"] != syl["word"]:
            d *= 1.08  # stress clash
    else:
        onset = utt.seg_onsetcoda(i) == "onset"
        if onset:
            if syl["stress"] > 0:
                d *= 1.12
            if function:
                d *= 0.88
            prev_in_syl = segs[pos - 1] if pos > 0 else None
            if prev_in_syl is not None and ph(utt.segs[prev_in_syl]["name"], "vc") == "-" and name in ("r", "l"):
                d *= 0.68  # second member of an onset cluster
            elif pos + 1 < len(segs) and utt.segs[segs[pos + 1]]["name"] in ("r", "l") \
                    and ph(name, "vc") == "-":
                d *= 0.9   # first member of an onset cluster
            if prv == "pau":
                d *= 1.1
            if pos == 0 and syl["word"] > 0 and word["syls"][0] == s:
                d *= 1.04  # word-initial
        else:
            last_in_word = s == word["syls"][-1]
            if name in ("s", "z", "sh", "zh", "h"):
                d *= 0.85 if not last_in_word else 1.0
            elif name in ("j", "w"):
                d *= 0.88
            else:
                d *= 0.9

    if final:
        if vowel:
            d *= (1.45 if bb else 1.25)
            if syl["endtone"] == "H":
                d *= 1.08
        else:
            onset = utt.seg_onsetcoda(i) == "onset"
            d *= (1.12 if onset else 1.3) if bb else (1.05 if onset else 1.15)
    elif penult_final:
        d *= (1.22 if bb else 1.1) if vowel else (1.08 if bb else 1.04)
    else:
        n = int(utt.ssyl_out(s))
        if n >= 3:
            d *= 0.95
        if n >= 5:
            d *= 0.96

    # The overall level matches the voice statistics: z-scores centre on 0.
    d *= 0.95 * tempo * math.exp(rng.gauss(0.0, 0.16))
    return max(d, 25.0)


def generate(n_sentences, seed, sentences_per_utt=(1, 3)):
    """[(features dict, duration ms, name)], plus the utterances."""
    rng = random.Random(seed)
    rows = []
    utts = []
    made = 0
    while made < n_sentences:
        k = min(rng.randint(*sentences_per_utt), n_sentences - made)
        made += k
        utt = Utt([sentence(rng) for _ in range(k)])
        utts.append(utt)
        tempo = math.exp(rng.gauss(0.0, 0.06))
        for i, seg in enumerate(utt.segs):
            if seg["name"] == "pau":
                continue
            rows.append((utt.features(i), rule_duration(utt, i, rng, tempo), seg["name"]))
    return rows, utts
