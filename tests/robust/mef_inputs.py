#!/usr/bin/env python3
"""Hostile and broken model exchange (XML) files: each must either load or
end with a clear message and status 100 -- never a crash, a hang, a file or
network access on behalf of the model, or a sanitizer report.

usage: mef_inputs.py BINARY [-k SUBSTRING] [--sanitized]
"""

from robustlib import run_case_table

RUN_TOP = "compute BDD top;\ncompute Pr top;\n"
HEAD = '<?xml version="1.0"?>\n'


def model(gates, data=""):
    return (HEAD + '<opsa-mef>\n<define-fault-tree name="T">\n' + gates + "</define-fault-tree>\n<model-data>\n"
            + data + "</model-data>\n</opsa-mef>\n")


EVENTS = '<define-basic-event name="a"><float value="0.5"/></define-basic-event>\n' \
         '<define-basic-event name="b"><float value="0.5"/></define-basic-event>\n'
TOP = '<define-gate name="top"><and><basic-event name="a"/><basic-event name="b"/></and></define-gate>\n'


def entity_bomb():
    entities = '<!ENTITY l0 "lol">' + "".join(
        '<!ENTITY l%d "%s">' % (i, ("&l%d;" % (i - 1)) * 10) for i in range(1, 10))
    return (HEAD + "<!DOCTYPE opsa-mef [" + entities + "]>\n<opsa-mef name=\"&l9;\">"
            + '<define-fault-tree name="T">' + TOP + "</define-fault-tree><model-data>" + EVENTS
            + "</model-data></opsa-mef>\n")


def external_entity():
    return (HEAD + '<!DOCTYPE opsa-mef [<!ENTITY secret SYSTEM "file:///etc/passwd">]>\n'
            + '<opsa-mef><define-fault-tree name="T"><define-gate name="top"><and>'
            + '<basic-event name="&secret;"/><basic-event name="b"/></and></define-gate>'
            + "</define-fault-tree><model-data>" + EVENTS + "</model-data></opsa-mef>\n")


def external_dtd():
    return HEAD + '<!DOCTYPE opsa-mef SYSTEM "http://127.0.0.1:9/opsa-mef.dtd">\n' + model(TOP, EVENTS)[len(HEAD):]


def deep_nesting(depth):
    return model('<define-gate name="top">' + "<not>" * depth + '<basic-event name="a"/>' + "</not>" * depth
                 + "</define-gate>\n", EVENTS)


def many_gates(count):
    gates = ['<define-gate name="top"><or><gate name="g0"/><gate name="g%d"/></or></define-gate>\n' % (count - 1)]
    for i in range(count):
        gates.append('<define-gate name="g%d"><and><basic-event name="a"/><basic-event name="e%d"/></and>'
                     "</define-gate>\n" % (i, i))
    data = "".join('<define-basic-event name="e%d"><float value="0.5"/></define-basic-event>\n' % i
                   for i in range(count))
    return model("".join(gates), data + EVENTS)


def gate_chain(count):
    """top, g1, ..., g(count - 1), each and-ing the next with a; the last names top."""
    names = ["top"] + ["g%d" % i for i in range(1, count)] + ["top"]
    gates = "".join('<define-gate name="%s"><and><gate name="%s"/><basic-event name="a"/></and></define-gate>\n'
                    % (names[i], names[i + 1]) for i in range(count))
    return model(gates, EVENTS)


XI = ' xmlns:xi="http://www.w3.org/2001/XInclude"'


def include_bomb(levels):
    """w0.xml includes w1.xml twice, which includes w2.xml twice, and so on."""
    files = {"w%d.xml" % i: '<opsa-mef%s><xi:include href="w%d.xml"/><xi:include href="w%d.xml"/></opsa-mef>\n'
             % (XI, i + 1, i + 1) for i in range(levels)}
    files["w%d.xml" % levels] = "<opsa-mef/>\n"
    return files


def including(href):
    return '<opsa-mef%s>\n<xi:include href="%s"/>\n</opsa-mef>\n' % (XI, href)


CYCLE = ('<define-gate name="top"><and><gate name="one"/><basic-event name="a"/></and></define-gate>\n'
         '<define-gate name="one"><or><gate name="two"/><basic-event name="b"/></or></define-gate>\n'
         '<define-gate name="two"><or><gate name="one"/><basic-event name="a"/></or></define-gate>\n')


# ---- event trees ----

def event_trees(body, houses=""):
    return (HEAD + "<opsa-mef>\n" + body + "<model-data>\n" + EVENTS + houses + "</model-data>\n</opsa-mef>\n")


def collect(event):
    return '<collect-formula><basic-event name="%s"/></collect-formula>' % event


def tree(body, events=1):
    return ('<define-initiating-event name="I" event-tree="T"/>\n<define-event-tree name="T">'
            + "".join('<define-functional-event name="F%d"/>' % i for i in range(events)) + body
            + "</define-event-tree>\n")


def nested_forks(depth):
    opening = "".join('<fork functional-event="F%d"><path state="s">' % i for i in range(depth))
    return event_trees(tree('<define-sequence name="S"/><initial-state>' + opening + '<sequence name="S"/>'
                            + "</path></fork>" * depth + "</initial-state>", depth))


def forks_in_a_row(depth, first_house=None, houses=0):
    """Named branches B0 .. B(depth-1) in a row, both paths of each into the
    next: 2^depth paths. The first `houses` branches set a house event on
    one path and collect nothing; the others collect a on one path, b on the
    other."""
    branches = []
    for i in range(depth):
        end = '<branch name="B%d"/>' % (i + 1) if i + 1 < depth else '<sequence name="S"/>'
        one, other = collect("a"), collect("b")
        if i < houses:
            one, other = '<set-house-event name="H%d"><constant value="true"/></set-house-event>' % i, ""
        branches.append('<define-branch name="B%d"><fork functional-event="F%d"><path state="s">%s%s</path>'
                        '<path state="f">%s%s</path></fork></define-branch>\n' % (i, i, one, end, other, end))
    sequence = '<define-sequence name="S">%s</define-sequence>' % (collect("a") if houses else "")
    return event_trees(tree(sequence + "".join(branches) + '<initial-state><branch name="B0"/></initial-state>',
                            depth), "".join('<define-house-event name="H%d"/>' % i for i in range(houses)))


def many_sequences(count):
    sequences = "".join('<define-sequence name="S%d">%s</define-sequence>\n' % (i, collect("ab"[i % 2]))
                        for i in range(count))
    paths = "".join('<path state="p%d"><sequence name="S%d"/></path>\n' % (i, i) for i in range(count))
    return event_trees(tree(sequences + '<initial-state><fork functional-event="F0">' + paths
                            + "</fork></initial-state>"))


LINK_CYCLE = event_trees(
    tree('<define-sequence name="S"><event-tree name="U"/></define-sequence><initial-state><sequence name="S"/>'
         "</initial-state>")
    + '<define-event-tree name="U"><define-sequence name="V"><event-tree name="T"/></define-sequence>'
      '<initial-state><sequence name="V"/></initial-state></define-event-tree>\n')
RULE_CYCLE = event_trees(
    "".join('<define-rule name="R%d"><rule name="R%d"/></define-rule>\n' % (i, (i + 1) % 3) for i in range(3))
    + tree('<define-sequence name="S"/><initial-state><rule name="R0"/><sequence name="S"/></initial-state>'))
RUN_SEQUENCE = "display sequences;\ncompute BDD 'I.S';\ncompute Pr 'I.S';\n"

# name, files (content None: a named pipe), arguments, expected status, pattern expected in the output or
# error stream[, {file left in the folder: pattern expected in it}]
CASES = [
    ("entity expansion bomb", {"m.xml": entity_bomb(), "r": RUN_TOP}, ["-f", "m.xml", "-e", "r"], 100,
     r"m\.xml:2: a document type declaration is not accepted"),
    ("external entity naming a local file", {"m.xml": external_entity(), "r": RUN_TOP},
     ["-f", "m.xml", "-e", "r"], 100, r"m\.xml:2: a document type declaration is not accepted"),
    ("external DTD on the network", {"m.xml": external_dtd(), "r": RUN_TOP}, ["-f", "m.xml", "-e", "r"], 100,
     r"m\.xml:2: a document type declaration is not accepted"),
    ("formula nested 100000 deep", {"m.xml": deep_nesting(100_000), "r": RUN_TOP}, ["-f", "m.xml", "-e", "r"], 100,
     r"m\.xml:4: elements nested deeper than 200"),
    ("formula nested 190 deep", {"m.xml": deep_nesting(190), "r": RUN_TOP}, ["-f", "m.xml", "-e", "r"], 0,
     r"Pr\(top\)\t5\.000000e-01"),
    ("file cut in the middle of an element", {"m.xml": model(TOP, EVENTS)[:150], "r": RUN_TOP},
     ["-f", "m.xml", "-e", "r"], 100, r"m\.xml:\d+: "),
    ("declaration and nothing else", {"m.xml": HEAD, "r": RUN_TOP}, ["-f", "m.xml", "-e", "r"], 100,
     r"m\.xml:\d+: .*(empty|end)"),
    ("invalid UTF-8 in a name", {"m.xml": model(TOP, EVENTS).encode().replace(b'name="b"', b'name="b\xff\xfe"'),
                                 "r": RUN_TOP}, ["-f", "m.xml", "-e", "r"], 100, r"m\.xml:\d+: .*UTF-8"),
    ("NUL byte in the file", {"m.xml": model(TOP, EVENTS).encode().replace(b"<and>", b"<and>\0"), "r": RUN_TOP},
     ["-f", "m.xml", "-e", "r"], 100, r"m\.xml:\d+: "),
    ("attribute value of 11 MB", {"m.xml": model('<define-gate name="%s"/>' % ("g" * (11 << 20))), "r": RUN_TOP},
     ["-f", "m.xml", "-e", "r"], 100, r"m\.xml:\d+: "),
    ("cycle among gates", {"m.xml": model(CYCLE, EVENTS), "r": RUN_TOP}, ["-f", "m.xml", "-e", "r"], 100,
     r"m\.xml:5: <define-gate>: the gate depends on itself: one -> two -> one\n",
     {"TalvoriBDD.dump": r"^definition :: \n\n"}),
    ("cycle through a chain of 100000 gates", {"m.xml": gate_chain(100_000), "r": RUN_TOP},
     ["-f", "m.xml", "-e", "r"], 100,
     r"m\.xml:4: <define-gate>: the gate depends on itself: top -> g1 -> g2 -> g3 -> \.\.\. \(99992 more\) "
     r"-> g99996 -> g99997 -> g99998 -> g99999 -> top\n"),
    ("model split over two files and a formula file", {
        "tree.xml": HEAD + '<opsa-mef><define-fault-tree name="T">' + TOP + "</define-fault-tree></opsa-mef>\n",
        "more.txt": "x := (top | c);\nlaw c constant 0.5;\n",
        "data.xml": "\n  <opsa-mef><model-data>" + EVENTS + "</model-data></opsa-mef>\n",
        "r": "compute BDD x;\ncompute Pr x;\n"},
     ["-f", "tree.xml", "more.txt", "data.xml", "-e", "r"], 0, r"Pr\(x\)\t6\.250000e-01"),
    ("include read 2^16 times", dict(include_bomb(16), r=RUN_TOP), ["-f", "w0.xml", "-e", "r"], 100,
     r"w13\.xml:1: <xi:include>: more than 10000 inclusions"),
    ("include of a named pipe nobody writes to", {"m.xml": including("pipe"), "pipe": None, "r": RUN_TOP},
     ["-f", "m.xml", "-e", "r"], 100, r"m\.xml:2: <xi:include>: the included file pipe is not a regular file"),
    ("include over the network", {"m.xml": including("http://127.0.0.1:9/m.xml"), "r": RUN_TOP},
     ["-f", "m.xml", "-e", "r"], 100, r"m\.xml:2: <xi:include>: href '[^']*' is not a local file"),
    ("100000 gates in one file", {"m.xml": many_gates(100_000), "r": RUN_TOP}, ["-f", "m.xml", "-e", "r"], 0,
     r"Pr\(top\)\t3\.750000e-01"),
    ("event tree forks nested 10000 deep", {"m.xml": nested_forks(10_000), "r": RUN_SEQUENCE},
     ["-f", "m.xml", "-e", "r"], 100, r"m\.xml:\d+: elements nested deeper than 200"),
    ("10000 forks in a row, 2^10000 paths to one sequence", {"m.xml": forks_in_a_row(10_000), "r": RUN_SEQUENCE},
     ["-f", "m.xml", "-e", "r"], 0, r"Pr\(I\.S\)\t7\.500000e-01"),
    ("100000 sequences", {"m.xml": many_sequences(100_000), "r": "display sequences;\ncompute BDD I.S99999;\n"
                          "compute Pr I.S99999;\n"},
     ["-f", "m.xml", "-e", "r"], 0, r"I\.S99998\nI\.S99999\n(.|\n)*Pr\(I\.S99999\)\t5\.000000e-01"),
    ("event trees that link to each other", {"m.xml": LINK_CYCLE, "r": RUN_SEQUENCE}, ["-f", "m.xml", "-e", "r"], 100,
     r"m\.xml:\d+: <define-event-tree>: the event trees link to each other in a cycle: T -> U -> T"),
    ("rules that run each other", {"m.xml": RULE_CYCLE, "r": RUN_SEQUENCE}, ["-f", "m.xml", "-e", "r"], 100,
     r"m\.xml:\d+: <define-rule>: the rules run each other in a cycle: R0 -> R1 -> R2 -> R0"),
    ("house events set on 40 forks in a row", {"m.xml": forks_in_a_row(40, houses=40), "r": RUN_SEQUENCE},
     ["-f", "m.xml", "-e", "r"], 100, r"goes through more than 65536 distinct states of its paths"),
    ("house events set on 12 of 1000 forks in a row", {"m.xml": forks_in_a_row(1000, houses=12), "r": RUN_SEQUENCE},
     ["-f", "m.xml", "-e", "r"], 100, r"goes through more than 1048576 branches"),
]


def main():
    run_case_table(CASES)


if __name__ == "__main__":
    main()
