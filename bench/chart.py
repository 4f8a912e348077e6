#!/usr/bin/env python3
"""Draws bench/compare.py's results (--json) as bars per case and tool, relative to the case's
copy floor (cp), into a PNG: median wall time, or with --cpu median CPU time (user and system),
which a loaded machine disturbs less. Needs Debian's python3-matplotlib."""

import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def main():
    args = sys.argv[1:]
    measure = "seconds"
    if args[:1] == ["--cpu"]:
        measure = "cpu"
        args = args[1:]
    if len(args) != 2:
        print("usage: chart.py [--cpu] RESULTS.json OUT.png", file=sys.stderr)
        return 64
    with open(args[0]) as source:
        data = json.load(source)
    cases = data["cases"]
    tools = []
    for case in cases:
        for tool in case["results"]:
            if tool != case["floor"] and tool not in tools:
                tools.append(tool)
    fig, ax = plt.subplots(figsize=(12, 0.9 + 0.75 * len(cases) * max(1, len(tools)) / 3))
    height = 0.8 / max(1, len(tools))
    colors = plt.rcParams["axes.prop_cycle"].by_key()["color"]
    labels = []
    for row, case in enumerate(cases):
        floor = case["results"][case["floor"]][measure]
        labels.append(case["title"].replace(", on a RAM disk", "\n(RAM disk)"))
        for i, tool in enumerate(tools):
            result = case["results"].get(tool)
            if result is None:
                continue
            ratio = result[measure] / floor
            y = row + (i - (len(tools) - 1) / 2) * height
            ax.barh(y, ratio, height=height * 0.95, color=colors[i % len(colors)], label=tool if row == 0 or tool not in ax.get_legend_handles_labels()[1] else None)
            ax.text(ratio, y, f" {ratio:.2f}", va="center", fontsize=7)
    ax.axvline(1.0, color="black", linewidth=0.8)
    ax.set_yticks(range(len(cases)))
    ax.set_yticklabels(labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xlabel(f"median {'CPU' if measure == 'cpu' else 'wall'} time / copy floor (cp of a file as large as the larger of source and result; cp -r for the folder)")
    ax.set_title("Lumiva against the tools people use, relative to cp (lower is better)")
    handles, names = ax.get_legend_handles_labels()
    unique = dict(zip(names, handles))
    ax.legend(unique.values(), unique.keys(), fontsize=8, loc="lower right")
    fig.tight_layout()
    fig.savefig(args[1], dpi=110)
    return 0


if __name__ == "__main__":
    sys.exit(main())
