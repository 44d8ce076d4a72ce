#!/usr/bin/env python3
"""Turns the Google Benchmark JSON files of one bench/run into its results.

Reads one JSON file per benchmark program (bench_<name>.json) and writes
into the output directory:

  latest.json  every program's benchmarks in one Google Benchmark JSON file:
               the first program's "context" (with a "nuvrix" entry: commit,
               machine, load, repetitions) and all "benchmarks", each with a
               "program" field naming the program it came from;
  latest.md    the figures (CPU-time medians) and the ratios to the peers
               and floors with their targets, then one table per program;
  *.png        plots drawn with gnuplot, when gnuplot is there.

Only the Python standard library is used.
"""

import argparse
import glob
import json
import os
import re
import shutil
import subprocess
import sys

# What the rows of the targets table are called: benchmark name (without
# "/manual_time") -> label. The ratio, the target and the figures come from
# the benchmark's own counters.
LABELS = {
    "Lookup/InMemoryStores": "getValue, 3 in-memory stores, per lookup",
    "Lookup/FileStores": "getValue, 3 stores loaded from their files, per lookup",
    "Lookup/FileStoresOtherCase": "getValue, keys in other letter case, per lookup",
    "Lookup/Service": "ConfigService::getConfig, services thread, per lookup",
    "ColdStart/Ours": "Cold start: 3 stores loaded + 3 addStore",
    "BM_SecureStringOverRawEvp/64": "SecureString set + read, 64 B",
}


# Short names for the bars of the peers plot; "|" breaks the line.
BAR_LABELS = {
    "Lookup/InMemoryStores": "getValue|in-memory stores",
    "Lookup/FileStores": "getValue|file-loaded stores",
    "Lookup/FileStoresOtherCase": "getValue|other letter case",
    "Lookup/Service": "getConfig|services thread",
}


def parse_args():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--json-dir", required=True, help="directory of the bench_<name>.json files")
    parser.add_argument("--out", required=True, help="directory for latest.json, latest.md and the plots")
    parser.add_argument("--plots", choices=["yes", "no"], default="yes")
    parser.add_argument("--meta", action="append", default=[], help="key=value recorded under context.nuvrix")
    return parser.parse_args()


# ---- Reading ------------------------------------------------------------------------


def load_programs(json_dir):
    programs = {}
    for path in sorted(glob.glob(os.path.join(json_dir, "bench_*.json"))):
        name = os.path.splitext(os.path.basename(path))[0]
        with open(path, encoding="utf-8") as handle:
            programs[name] = json.load(handle)
    return programs


def base_name(benchmark):
    """The benchmark's name without the repetition and manual-time suffixes."""
    name = benchmark.get("run_name", benchmark["name"])
    return re.sub(r"/manual_time$", "", name)


def medians(benchmarks):
    """One entry per benchmark: the "median" aggregate when the run had
    repetitions, else the single iteration entry (the median of one)."""
    chosen = {}
    order = []
    for b in benchmarks:
        key = base_name(b)
        if b.get("error_occurred"):
            chosen[key] = b
            if key not in order:
                order.append(key)
            continue
        is_median = b.get("run_type") == "aggregate" and b.get("aggregate_name") == "median"
        is_iteration = b.get("run_type", "iteration") == "iteration"
        if key not in order:
            order.append(key)
        if is_median or (is_iteration and key not in chosen):
            chosen[key] = b
    # Declaration order, whatever order the interleaved repetitions ran in.
    keyed = [(key, chosen[key]) for key in order if key in chosen]
    keyed.sort(key=lambda item: (item[1].get("family_index", 0), item[1].get("per_family_instance_index", 0)))
    return keyed


STANDARD_FIELDS = {
    "name", "family_index", "per_family_instance_index", "run_name", "run_type", "repetitions",
    "repetition_index", "threads", "iterations", "real_time", "cpu_time", "time_unit", "aggregate_name",
    "aggregate_unit", "error_occurred", "error_message", "program", "label",
}


def counters(benchmark):
    return {k: v for k, v in benchmark.items() if k not in STANDARD_FIELDS and isinstance(v, (int, float))}


def own_time(benchmark):
    """True when the benchmark reports a time of its own choosing (manual
    time) or wall time (UseRealTime) besides its CPU time."""
    name = benchmark.get("run_name", benchmark.get("name", ""))
    return "/manual_time" in name or "/real_time" in name


def to_ns(value, unit):
    return value * {"ns": 1, "us": 1e3, "ms": 1e6, "s": 1e9}[unit]


# ---- Formatting -----------------------------------------------------------------------


def fmt_time_ns(ns):
    if ns is None:
        return "-"
    if ns >= 1e9:
        return "%.3g s" % (ns / 1e9)
    if ns >= 1e6:
        return "%.3g ms" % (ns / 1e6)
    if ns >= 1e3:
        return "%.3g us" % (ns / 1e3)
    return "%.3g ns" % ns


def fmt_number(value):
    if value is None:
        return "-"
    if value == 0:
        return "0"
    magnitude = abs(value)
    if magnitude >= 1e6 or magnitude < 1e-3:
        return "%.3g" % value
    if magnitude >= 100:
        return "%.0f" % value
    return "%.3g" % value


def fmt_ratio(value):
    return "-" if value is None else "%.2fx" % value


# ---- The targets table -------------------------------------------------------------


def target_rows(figures):
    """Rows for every benchmark that reports a target: (label, ours, other,
    ratio, target, met)."""
    rows = []
    for program, key, b in figures:
        c = counters(b)
        if "target" not in c and not any(k.startswith("target_") for k in c):
            continue
        label = LABELS.get(key, key)
        if key.startswith("Lookup/"):
            ours = "%s ns" % fmt_number(c.get("ns_per_lookup"))
            peers = sorted(k[: -len("_ns_per_lookup")] for k in c if k.endswith("_ns_per_lookup")
                           and k not in ("ns_per_lookup", "best_peer_ns_per_lookup"))
            best_name = None
            for peer in peers:
                if c.get("best_peer_ns_per_lookup") is not None and \
                        abs(c[peer + "_ns_per_lookup"] - c["best_peer_ns_per_lookup"]) < 1e-9:
                    best_name = peer
            other = ", ".join("%s %s ns" % (p, fmt_number(c[p + "_ns_per_lookup"])) for p in peers) or "no peer built"
            if best_name:
                other += " (best: %s)" % best_name
            add_row(rows, label + " vs best peer", ours, other, c.get("ratio"), c.get("target"))
        elif key.startswith("ColdStart/"):
            ours = "%s ms" % fmt_number(c.get("ms"))
            add_row(rows, label + " vs read + decrypt + parse", ours, "%s ms" % fmt_number(c.get("floor_ms")),
                    c.get("ratio"), c.get("target"))
            for k in sorted(c):
                if k.startswith("ratio_"):
                    peer = k[len("ratio_"):]
                    # A peer's load is a target to stay below, not to reach.
                    add_row(rows, "%s vs %s load" % (label, peer), ours,
                            "%s %s ms" % (peer, fmt_number(c.get(peer + "_ms"))), c[k], c.get("target_" + peer),
                            strict=True)
        elif key.startswith("BM_SecureStringOverRawEvp"):
            ours = "%s ns" % fmt_number(c.get("securestring_ns"))
            add_row(rows, label + " vs raw EVP, prepared contexts", ours,
                    "%s ns" % fmt_number(c.get("evp_prepared_ns")), c.get("ratio"), c.get("target"))
            add_row(rows, label + " vs raw EVP, new contexts per value", ours,
                    "%s ns" % fmt_number(c.get("evp_new_contexts_ns")), c.get("ratio_new_contexts"), None)
            add_row(rows, label + " vs raw EVP, prepared contexts keyed without fetch", ours,
                    "%s ns" % fmt_number(c.get("evp_prepared_keyed_ns")), c.get("ratio_prepared_keyed"), None)
        else:
            add_row(rows, label, "-", "-", c.get("ratio"), c.get("target"))
    derived_rows(rows, {(program, key): b for program, key, b in figures})
    return rows


# Targets whose benchmarks report their parts only: the whole plug-in's cold
# start on the starting thread's CPU beside its floor, and how the cost of a
# notification batch grows from 5,000 to 20,000 keys (linear would be 4.0x).
WHOLE_PLUGIN_COLD_START_TARGET = 2.0
NOTIFICATION_GROWTH_TARGET = 4.5


def derived_rows(rows, by_key):
    cold = by_key.get(("bench_plugin_cold_start", "ColdStart/service_current:0"))
    if cold:
        c = counters(cold)
        add_row(rows, "Whole plug-in cold start (load + InjectConfigService + start), starting thread's CPU, "
                "vs read + decrypt + parse", "%s ms" % fmt_number(c.get("cold_cpu_ms")),
                "%s ms" % fmt_number(c.get("floor_cpu_ms")), c.get("cpu_ratio"), WHOLE_PLUGIN_COLD_START_TARGET)
    small = by_key.get(("bench_config_service", "BM_SilentBatchThenFireIfRequired/5000"))
    large = by_key.get(("bench_config_service", "BM_SilentBatchThenFireIfRequired/20000"))
    if small and large and small.get("real_time") and large.get("real_time"):
        ratio = to_ns(large["real_time"], large["time_unit"]) / to_ns(small["real_time"], small["time_unit"])
        add_row(rows, "Notification batch on the services thread, 20,000 keys vs 5,000",
                fmt_time_ns(to_ns(large["real_time"], large["time_unit"])),
                fmt_time_ns(to_ns(small["real_time"], small["time_unit"])), ratio, NOTIFICATION_GROWTH_TARGET)


def add_row(rows, label, ours, other, ratio, target, strict=False):
    if target is None or target == 0:
        target_text, met = "-", "-"
    else:
        target_text = ("< %.1fx" if strict else "<= %.1fx") % target
        within = ratio is not None and (ratio < target if strict else ratio <= target)
        met = "-" if ratio is None else ("yes" if within else "no")
    rows.append((label, ours, other, fmt_ratio(ratio), target_text, met))


# ---- Markdown ------------------------------------------------------------------------


def program_table(name, entries):
    lines = ["### %s" % name, "",
             "| Benchmark | CPU time | Manual or wall time | Counters (medians) |",
             "|---|---|---|---|"]
    for key, b in entries:
        if b.get("error_occurred"):
            lines.append("| %s | error: %s | | |" % (key, b.get("error_message", "")))
            continue
        unit = b.get("time_unit", "ns")
        cpu = fmt_time_ns(to_ns(b["cpu_time"], unit))
        manual = fmt_time_ns(to_ns(b["real_time"], unit)) if own_time(b) else ""
        shown = ", ".join("%s=%s" % (k, fmt_number(v)) for k, v in sorted(counters(b).items())
                          if k not in ("bytes_per_second", "items_per_second"))
        lines.append("| %s | %s | %s | %s |" % (key, cpu, manual, shown))
    lines.append("")
    return lines


def write_markdown(path, programs, figures, meta, plots):
    lines = ["# Benchmark results", ""]
    lines.append("Written by `bench/run` (%s)." % meta.get("mode", "full run"))
    lines.append("")
    for k in ("date", "commit", "build", "repetitions", "machine", "load_before", "load_after"):
        if k in meta:
            lines.append("- %s: %s" % (k.replace("_", " "), meta[k]))
    lines.append("")
    lines.append("Figures are medians over repetitions. \"CPU time\" is that of the benchmark's own thread. "
                 "Where a benchmark times itself (\"/manual_time\"), its manual time is the CPU time of the "
                 "thread doing the work in bench_peers and bench_secure_string, and wall time in the other "
                 "programs (the plug-in programs give their CPU times as counters); \"/real_time\" "
                 "benchmarks are timed on the wall clock. Ratios are ours over the best peer or floor, "
                 "measured in the same iterations.")
    lines.append("")
    lines.append("## Targets")
    lines.append("")
    lines.append("| What | Ours | Peer or floor | Ratio | Target | Met |")
    lines.append("|---|---|---|---|---|---|")
    for row in target_rows(figures):
        lines.append("| %s |" % " | ".join(row))
    lines.append("")
    if plots:
        lines.append("## Plots")
        lines.append("")
        for title, file in plots:
            lines.append("![%s](%s)" % (title, file))
            lines.append("")
    lines.append("## Every benchmark")
    lines.append("")
    for name, data in programs.items():
        lines.extend(program_table(name, medians(data.get("benchmarks", []))))
    with open(path, "w", encoding="utf-8") as handle:
        handle.write("\n".join(lines))


# ---- Plots ------------------------------------------------------------------------------


def series(figures, program, pattern, value):
    """[(x, y)] for the benchmarks of program whose name matches pattern
    (one group: x); value(benchmark) gives y or None."""
    points = []
    for prog, key, b in figures:
        if prog != program or b.get("error_occurred"):
            continue
        match = re.fullmatch(pattern, key)
        if match:
            y = value(b)
            if y is not None:
                points.append((float(match.group(1)), y))
    return sorted(points)


def cpu_ns(b):
    return to_ns(b["cpu_time"], b.get("time_unit", "ns"))


def counter(name):
    return lambda b: counters(b).get(name)


def draw(out, file, title, xlabel, ylabel, lines, logx=False, logy=False):
    """lines: [(legend, [(x, y)])]. Returns True when the PNG was drawn."""
    lines = [(legend, points) for legend, points in lines if points]
    if not lines:
        return False
    data = os.path.join(out, file.replace(".png", ".dat"))
    with open(data, "w", encoding="utf-8") as handle:
        for legend, points in lines:
            handle.write("# %s\n" % legend)
            for x, y in points:
                handle.write("%g %g\n" % (x, y))
            handle.write("\n\n")
    script = [
        "set terminal pngcairo size 900,620 font 'sans,10'",
        "set output '%s'" % os.path.join(out, file),
        "set title '%s'" % title,
        "set xlabel '%s'" % xlabel,
        "set ylabel '%s'" % ylabel,
        "set grid",
        "set key below",
        "set yrange [0:*]" if not logy else "set logscale y",
    ]
    if logx:
        script.append("set logscale x")
        script.append("set autoscale xfix")
        script.append("set offsets graph 0.04, graph 0.04, 0, 0")
    plot = ", ".join("'%s' index %d using 1:2 with linespoints lw 2 pt 7 title '%s'" % (data, i, legend)
                     for i, (legend, _) in enumerate(lines))
    script.append("plot " + plot)
    subprocess.run(["gnuplot"], input="\n".join(script), text=True, check=True)
    os.remove(data)
    return True


def draw_bars(out, file, title, ylabel, bars):
    """bars: [(label, value, ours)]; ours and the peers in two colours."""
    bars = [bar for bar in bars if bar[1] is not None]
    if not bars:
        return False
    data = os.path.join(out, file.replace(".png", ".dat"))
    with open(data, "w", encoding="utf-8") as handle:
        for i, (label, value, ours) in enumerate(bars):
            handle.write('%d "%s" %g %d\n' % (i, label.replace("|", "\\n"), value, 0x3366CC if ours else 0x999999))
    script = [
        "set terminal pngcairo size 900,560 font 'sans,10'",
        "set output '%s'" % os.path.join(out, file),
        "set title '%s'" % title,
        "set ylabel '%s'" % ylabel,
        "set grid ytics",
        "set yrange [0:*]",
        "set style fill solid 0.7",
        "set boxwidth 0.6",
        "set bmargin 6",
        "unset key",
        "plot '%s' using 1:3:4:xtic(2) with boxes lc rgb variable, "
        "'' using 1:3:(sprintf('%%.0f', $3)) with labels offset 0,0.7" % data,
    ]
    subprocess.run(["gnuplot"], input="\n".join(script), text=True, check=True)
    os.remove(data)
    return True


def make_plots(out, figures):
    plots = []
    if draw(out, "lookup_vs_stores.png", "Lookup cost against the number of stores (2,000 keys each)",
            "stores", "CPU time per lookup (ns)", [
                ("ConfigStoreManager::getValue, InMemoryConfigStores",
                 series(figures, "bench_store_manager", r"ManagerGetValue/(\d+)", cpu_ns)),
                ("ConfigStoreManager::getValue, immutable stores without a lock",
                 series(figures, "bench_store_manager", r"ManagerGetValueUnlocked/(\d+)", cpu_ns)),
                ("floor: the same walk over bare maps",
                 series(figures, "bench_store_manager", r"FloorGetValue/(\d+)", cpu_ns)),
            ]):
        plots.append(("Lookup cost against stores", "lookup_vs_stores.png"))
    if draw(out, "notification_vs_keys.png", "Change notification cost against the number of keys",
            "keys", "time per key (ns)", [
                ("service: silent reports + FireIfRequired (services thread, wall)",
                 series(figures, "bench_config_service", r"BM_SilentBatchThenFireIfRequired/(\d+)",
                        counter("ns_per_key"))),
                ("plug-in: store added until the last value fired, CPU (fsync on)",
                 series(figures, "bench_plugin_store_added", r"StoreAdded/keys:(\d+)/fsync:1",
                        counter("cpu_ns_per_key"))),
                ("plug-in: the same, CPU, fsync off",
                 series(figures, "bench_plugin_store_added", r"StoreAdded/keys:(\d+)/fsync:0",
                        counter("cpu_ns_per_key"))),
                ("plug-in: the same, wall (fsync on)",
                 series(figures, "bench_plugin_store_added", r"StoreAdded/keys:(\d+)/fsync:1",
                        counter("ns_per_key"))),
            ], logx=True):
        plots.append(("Notification cost against keys", "notification_vs_keys.png"))
    bars = []
    peer_names = set()
    for prog, key, b in figures:
        if prog == "bench_peers" and key.startswith("Lookup/"):
            c = counters(b)
            for k in c:
                if k.endswith("_ns_per_lookup") and k not in ("ns_per_lookup", "best_peer_ns_per_lookup"):
                    peer_names.add(k[: -len("_ns_per_lookup")])
    for prog, key, b in figures:
        if prog == "bench_peers" and key.startswith("Lookup/") and key[len("Lookup/"):] not in peer_names:
            bars.append((BAR_LABELS.get(key, key), counters(b).get("ns_per_lookup"), True))
    for peer in sorted(peer_names):
        for prog, key, b in figures:
            if prog == "bench_peers" and key == "Lookup/" + peer:
                bars.append((peer + "|stored case", counters(b).get("ns_per_lookup"), False))
    if draw_bars(out, "peers_lookup.png", "100,000 lookups, 90% hits, 3 layers: CPU time per lookup",
                 "ns per lookup", bars):
        plots.append(("Lookups beside the peers", "peers_lookup.png"))
    return plots


# ---- Main ------------------------------------------------------------------------------


def main():
    args = parse_args()
    programs = load_programs(args.json_dir)
    if not programs:
        sys.exit("report: no bench_*.json in %s" % args.json_dir)
    meta = dict(item.split("=", 1) for item in args.meta)

    merged_benchmarks = []
    figures = []
    for name, data in programs.items():
        for b in data.get("benchmarks", []):
            entry = dict(b)
            entry["program"] = name
            merged_benchmarks.append(entry)
        for key, b in medians(data.get("benchmarks", [])):
            figures.append((name, key, b))
    context = dict(next(iter(programs.values())).get("context", {}))
    context["nuvrix"] = dict(meta, programs=list(programs))
    os.makedirs(args.out, exist_ok=True)
    with open(os.path.join(args.out, "latest.json"), "w", encoding="utf-8") as handle:
        json.dump({"context": context, "benchmarks": merged_benchmarks}, handle, indent=1)

    plots = []
    if args.plots == "yes":
        if shutil.which("gnuplot"):
            plots = make_plots(args.out, figures)
        else:
            print("report: gnuplot not found, no plots drawn")
    write_markdown(os.path.join(args.out, "latest.md"), programs, figures, meta, plots)

    failed = [(p, k) for p, k, b in figures if b.get("error_occurred")]
    for p, k in failed:
        print("report: %s %s reported an error" % (p, k), file=sys.stderr)
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
