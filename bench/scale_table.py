#!/usr/bin/env python3
"""Reads the Google Benchmark JSON of pds_scale_bench and prints one table: for every
single call and host answer the median time per size next to its floor on a bare
model, the per-row growth from the smallest to the largest size, heap bytes per row
against the bare row, and whether each goal holds. Writes the table as JSON too.
Exits 1 when a goal is missed, 2 on errors.

    scale_table.py OUT.json RUN.json
"""
import json
import re
import statistics
import sys

MAX_MS = {20000: 16.0, 100000: 100.0}  # one frame at 20,000 rows; 100 ms at 100,000
MAX_GROWTH = 1.3                       # per row, smallest to largest size
MAX_HEAP = {"camera row": 1.1, "station row": 1.05}
MAX_REFRESH_RATIO = 1.5                # refreshDevices against a bare clear()
# Whole passes over the rows: held to the per-row growth, not to one frame.
WHOLE = re.compile(r", all$")


def read_runs(path):
    """{(figure, unit, n): ([values], [floors])} over the repetitions."""
    with open(path) as f:
        benchmarks = json.load(f)["benchmarks"]
    runs, errors = {}, False
    for b in benchmarks:
        if b.get("error_occurred"):
            print(f"{b['name']} failed: {b.get('error_message')}", file=sys.stderr)
            errors = True
            continue
        if b.get("run_type") != "iteration":
            continue
        n = int(b["run_name"].split("/")[1])
        for key, value in b.items():
            m = re.fullmatch(r"(.+?)( floor)? (ms|B)", key)
            if not m or not isinstance(value, (int, float)):
                continue
            name, floor, unit = m.groups()
            values, floors = runs.setdefault((name, unit, n), ([], []))
            (floors if floor else values).append(value)
    return runs, errors


def rows_of(runs):
    sizes = sorted({n for _, _, n in runs})
    smallest, largest = sizes[0], sizes[-1]
    rows = []
    for (name, unit, n) in sorted(runs, key=lambda k: (k[1], k[0], k[2])):
        values, floors = runs[(name, unit, n)]
        row = {"figure": name, "unit": unit, "n": n, "value": statistics.median(values)}
        if floors:
            row["floor"] = statistics.median(floors)
            if row["floor"] > 0:
                row["ratio"] = row["value"] / row["floor"]
        goals, met = [], True
        if unit == "B":
            limit = MAX_HEAP.get(name)
            if limit and "ratio" in row:
                goals.append(f"heap <= {limit}x")
                met = met and row["ratio"] <= limit
        else:
            if n in MAX_MS and not WHOLE.search(name):
                goals.append(f"<= {MAX_MS[n]:.0f} ms")
                met = met and row["value"] <= MAX_MS[n]
            if name == "refreshDevices" and "ratio" in row and n in MAX_MS:
                goals.append(f"<= {MAX_REFRESH_RATIO}x clear()")
                met = met and row["ratio"] <= MAX_REFRESH_RATIO
            first = runs.get((name, unit, smallest))
            if n == largest and smallest != largest and first and not name.endswith("largest"):
                first_value = statistics.median(first[0])
                if first_value > 0:
                    row["growth"] = (row["value"] / largest) / (first_value / smallest)
                    goals.append(f"growth <= {MAX_GROWTH}")
                    met = met and row["growth"] <= MAX_GROWTH
        if goals:
            row["goal"], row["met"] = ", ".join(goals), met
        rows.append(row)
    return sizes, rows


def main():
    out_path, path = sys.argv[1], sys.argv[2]
    runs, errors = read_runs(path)
    if not runs:
        print("no runs to report", file=sys.stderr)
        return 2
    sizes, rows = rows_of(runs)
    print(f"Single calls on a loaded site: medians; per-row growth from N = {sizes[0]} to N = {sizes[-1]}.\n")
    line = "{:<44} {:>7} {:>11} {:>11} {:>7} {:>7}  {:<44} {}"
    print(line.format("call or answer", "N", "plug-in", "floor", "ratio", "growth", "goal", "met"))
    for r in rows:
        unit = " ms" if r["unit"] == "ms" else " B"
        fmt = (lambda v: f"{v:.2f}{unit}") if r["unit"] == "ms" else (lambda v: f"{v:.0f}{unit}")
        print(line.format(r["figure"], r["n"], fmt(r["value"]), fmt(r["floor"]) if "floor" in r else "-",
                          f"{r['ratio']:.2f}x" if "ratio" in r else "-",
                          f"{r['growth']:.2f}x" if "growth" in r else "-", r.get("goal", "-"),
                          ("yes" if r["met"] else "NO") if "met" in r else "-"))
    all_met = all(r.get("met", True) for r in rows)
    print(f"\nAll single-call goals met: {'yes' if all_met else 'NO'}")
    with open(out_path, "w") as f:
        json.dump({"all_met": all_met, "rows": rows}, f, indent=2)
    return 2 if errors else 0 if all_met else 1


if __name__ == "__main__":
    sys.exit(main())
