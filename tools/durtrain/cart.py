"""A small regression-tree (CART) trainer with equality questions.

Rows are dicts of feature path -> value text; the target is a float.  Each
question asks whether one feature equals one value; the split kept is the
one that most reduces the squared error, subject to a minimum number of rows
on each side and a minimum gain.
"""


class Node:
    __slots__ = ("feature", "value", "yes", "no", "leaf", "count")

    def __init__(self):
        self.feature = None
        self.value = None
        self.yes = None
        self.no = None
        self.leaf = None
        self.count = 0


def train(rows, targets, paths, min_leaf=30, min_gain=0.0, max_depth=30):
    # Columns of value ids.
    values = [[] for _ in paths]   # per feature: id -> text
    ids = [dict() for _ in paths]
    cols = []
    for f, p in enumerate(paths):
        col = []
        d = ids[f]
        for r in rows:
            v = r[p]
            k = d.get(v)
            if k is None:
                k = d[v] = len(values[f])
                values[f].append(v)
            col.append(k)
        cols.append(col)
    y = targets

    def grow(idx, depth):
        node = Node()
        n = len(idx)
        node.count = n
        total = 0.0
        for i in idx:
            total += y[i]
        mean = total / n
        node.leaf = mean
        if n < 2 * min_leaf or depth >= max_depth:
            return node
        base = total * total / n
        best = (min_gain, None, None)
        for f, col in enumerate(cols):
            nv = len(values[f])
            cnt = [0] * nv
            sm = [0.0] * nv
            for i in idx:
                k = col[i]
                cnt[k] += 1
                sm[k] += y[i]
            for k in range(nv):
                c = cnt[k]
                if c < min_leaf or n - c < min_leaf:
                    continue
                s = sm[k]
                gain = s * s / c + (total - s) * (total - s) / (n - c) - base
                if gain > best[0]:
                    best = (gain, f, k)
        if best[1] is None:
            return node
        _, f, k = best
        col = cols[f]
        yes = [i for i in idx if col[i] == k]
        no = [i for i in idx if col[i] != k]
        node.feature = paths[f]
        node.value = values[f][k]
        node.leaf = None
        node.yes = grow(yes, depth + 1)
        node.no = grow(no, depth + 1)
        return node

    return grow(list(range(len(rows))), 0)


def predict(node, row):
    while node.leaf is None:
        node = node.yes if row[node.feature] == node.value else node.no
    return node.leaf


def count(node):
    if node.leaf is not None:
        return 1, 1
    a, b = count(node.yes)
    c, d = count(node.no)
    return a + c + 1, b + d


def dump(node, out, indent=0):
    pad = "  " * indent
    if node.leaf is not None:
        out.append("%s-> %.3f  (%d)" % (pad, node.leaf, node.count))
        return
    out.append("%s(%s = %s)  (%d)" % (pad, node.feature, node.value, node.count))
    dump(node.yes, out, indent + 1)
    out.append("%selse" % pad)
    dump(node.no, out, indent + 1)
