#!/usr/bin/env python3
"""Turns what bench/run.sh measured into the Markdown report: medians, ratios, targets.

Usage: python3 bench/summarize.py DATA_DIR "FONT ..."

Wall-clock medians come first (the targets are stated in them); CPU time (user + system, the mean
over the runs, which is what hyperfine exports) follows each, since on a shared machine it moves
less when another process takes the core.
"""

import json
import os
import platform
import subprocess
import sys

FORMS = ["bdf", "pcf", "bdf.Z", "pcf.Z"]
TYPICAL = {"six13", "term16x32"}
READING_TARGET_FONT = "many16"


def load(path):
    with open(path) as f:
        results = json.load(f)["results"]
    table = {}
    for r in results:
        name = r["command"]
        table[name] = {"wall": r["median"] * 1e3, "cpu": (r["user"] + r["system"]) * 1e3,
                       "failed": any(code != 0 for code in (r.get("exit_codes") or []))}
    return table


def ms(value):
    return f"{value:.1f}" if value >= 10 else f"{value:.2f}"


def ratio(a, b):
    return f"{a / b:.2f}" if b > 0 else "-"


def machine():
    cpu = "unknown CPU"
    try:
        with open("/proc/cpuinfo") as f:
            for line in f:
                if line.startswith("model name"):
                    cpu = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    cores = os.cpu_count()
    memory = ""
    try:
        with open("/proc/meminfo") as f:
            memory = f"{int(f.readline().split()[1]) // 1024} MiB RAM"
    except (OSError, ValueError, IndexError):
        pass
    load_avg = " ".join(f"{x:.2f}" for x in os.getloadavg())
    return f"{cpu}, {cores} cores, {memory}, {platform.system()} {platform.release()}; load average {load_avg}"


def versions():
    out = []
    for label, command in (("", ["hyperfine", "--version"]), ("", ["dpkg-query", "-W", "-f", "FreeType ${Version}", "libfreetype6"]),
                           ("", ["dpkg-query", "-W", "-f", "FontForge ${Version}", "fontforge-nox"])):
        try:
            text = subprocess.run(command, capture_output=True, text=True).stdout.strip()
        except OSError:
            continue
        if text:
            out.append(label + text)
    return ", ".join(out)


# -c1252 on unifont against the byte-at-a-time floor, and peak memory against the input size; the
# four-page family (-c1252,1251,1250,1253) within PAGES_TARGET of the floor.
CODE_PAGE_TARGETS = {"bdf": ("varnel", 2.5), "pcf": ("corvane", 2.0)}
PAGES_TARGET = 4.0


def code_page_section(data):
    rows = []
    for form, (program, target) in CODE_PAGE_TARGETS.items():
        path = os.path.join(data, "json", f"codepage-{form}.json")
        if not os.path.exists(path):
            continue
        t = load(path)
        floor, ours, full = t["floor"]["wall"], t["ours"]["wall"], t["full"]["wall"]
        pages = t["pages"]["wall"] if "pages" in t else None
        met = ours <= target * floor and (pages is None or pages <= PAGES_TARGET * floor)
        rows.append(f"| unifont.{form} | {program} | {ms(floor)} ({ms(t['floor']['cpu'])}) | "
                    f"{ms(ours)} ({ms(t['ours']['cpu'])}) | "
                    f"{ms(pages) + ' (' + ms(t['pages']['cpu']) + ')' if pages else '-'} | "
                    f"{ms(full)} ({ms(t['full']['cpu'])}) | {ratio(ours, floor)} | "
                    f"{ratio(pages, floor) if pages else '-'} | {ratio(full, floor)} | "
                    f"{target:.1f}, {PAGES_TARGET:.1f} | {'met' if met else 'missed'} |")
    if not rows:
        return []
    lines = ["", "## Code pages", "",
             "unifont into cp1252 (`-c1252`) and into one file of four pages (`-c1252,1251,1250,1253`,",
             "one read) against the floor: the same file read a byte at a time through an 8192-byte buffer",
             "(bench/byte_floor.c). `full` is the run without -c (it reads every glyph, then refuses the",
             "font for its many rows). Median wall ms, CPU in parentheses; targets for -c1252 and the pages.",
             "",
             "| input | program | floor | -c1252 | four pages | full | -c1252/floor | pages/floor | full/floor "
             "| targets | |",
             "|---|---|---|---|---|---|---|---|---|---|---|"] + rows
    memory = os.path.join(data, "codepage-memory.txt")
    if os.path.exists(memory):
        lines += ["", "| input | bytes | peak KiB with -c1252 | limit KiB (2 x input) | |", "|---|---|---|---|---|"]
        with open(memory) as f:
            for row in f:
                name, size, rss = row.split()
                limit = 2 * int(size) // 1024
                lines.append(f"| {name} | {size} | {rss} | {limit} | {'met' if int(rss) <= limit else 'MISSED'} |")
    return lines


# TrueType output: a typical font at least TTF_FONTFORGE_TARGET times faster than FontForge writing
# a TrueType font from the same BDF; unifont within TTF_FLOOR_TARGET of the byte-scan floor.
TTF_FONTFORGE_TARGET = 20.0
TTF_FLOOR_TARGET = 4.0


def ttf_section(data):
    rows, unifont = [], []
    for path in sorted(p for p in os.listdir(os.path.join(data, "json")) if p.startswith("ttf-") and p.endswith(".json")):
        t = load(os.path.join(data, "json", path))
        name = path[4:-5]
        cell = lambda key: f"{ms(t[key]['wall'])} ({ms(t[key]['cpu'])})" if key in t else "-"
        ours = t["ours"]["wall"]
        if name == "unifont":
            for form, floor, run in (("bdf", "floor", "ours"), ("pcf", "pcf-floor", "pcf")):
                r = t[run]["wall"] / t[floor]["wall"]
                unifont.append(f"| unifont.{form} | {cell(floor)} | {cell(run)} | {r:.2f} | {TTF_FLOOR_TARGET:.0f} | "
                               f"{'met' if r <= TTF_FLOOR_TARGET else 'missed'} |")
            continue
        ff = t.get("fontforge", {}).get("wall", 0)
        verdict = ("met" if ff / ours >= TTF_FONTFORGE_TARGET else "missed") if ff else "-"
        rows.append(f"| {name}.bdf | {cell('true')} | {cell('ours')} | {cell('pcf')} | {cell('fontforge')} | "
                    f"{ratio(ff, ours) if ff else '-'} | {ratio(ours, t['true']['wall'])} | {verdict} |")
    if not rows and not unifont:
        return []
    lines = ["", "## TrueType output", "",
             "Typical fonts to .ttf: varnel from the BDF (`ours`) and corvane from the PCF beside it, against",
             "FontForge's Python module opening the same BDF and generating a .ttf with its strike",
             f"(`fontforge`); FF/ours at least {TTF_FONTFORGE_TARGET:.0f} meets the target. Median wall ms, CPU in "
             "parentheses.", "",
             "| input | true | ours | corvane (PCF) | FontForge | FF/ours | ours/true | |",
             "|---|---|---|---|---|---|---|---|"] + rows
    if unifont:
        lines += ["", f"unifont to .ttf against the byte-scan floor (bench/byte_floor.c); within {TTF_FLOOR_TARGET:.0f}x "
                  "meets the target.", "", "| input | floor | ours | ours/floor | target | |",
                  "|---|---|---|---|---|---|"] + unifont
    memory = os.path.join(data, "ttf-memory.txt")
    if os.path.exists(memory):
        with open(memory) as f:
            name, size, rss, out = f.read().split()
        lines += ["", f"Peak memory of varnel on {name} ({size} bytes) to .ttf: {rss} KiB; the .ttf is {out} bytes."]
    return lines


def main():
    data, fonts = sys.argv[1], sys.argv[2].split()
    lines = ["# Benchmark report", "", f"Machine: {machine()}.", f"Tools: {versions()}.", ""]
    lines += [
        "Whole-process runs in milliseconds: the median wall clock, then in parentheses the CPU time",
        "(user + system, mean of the runs). `ours` is varnel for BDF, corvane for PCF. Ratios: ours/FreeType (below 0.5",
        "meets the reading target), FontForge/ours (15 or more meets the conversion target),",
        "ours/true (1.5 or less meets the start-up target). A * marks a run the program refused,",
        "as it must for a font over the limits (many16, codes in many rows).",
        "",
        "| input | bytes | true | cat | ours | FreeType | FontForge | compress -dc | ours/FT | FF/ours | ours/true |",
        "|---|---|---|---|---|---|---|---|---|---|---|",
    ]
    checks = []
    for name in fonts:
        for form in FORMS:
            path = os.path.join(data, "json", f"{name}.{form}.json")
            if not os.path.exists(path):
                continue
            t = load(path)
            size = os.path.getsize(os.path.join(data, f"{name}.{form}"))

            def cell(key):
                if key not in t:
                    return "-"
                star = "*" if t[key]["failed"] else ""
                return f"{ms(t[key]['wall'])}{star} ({ms(t[key]['cpu'])})"

            ours = t["ours"]["wall"]
            ft = t.get("freetype", {}).get("wall", 0)
            ff = t.get("fontforge", {}).get("wall", 0)
            lines.append(
                f"| {name}.{form} | {size} | {cell('true')} | {cell('cat')} | {cell('ours')} | {cell('freetype')} | "
                f"{cell('fontforge')} | {cell('compress')} | {ratio(ours, ft) if ft else '-'} | "
                f"{ratio(ff, ours) if ff else '-'} | {ratio(ours, t['true']['wall'])} |")
            if name == READING_TARGET_FONT and form in ("bdf", "pcf") and ft:
                cpu_ratio = t["ours"]["cpu"] / t["freetype"]["cpu"]
                checks.append(f"- Reading {name}.{form}: ours/FreeType = {ours / ft:.2f} wall, {cpu_ratio:.2f} CPU "
                              f"(target 0.50): {'met' if ours / ft <= 0.5 else 'missed'}")
            if name in TYPICAL and form == "bdf" and ff:
                checks.append(f"- Conversion {name}.bdf: FontForge/ours = {ff / ours:.1f} (target 15): "
                              f"{'met' if ff / ours >= 15 else 'missed'}")
            if name in TYPICAL and form in ("bdf", "pcf"):
                floor = t["true"]["wall"]
                checks.append(f"- Start-up {name}.{form}: ours/true = {ours / floor:.2f} (target 1.5): "
                              f"{'met' if ours / floor <= 1.5 else 'missed'}")
            if form.endswith(".Z") and "compress" in t:
                plain = load(os.path.join(data, "json", f"{name}.{form[:-2]}.json"))["ours"]["wall"]
                expanded = os.path.getsize(os.path.join(data, f"{name}.{form[:-2]}"))
                ours_cost = max(ours - plain, 1e-3)
                tool_cost = max(t["compress"]["wall"] - t["true"]["wall"], 1e-3)
                if expanded >= 1 << 20:
                    checks.append(
                        f"- Expansion {name}.{form}: ours {expanded / ours_cost / 1e3:.0f} MB/s "
                        f"(time over the plain file), compress -dc {expanded / tool_cost / 1e3:.0f} MB/s "
                        f"(time over `true`): {'met' if ours_cost <= tool_cost else 'missed'}")

    lines += ["", "## Targets", ""] + checks

    growth = []
    for form in ("bdf", "pcf"):
        path = os.path.join(data, f"growth-{form}.json")
        if not os.path.exists(path):
            continue
        t = load(path)
        floor = t["true"]["wall"]
        floor_cpu = t["true"]["cpu"]

        def step(a, b, label):
            wall = (t[b]["wall"] - floor) / max(t[a]["wall"] - floor, 1e-3)
            cpu = (t[b]["cpu"] - floor_cpu) / max(t[a]["cpu"] - floor_cpu, 1e-3)
            growth.append(f"| {form} | {label} | {ms(t[a]['wall'])} -> {ms(t[b]['wall'])} | {wall:.2f} | {cpu:.2f} |")

        step("n1", "n2", "glyphs 14250 -> 28500 (16x16)")
        step("n2", "n4", "glyphs 28500 -> 57000 (16x16)")
        step("n1", "a2", "area 16x16 -> 16x32 (14250)")
        step("a2", "a4", "area 16x32 -> 32x32 (14250)")
    if growth:
        lines += ["", "## Growth", "",
                  "Each step doubles glyph count or glyph area; the ratio is of the median less the",
                  "start-up floor (`true`), wall and CPU. 2.00 or less meets the target.", "",
                  "| form | step | median ms | ratio (wall) | ratio (CPU) |", "|---|---|---|---|---|"] + growth

    memory = os.path.join(data, "memory.txt")
    if os.path.exists(memory):
        lines += ["", "## Peak memory", "",
                  "Maximum resident size (GNU time) against 3 x expanded input + 4 MiB.", "",
                  "| input | expanded bytes | peak KiB | limit KiB | |", "|---|---|---|---|---|"]
        with open(memory) as f:
            for row in f:
                name, expanded, rss = row.split()
                limit = 3 * int(expanded) // 1024 + 4096
                lines.append(f"| {name} | {expanded} | {rss} | {limit} | {'met' if int(rss) <= limit else 'MISSED'} |")

    lines += code_page_section(data)
    lines += ttf_section(data)

    micro = os.path.join(data, "micro.txt")
    if os.path.exists(micro):
        with open(micro) as f:
            lines += ["", "## Micro-benchmarks", "", "```", f.read().rstrip(), "```"]
    print("\n".join(lines))


if __name__ == "__main__":
    main()
