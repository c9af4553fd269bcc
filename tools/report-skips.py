#!/usr/bin/env python3
"""CTest names the tests it skipped but not why: prints each with the reason it gave, then the counts,
from CTest's JUnit file. Usage: tools/report-skips.py RESULTS.xml"""
import sys
import xml.etree.ElementTree as ElementTree


def reason(output):
    """GoogleTest writes the reason between "file:line: Skipped" and "[  SKIPPED ]"; other tests say it last."""
    lines = [line.strip() for line in output.splitlines() if line.strip()]
    for i, line in enumerate(lines):
        if line.endswith(": Skipped"):
            return " ".join(l for l in lines[i + 1:] if not l.startswith("[")) or "no reason given"
    return lines[-1] if lines else "no reason given"


def main(path):
    cases = list(ElementTree.parse(path).getroot().iter("testcase"))
    skipped = [case for case in cases if case.find("skipped") is not None]
    failed = [case for case in cases if case.find("failure") is not None]
    for case in skipped:
        print("SKIPPED %s: %s" % (case.get("name"), reason(case.findtext("system-out") or "")))
    print("Tests: %d passed, %d failed, %d skipped" % (len(cases) - len(skipped) - len(failed), len(failed), len(skipped)))


if __name__ == "__main__":
    main(sys.argv[1])
