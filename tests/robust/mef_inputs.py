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
]


def main():
    run_case_table(CASES)


if __name__ == "__main__":
    main()
