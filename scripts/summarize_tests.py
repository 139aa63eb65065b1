"""Counts test cases over ctest's JUnit report and GoogleTest's XML reports.

A ctest test that wrote a GoogleTest report counts with its test cases; any other
ctest test (a script, a crashed executable) counts as one case. The Wine server
fixtures count only when they fail. A fuzz target's replay (its report's suite is
FuzzReplay) counts as one case, and the inputs it replayed are added up into the line
"fuzz replay: N inputs (C corpus, R regression) of T targets" printed before the last
one. Prints "N passed, N failed[, N skipped]" and exits 1 when anything failed.
"""
import argparse
import os
import sys
import xml.etree.ElementTree as ET


class Replays:
    """The inputs replayed by the fuzz targets' replays, over every tree."""

    def __init__(self):
        self.targets = self.corpus = self.regressions = self.failed = 0

    def add(self, root):
        for suite in root.iter("testsuite"):
            if suite.get("name") != "FuzzReplay":
                continue
            for case in suite.iter("testcase"):
                self.targets += 1
                self.corpus += int(case.get("corpus", 0))
                self.regressions += int(case.get("regressions", 0))

    def line(self):
        line = (f"fuzz replay: {self.corpus + self.regressions} inputs ({self.corpus} corpus, "
                f"{self.regressions} regression) of {self.targets} targets")
        if self.failed:
            line += f"; {self.failed} targets FAILED their replay"
        return line


REPLAYS = Replays()


def gtest_counts(path):
    passed = failed = skipped = 0
    root = ET.parse(path).getroot()
    REPLAYS.add(root)
    for case in root.iter("testcase"):
        if case.find("failure") is not None or case.find("error") is not None:
            failed += 1
        elif case.get("result") == "skipped" or case.find("skipped") is not None \
                or case.get("status") == "notrun":
            skipped += 1
        else:
            passed += 1
    return passed, failed, skipped


def tree_counts(report_dir):
    passed = failed = skipped = 0
    junit = os.path.join(report_dir, "ctest.xml")
    if not os.path.exists(junit):
        print(f"summary: no ctest report in {report_dir}")
        return 0, 1, 0
    gtest_dir = os.path.join(report_dir, "gtest")
    for case in ET.parse(junit).getroot().iter("testcase"):
        name = case.get("name")
        status = case.get("status", "run")
        ok = status == "run" and case.find("failure") is None
        if name.startswith("wine.server."):
            failed += 0 if ok else 1
            continue
        report = os.path.join(gtest_dir, name + ".xml")
        if os.path.exists(report):
            p, f, s = gtest_counts(report)
            # A test executable that failed without a failing case (a crash at exit,
            # a sanitizer report) still counts as a failure.
            if not ok and f == 0:
                f = 1
            passed, failed, skipped = passed + p, failed + f, skipped + s
        elif status in ("notrun", "disabled"):
            skipped += 1
        elif ok:
            passed += 1
        else:
            failed += 1
            if name.endswith("_replay"):
                REPLAYS.failed += 1
    return passed, failed, skipped


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build-failures", type=int, default=0)
    parser.add_argument("reports", nargs="*")
    args = parser.parse_args()
    passed, failed, skipped = 0, args.build_failures, 0
    for report in args.reports:
        p, f, s = tree_counts(report)
        passed, failed, skipped = passed + p, failed + f, skipped + s
    print(REPLAYS.line())
    line = f"{passed} passed, {failed} failed"
    if skipped:
        line += f", {skipped} skipped"
    print(line)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
