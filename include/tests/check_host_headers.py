#!/usr/bin/env python3
"""The host headers as compilers other than ours see them.

    check_host_headers.py CLANG MINGW_CXX INCLUDE_DIR WORK_DIR

1. Each header compiles on its own with clang for Microsoft's ABI (i686-pc-windows-msvc,
   no Microsoft headers present), as C++98 and as C++17.
2. Each header compiles with mingw-w64's windows.h included before it and after it.
3. The Microsoft vtable layout of every interface (clang's -fdump-vtable-layouts over
   host_layouts.cpp) gives each operation the slot, and the argument count, of the
   tables below: what a host built with Microsoft's compiler calls.
"""
import os
import re
import subprocess
import sys

HEADERS = ["abi.h", "win32_types.h", "component.h", "assayer.h", "bootprobe.h",
           "courier.h", "netwarden.h", "execwarden.h", "usertag.h"]

COMPONENT = [("GetName", 2), ("GetInterface", 2)]
# Slot by slot: operation and number of arguments. "destructor" is the one slot Microsoft's
# compiler gives a virtual destructor: its deleting destructor, which takes a flags word.
EXPECTED = {
    "IComponent": COMPONENT,
    "IKavroComponentManager": COMPONENT + [
        ("RegisterComponent", 2), ("FindComponent", 2), ("RemoveComponent", 1),
        ("GetComponentCount", 0), ("GetComponentAt", 2), ("destructor", 1)],
    "IDlgUpload": [("StartUpload", 5), ("StartUploadEx", 5)],
    "INetMonitorSink": [("OnRuleSetTitle", 1), ("OnTraffic", 1), ("OnRule", 1)],
    "INetMonitor": COMPONENT + [
        ("destructor", 1), ("Initialize", 0), ("EnableDriver", 0), ("DisableDriver", 0),
        ("SetPolicy", 1), ("AddSink", 1), ("AddRules", 3), ("DeleteRule", 2),
        ("UpdateRule", 2), ("SaveUserRules", 0), ("EnumRules", 1), ("IsAdapterUp", 0),
        ("EnableAdapters", 0), ("SetAdapters", 1), ("SaveRules", 2)],
    "IExecuteCallback": [("OnExecute", 6)],
    "IProcessMonitor": COMPONENT + [
        ("destructor", 1), ("AddCallback", 1), ("Start", 0), ("Stop", 0)],
    "IUserDigestList": [("Open", 1), ("AddFile", 2), ("RemoveFile", 2), ("BeginEnum", 0),
                        ("NextEntry", 3)],
}
# Where an interface holds the destructor's slot with an ordinary operation (GCC would give
# a virtual destructor two slots), that operation counts as the destructor.
DESTRUCTOR_STAND_INS = {"DestructorSlot", "Destroy"}

MSVC = ["--target=i686-pc-windows-msvc", "-Wall", "-Wextra", "-Werror"]
failures = []


def compile_ok(what, command, source, work):
    path = os.path.join(work, "probe.cpp")
    with open(path, "w") as f:
        f.write(source)
    run = subprocess.run(command + [path], capture_output=True, text=True)
    if run.returncode != 0:
        failures.append(f"{what}:\n{run.stdout}{run.stderr}")
    return run


def argument_count(parameters):
    parameters = parameters.strip()
    return 0 if parameters in ("", "void") else parameters.count(",") + 1


def dumped_layouts(text):
    """{interface: [(operation, argument count), ...]} from the tables of the *Layout classes."""
    layouts, current = {}, None
    for line in text.splitlines():
        header = re.match(r"VFTable for .* in '(\w+)Layout' \(\d+ entr", line)
        if header:
            current = layouts.setdefault(header.group(1), {})
            continue
        entry = re.match(r"\s+(\d+) \| (.*)$", line)
        if current is None or not entry:
            current = None if not line.strip() else current
            continue
        slot, text_ = int(entry.group(1)), entry.group(2)
        if "[scalar deleting]" in text_:
            current[slot] = ("destructor", 1)
            continue
        method = re.search(r"(\w+)::(~?\w+)\((.*)\)", text_)
        name, count = method.group(2), argument_count(method.group(3))
        current[slot] = ("destructor" if name in DESTRUCTOR_STAND_INS else name, count)
    return {k: [v[s] for s in sorted(v)] for k, v in layouts.items()}


def main():
    clang, mingw, include, work = sys.argv[1:5]
    os.makedirs(work, exist_ok=True)
    flags = ["-I", include, "-fsyntax-only"]
    for header in HEADERS:
        source = f'#include "kavro/{header}"\n'
        for std in ("c++98", "c++17"):
            compile_ok(f"{header} alone, Microsoft ABI, {std}",
                       [clang] + MSVC + flags + [f"-std={std}", "-pedantic"], source, work)
        for order in (f"#include <windows.h>\n{source}", f"{source}#include <windows.h>\n"):
            compile_ok(f"{header} with windows.h ({order.splitlines()[0]} first)",
                       [mingw, "-std=c++98", "-pedantic", "-Wall", "-Wextra", "-Werror"] + flags,
                       order, work)

    here = os.path.dirname(os.path.abspath(__file__))
    dump = subprocess.run([clang] + MSVC + ["-std=c++17", "-fno-rtti", "-I", include, "-c",
                           os.path.join(here, "host_layouts.cpp"), "-o",
                           os.path.join(work, "host_layouts.obj"),
                           "-Xclang", "-fdump-vtable-layouts"],
                          capture_output=True, text=True)
    if dump.returncode != 0:
        failures.append(f"host_layouts.cpp:\n{dump.stderr}")
    seen = dumped_layouts(dump.stdout)
    for interface, expected in EXPECTED.items():
        got = seen.get(interface)
        if got != expected:
            failures.append(f"{interface}: Microsoft layout {got}\n  expected {expected}")
        else:
            print(f"{interface}: {len(got)} slots as expected")
    for unexpected in sorted(set(seen) - set(EXPECTED)):
        failures.append(f"{unexpected}: a layout the check does not know")

    for failure in failures:
        print("FAILED " + failure, file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
