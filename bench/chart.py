#!/usr/bin/env python3
"""Draws bench/compare.py's results (--json) as bars per case and tool, relative to the case's
copy floor (cp), into a PNG. Needs Debian's python3-matplotlib."""

import json
import sys

import matplotlib

matplotlib.use("Agg")
import matplotlib.pyplot as plt  # noqa: E402


def main():
    if len(sys.argv) != 3:
        print("usage: chart.py RESULTS.json OUT.png", file=sys.stderr)
        return 64
    with open(sys.argv[1]) as source:
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
        floor = case["results"][case["floor"]]["seconds"]
        labels.append(case["title"].replace(", on a RAM disk", "\n(RAM disk)"))
        for i, tool in enumerate(tools):
            result = case["results"].get(tool)
            if result is None:
                continue
            ratio = result["seconds"] / floor
            y = row + (i - (len(tools) - 1) / 2) * height
            ax.barh(y, ratio, height=height * 0.95, color=colors[i % len(colors)], label=tool if row == 0 or tool not in ax.get_legend_handles_labels()[1] else None)
            ax.text(ratio, y, f" {ratio:.2f}", va="center", fontsize=7)
    ax.axvline(1.0, color="black", linewidth=0.8)
    ax.set_yticks(range(len(cases)))
    ax.set_yticklabels(labels, fontsize=8)
    ax.invert_yaxis()
    ax.set_xlabel("median wall time / copy floor (cp of a file as large as the larger of source and result; cp -r for the folder)")
    ax.set_title("Lumiva against the tools people use, relative to cp (lower is better)")
    handles, names = ax.get_legend_handles_labels()
    unique = dict(zip(names, handles))
    ax.legend(unique.values(), unique.keys(), fontsize=8, loc="lower right")
    fig.tight_layout()
    fig.savefig(sys.argv[2], dpi=110)
    return 0


if __name__ == "__main__":
    sys.exit(main())
