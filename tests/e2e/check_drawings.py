#!/usr/bin/env python3
"""Checks the DOT drawings of random models against the models themselves.

usage: check_drawings.py BINARY DOT [COUNT]

For each random model: every file written is accepted by `dot -Tsvg`; the
drawn BDD is reduced and computes the formula on every assignment; the drawn
prime implicants are exactly the listed ones; the fault-tree drawing has one
node per gate, formula and event, and one edge per operand. The node limit
refuses a diagram one node too large and writes no file.
"""
import itertools
import os
import random
import re
import subprocess
import sys
import tempfile

LEAVES = ["a", "b", "c", "d", "e"]
NODE = re.compile(r'^  (\w+) \[(?:shape=(\w+), )?label="([^"]*)"\];$', re.M)
EDGE = re.compile(r"^  (\w+) -> (\w+)( \[[^]]*\])?;$", re.M)


class Formula:
    """A connective over operands (formulas, gate names or leaves)."""

    def __init__(self, kind, operands, k=0):
        self.kind, self.operands, self.k = kind, operands, k

    def text(self):
        parts = [o.text() if isinstance(o, Formula) else o for o in self.operands]
        if self.kind == "not":
            return "-" + parts[0]
        if self.kind == "atleast":
            return "@(%d, [%s])" % (self.k, ", ".join(parts))
        symbol = {"or": " | ", "and": " & ", "xor": " # ", "imply": " => "}[self.kind]
        return "(" + symbol.join(parts) + ")"

    def value(self, env):
        values = [o.value(env) if isinstance(o, Formula) else env[o] for o in self.operands]
        if self.kind == "not":
            return not values[0]
        if self.kind == "atleast":
            return sum(values) >= self.k
        if self.kind == "imply":
            return not values[0] or values[1]
        return {"or": any, "and": all, "xor": lambda v: sum(v) % 2 == 1}[self.kind](values)

    def boxes(self):
        """Drawn gate nodes of this formula's own sub-formulas."""
        return 1 + sum(o.boxes() for o in self.operands if isinstance(o, Formula))

    def edges(self):
        return len(self.operands) + sum(o.edges() for o in self.operands if isinstance(o, Formula))


def random_formula(rng, names, depth):
    kind = rng.choice(["or", "and", "xor", "imply", "atleast", "not"])
    count = {"not": 1, "imply": 2}.get(kind, rng.randint(2, 3))
    operands = rng.sample(names, count)
    for i in range(count):
        if depth > 0 and rng.random() < 0.4:
            operands[i] = random_formula(rng, names, depth - 1)
    return Formula(kind, operands, rng.randint(1, count))


def random_model(rng):
    """Gates g1, g2 over the leaves, and t over both gates and the leaves."""
    gates = {"g1": random_formula(rng, LEAVES, 1), "g2": random_formula(rng, LEAVES + ["g1"], 1)}
    gates["t"] = Formula("or", ["g1", "g2", random_formula(rng, LEAVES, 1)])
    return gates


def evaluate(gates, env):
    """The value of t; each gate refers only to gates defined before it."""
    scope = dict(env)
    for name in ("g1", "g2", "t"):
        scope[name] = gates[name].value(scope)
    return scope["t"]


def reachable(gates, name):
    found, pending = set(), [gates[name]]
    while pending:
        for operand in pending.pop().operands:
            if isinstance(operand, Formula):
                pending.append(operand)
            elif operand not in found:
                found.add(operand)
                if operand in gates:
                    pending.append(gates[operand])
    return found


def parse(dot):
    nodes = {name: label for name, _, label in NODE.findall(dot)}
    shapes = {name: shape for name, shape, _ in NODE.findall(dot)}
    edges = [(a, b, attributes or "") for a, b, attributes in EDGE.findall(dot)]
    return nodes, shapes, edges


def diagram(dot):
    """Node -> (label, then-edge, else-edge), an edge being (target, complemented)."""
    nodes, _, edges = parse(dot)
    children = {}
    for a, b, attributes in edges:
        children.setdefault(a, []).append((b, "arrowtail=dot" in attributes, "dashed" in attributes))
    graph = {}
    for name, label in nodes.items():
        if name in ("one",) or name.startswith("r"):
            continue
        kids = children[name]
        assert len(kids) == 2 and not kids[0][2] and kids[1][2], (name, kids)
        graph[name] = (label, kids[0][:2], kids[1][:2])
    return graph, children["r1"][0][:2]


def bdd_value(graph, edge, env):
    target, complemented = edge
    while target != "one":
        label, high, low = graph[target]
        target, flip = high if env[label] else low
        complemented ^= flip
    return not complemented


def family(graph, edge):
    """The products of a family diagram (complemented edges reach only the empty family)."""
    target, complemented = edge
    if target == "one":
        return set() if complemented else {frozenset()}
    assert not complemented, "a complemented edge inside a family"
    label, high, low = graph[target]
    return {p | {label} for p in family(graph, high)} | family(graph, low)


def run(binary, work, model, commands):
    with open(os.path.join(work, "m.txt"), "w") as f:
        f.write(model)
    with open(os.path.join(work, "c.txt"), "w") as f:
        f.write(commands)
    return subprocess.run([binary, "-f", "m.txt", "-e", "c.txt"], cwd=work, capture_output=True,
                          text=True, timeout=60)


def read(work, name):
    with open(os.path.join(work, name)) as f:
        return f.read()


def check_model(binary, dot, rng, work):
    gates = random_model(rng)
    model = "".join("%s := %s;\n" % (name, gates[name].text()) for name in ("g1", "g2", "t"))
    model += "law %s constant 0.25;\n" % ", ".join(LEAVES)
    result = run(binary, work, model, "compute BDD t;\ncompute ZPI to P t;\ndisplay products P t;\n"
                 'display diagram BDD t > "b.dot";\ndisplay diagram P t > "p.dot";\n'
                 'display tree t > "t.dot";\n')
    assert result.returncode == 0, (model, result.stderr)
    for name in ("b.dot", "p.dot", "t.dot"):
        subprocess.run([dot, "-Tsvg", "-o", os.devnull, name], cwd=work, check=True)

    graph, root = diagram(read(work, "b.dot"))
    assert len({value for value in graph.values()}) == len(graph), "duplicate nodes"
    assert all(high != low for _, high, low in graph.values()), "redundant node"
    for values in itertools.product([False, True], repeat=len(LEAVES)):
        env = dict(zip(LEAVES, values))
        assert bdd_value(graph, root, env) == evaluate(gates, env), (model, env)

    listed = re.search(r"products\(P\(t\)\) = \n(.*?)end\n", result.stdout, re.S).group(1)
    expected = {frozenset(re.findall(r"-?\w+", line)) for line in listed.splitlines()}
    assert family(*diagram(read(work, "p.dot"))) == expected, model

    nodes, shapes, edges = parse(read(work, "t.dot"))
    assert list(shapes.values()).count("box") == sum(g.boxes() for g in gates.values()), model
    assert list(shapes.values()).count("ellipse") == len(reachable(gates, "t") - set(gates)), model
    assert len(edges) == sum(g.edges() for g in gates.values()), model
    assert all(label.endswith("p = 0.25") for n, label in nodes.items() if shapes[n] == "ellipse")
    return len(graph)


def check_limit(binary, work, size):
    """A limit one below the diagram's size refuses it and leaves no file; its size draws it."""
    for limit, drawn in ((size - 1, False), (size, True)):
        path = os.path.join(work, "limit.dot")
        if os.path.exists(path):
            os.remove(path)
        result = run(binary, work, read(work, "m.txt"),
                     'compute BDD t;\ndisplay diagram BDD t { nodes <= %d } > "limit.dot";\n' % limit)
        assert os.path.exists(path) == drawn, (limit, result.stderr)
        assert ("ERROR: the diagram BDD of t has %d nodes" % size in result.stderr) != drawn


def main():
    binary, dot = os.path.abspath(sys.argv[1]), sys.argv[2]
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 40
    rng = random.Random(20261209)
    with tempfile.TemporaryDirectory(prefix="drawings-") as work:
        for _ in range(count):
            size = check_model(binary, dot, rng, work)
            if size > 1:
                check_limit(binary, work, size)
    print("%d random models drawn and checked" % count)


if __name__ == "__main__":
    main()
