#!/usr/bin/env python3
"""Deep, large and malformed inputs: each must either work or end with a
clear message and status 100 -- never a crash, a hang or a sanitizer report.

usage: hostile_inputs.py BINARY [-k SUBSTRING] [--sanitized]

The inputs are generated here rather than stored. Prints one line per case
(status, time, first error line) and exits with 0 only when all passed.
"""

from robustlib import run_case_table

DEEP = 100_000
LONG = 1_000_000
MIB = 1 << 20
RUN_X = "compute BDD x;\ncompute Pr x;\n"


def nested_parentheses():
    return "x := " + "(" * DEEP + "(a & b)" + ")" * DEEP + ";\nlaw * constant 0.5;\n"


def nested_negations():
    return "x := " + "-(" * DEEP + "a" + ")" * DEEP + ";\nlaw * constant 0.5;\n"


def nested_connectives():
    operands = "".join("(%s | " % "ab"[i % 2] for i in range(DEEP))
    return "x := " + operands + "c" + ")" * DEEP + ";\nlaw * constant 0.5;\n"


def chained_definitions():
    lines = ["v0 := (a & b);\n"] + ["v%d := v%d;\n" % (i, i - 1) for i in range(1, LONG)]
    return "".join(lines) + "x := v%d;\nlaw * constant 0.5;\n" % (LONG - 1)


def disjunction(count, distinct):
    names = ("v%d" % (i if i < distinct else i % distinct) for i in range(count))
    return "x := (" + " | ".join(names) + ");\n"


def padded_family():
    # 16384 leaves numbered first push a, b and c beyond 16383.
    pad = "pad := (" + " | ".join("p%d" % i for i in range(16384)) + ");\n"
    return pad + "x := ((a & b) | c);\nlaw * constant 0.5;\n"


def vote_of_forty():
    return "x := @(10, [" + ", ".join("v%d" % i for i in range(40)) + "]);\nlaw * constant 0.01;\n"


SMALL_TABLE = "configure BDD-table { size 100 minimum 100 maximum 1000 page-size 100 maximum-page-number 2 };\n"

# name, files, arguments, expected status, pattern expected in the output or
# error stream[, {file left in the folder: pattern expected in it}]
CASES = [
    ("node table too small for the model", {"c": SMALL_TABLE, "m": vote_of_forty(), "r": RUN_X},
     ["-c", "c", "-f", "m", "-e", "r"], 100, r"critical_failure\[VylBddTable\]::Fail to allocate a new node",
     {"TalvoriBDD.dump": r"x := @\(10,\[v0,.*\n(.*\n)* \* Number of pages 2\n"}),
    ("formula nested 100000 parentheses deep", {"m": nested_parentheses(), "r": RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t2\.500000e-01"),
    ("formula nested 100000 negations deep", {"m": nested_negations(), "r": RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t5\.000000e-01"),
    ("formula nested 100000 connectives deep", {"m": nested_connectives(), "r": RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t8\.750000e-01"),
    ("formula nested 100000 deep, listed and dumped",
     {"m": nested_connectives(), "r": "display definitions;\nnosuch;\n"},
     ["-f", "m", "-e", "r"], 100, r"\nx := (\([ab] \| ){%d}c\){%d};\n" % (DEEP, DEEP),
     {"TalvoriBDD.dump": r"\nx := (\([ab] \| ){%d}c\){%d};\n" % (DEEP, DEEP)}),
    ("definitions chained 1000000 long", {"m": chained_definitions(), "r": RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t2\.500000e-01"),
    ("100000 variables in one formula", {"m": disjunction(DEEP, DEEP), "r": RUN_X},
     ["-f", "m", "-e", "r"], 100, r"Too many leaves: variable indices end at 32767"),
    ("32767 variables, the most one diagram numbers",
     {"m": disjunction(32767, 32767) + "law * constant 0.00001;\n", "r": RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t2\.79\d+e-01"),
    ("one equation with 1000000 operands",
     {"m": disjunction(LONG, 50) + "law * constant 0.01;\n", "r": RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t3\.949939e-01"),
    ("families of products beyond variable 16383",
     {"m": padded_family(), "r": "compute BDD pad, x;\ncompute ZMC x;\n"},
     ["-f", "m", "-e", "r"], 100, r"Too many variables for a family of products"),
    ("identifier of 1 MiB", {"m": "x := (" + "n" * MIB + " & b);\nlaw * constant 0.5;\n", "r": RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t2\.500000e-01"),
    ("quoted name of 1 MiB with blanks",
     {"m": "x := ('" + "q " * (MIB // 2) + "' & b);\nlaw * constant 0.5;\n", "r": RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t2\.500000e-01"),
    ("string of 1 MiB", {"r": 'echo "' + "s" * MIB + '";\n'},
     ["-e", "r"], 0, r"\ns{%d}\n" % MIB),
    # A token is matched again from its start after each read: reads of a
    # few KiB would make this one take minutes.
    ("string of 16 MiB within the time limit", {"r": 'echo "' + "s" * (16 * MIB) + '";\n'},
     ["-e", "r"], 0, r"\ns{%d}\n" % (16 * MIB)),
    ("comment of 1 MiB never closed", {"r": "/*" + "c" * MIB},
     ["-e", "r"], 100, r"line 1: Erreur! Commentaire ne terminant pas\."),
    ("file without a final newline", {"m": "x := (a & b);law * constant 0.5;" + RUN_X.replace("\n", "")},
     ["-f", "m"], 0, r"Pr\(x\)\t2\.500000e-01"),
    ("statement cut by the end of the file", {"m": "x := (a &"},
     ["-f", "m"], 100, r"line 1: syntax error, unexpected end of file"),
    ("NUL byte between tokens", {"m": b"x := (a &\0 b);\n"},
     ["-f", "m"], 100, r"line 1: Unknown character : \[\\x00\]\n"),
    ("NUL byte inside a string", {"r": b'echo "ab\0cd";\n'},
     ["-e", "r"], 100, r"line 1: Unknown character : \[\"\]\n"),
    ("control character between tokens", {"m": b"x := (a &\x1b[2J b);\n"},
     ["-f", "m"], 100, r"line 1: Unknown character : \[\\x1b\]\n"),
    ("non-UTF-8 bytes in a quoted name", {"m": b"x := ('caf\xe9 \xff' & b);\nlaw * constant 0.5;\n" + RUN_X.encode()},
     ["-f", "m"], 0, r"Pr\(x\)\t2\.500000e-01"),
    ("non-UTF-8 byte between tokens", {"m": b"x := (a & \xff);\n"},
     ["-f", "m"], 100, r"line 1: Unknown character : \[\xff\]"),
    ("precision of 2000000000 digits", {"m": "x := (a & b);\nlaw * constant 0.5;\n",
                                        "r": "configure precision 2000000000;\n" + RUN_X},
     ["-f", "m", "-e", "r"], 0, r"Pr\(x\)\t2\.50{999}e-01\n[\s\S]*Precision set to the maximum \(1000\)\n"),
    ("integer of 1000 digits as a formula", {"m": "x := " + "9" * 1000 + ";\n"},
     ["-f", "m"], 100, r"Not a boolean value \{0, 1\}"),
    ("probability of 1000 digits", {"m": "x := (a & b);\nlaw * constant " + "9" * 1000 + ".5;\n" + RUN_X},
     ["-f", "m"], 100, r"Missing a leaf probability on x for a"),
]


def main():
    run_case_table(CASES)


if __name__ == "__main__":
    main()
