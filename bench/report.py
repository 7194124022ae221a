#!/usr/bin/env python3
"""Builds the benchmark preset, runs every benchmark of the project beside
its reference in one run on this machine, and prints one table of ratios.

    python3 bench/report.py            # build, run, print
    python3 bench/report.py --no-build # run what build/bench holds

The references are measured in the same run as the job they stand beside
(cp of the same call log, xxd of the same trace, the small configuration
beside the large one), so the ratios hold on any machine, loaded or not.
"""
import json
import os
import subprocess
import sys

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BIN = os.path.join(ROOT, "build", "bench", "bench")


def build():
    for args in (["cmake", "--preset", "bench"], ["cmake", "--build", "--preset", "bench"]):
        subprocess.run(args, cwd=ROOT, check=True, stdout=subprocess.DEVNULL)


def run(program):
    """The benchmarks of one program as {name: entry}."""
    path = os.path.join(BIN, program)
    if not os.path.exists(path):
        return {}
    out = subprocess.run([path, "--benchmark_format=json"], cwd=ROOT, check=True,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout
    return {b["name"]: b for b in json.loads(out)["benchmarks"]}


def ns(entry):
    """Real time of one iteration in nanoseconds."""
    scale = {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[entry["time_unit"]]
    return entry["real_time"] * scale


def main():
    if "--no-build" not in sys.argv:
        build()
    results = {}
    for program in sorted(os.listdir(BIN)) if os.path.isdir(BIN) else []:
        if program.endswith("_bench"):
            results.update(run(program))

    rows = []  # (what, value, target)

    def ratio(what, value, target):
        rows.append((what, "%.2f" % value if value is not None else "missing", target))

    def get(name):
        """A benchmark by its full name, or one run by its own name whatever
        its iteration count."""
        if name in results:
            return results[name]
        for full, entry in results.items():
            if full.split("/")[0] == name:
                return entry
        return None

    logcall = get("BM_MklogcallBesideCopy")
    ratio("mklogcall (1,000,000 records, separate lists) / cp of the log",
          logcall["ratio"] if logcall else None, "<= 5")
    merge = get("BM_MergeBesideCopy")
    ratio("merge_logcall (two lists of 1,000,000 lines) / cp of both lists",
          merge["ratio"] if merge else None, "<= 3")
    page = get("BM_ReportBesideMklogcall")
    ratio("report page of the 1,000,000-record log / mklogcall of it",
          page["ratio"] if page else None, "<= 2")
    trace = get("BM_MktraceAgainstXxd")
    ratio("xxd of a 64 MiB trace / mktrace of it",
          trace["xxd_per_mktrace"] if trace else None, ">= 5")
    # Peak memory of each job run as the tool, in a process of its own,
    # beside the size of its input.
    for what, entry, size_counter, target in (
            ("mklogcall", logcall, "log_mib", "<= 1.3 x the log"),
            ("merge_logcall", merge, "lists_mib", "flat, about 3.4 MiB"),
            ("mktrace", trace, "trace_mib", "flat, about 3.4 MiB")):
        peak = entry.get("peak_mib") if entry else None
        size = entry.get(size_counter) if entry else None
        rows.append(("peak memory of %s (input %s MiB)" % (what, "%.1f" % size if size else "?"),
                     "%.1f MiB" % peak if peak and peak > 0 else "missing", target))
    small, large = get("BM_MkconfLargestConfig/10/0"), get("BM_MkconfLargestConfig/1/0")
    ratio("mkconf 5,070 map lines / 507 map lines",
          ns(large) / ns(small) if small and large else None, "<= 15")
    traced = get("BM_MkconfLargestConfig/10/1")
    ratio("mkconf 507 map lines, debug trace on / off",
          ns(traced) / ns(small) if small and traced else None, "(cost of the trace)")
    plain, checked = get("BM_CheckLargestConfig/0"), get("BM_CheckLargestConfig/1")
    ratio("compile 5,070 map lines with warnings collected / without",
          ns(checked) / ns(plain) if plain and checked else None, "<= 1.10")
    few, many = get("BM_CheckFindings/10000"), get("BM_CheckFindings/100000")
    rows.append(("check of a file of 100,000 findings",
                 "%.2f s" % (ns(many) / 1e9) if many else "missing", "< 1 s"))
    ratio("check of 100,000 findings / of 10,000",
          ns(many) / ns(few) if few and many else None, "about 10 (linear)")
    lsp = get("BM_LspCheckAfterChange")
    rows.append(("vorn lsp: check of 5,070 map lines after a change",
                 "%.0f ms" % (ns(lsp) / 1e6) if lsp else "missing", "< 100 ms"))
    on, off = get("BM_DbgPrintfOn"), get("BM_DbgPrintfOff")
    rows.append(("trace formatter: one debug line, trace on",
                 "%.0f ns" % ns(on) if on else "missing", "(per line)"))
    rows.append(("trace call with the trace off",
                 "%.1f ns" % ns(off) if off else "missing", "(state lookup only)"))

    width = max(len(r[0]) for r in rows)
    print("%-*s  %10s  %s" % (width, "ratio", "measured", "target"))
    print("-" * (width + 30))
    for what, value, target in rows:
        print("%-*s  %10s  %s" % (width, what, value, target))
    print()
    print("every benchmark (real time per iteration):")
    for name, entry in sorted(results.items()):
        if entry.get("run_type", "iteration") == "iteration":
            print("  %-60s %14.0f ns" % (name, ns(entry)))


if __name__ == "__main__":
    main()
