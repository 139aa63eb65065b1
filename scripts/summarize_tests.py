"""Counts test cases over ctest's JUnit report and GoogleTest's XML reports.

A ctest test that wrote a GoogleTest report counts with its test cases; any other
ctest test (a script, a crashed executable) counts as one case. The Wine server
fixtures count only when they fail. Prints "N passed, N failed[, N skipped]" and
exits 1 when anything failed.
"""
import argparse
import os
import sys
import xml.etree.ElementTree as ET


def gtest_counts(path):
    passed = failed = skipped = 0
    for case in ET.parse(path).getroot().iter("testcase"):
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
    line = f"{passed} passed, {failed} failed"
    if skipped:
        line += f", {skipped} skipped"
    print(line)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
