#!/usr/bin/env python3
"""Turns the RESULT lines of the benchmark passes in the QVGA and the VGA
device into the markdown of docs/performance.md; each figure is the median
of its passes, and each ratio is shown with its spread across them.

    report.py STEPS PASSES QVGA_FILES... -- VGA_FILES...

bench/baseline/qvga96.txt and vga192.txt, when present, hold the RESULT
lines of the same benchmark on the code before the speed-ups; their split
figures are shown beside today's."""
import datetime
import math
import os
import statistics
import sys

HERE = os.path.dirname(os.path.abspath(__file__))


def read(path):
    values = {}
    for line in open(path, encoding="utf-8", errors="replace"):
        parts = line.split()
        if len(parts) == 3 and parts[0] == "RESULT":
            values[parts[1]] = float(parts[2])
    return values


def passes_of(paths):
    return [read(path) for path in paths]


def median_of(passes):
    keys = set().union(*passes)
    return {key: statistics.median(p[key] for p in passes if key in p) for key in keys}


def spread_of(passes, key):
    values = [p[key] for p in passes if key in p]
    return max(values) - min(values) if len(values) > 1 else float("nan")


def ratio(a, b):
    return a / b if b else float("nan")


def baseline(name):
    path = os.path.join(HERE, "baseline", name)
    return read(path) if os.path.exists(path) else {}


def baseline_note():
    path = os.path.join(HERE, "baseline", "qvga96.txt")
    if not os.path.exists(path):
        return ""
    with open(path, encoding="utf-8") as f:
        first = f.readline().strip()
    return first.lstrip("# ")


NAN = float("nan")
MISS = " **(misses its target)**"
misses = []


def missed(label, value, limit, exact=False):
    """The mark of a figure that misses its target (nothing when it holds,
    or when the run did not measure it), noted for the summary."""
    held = value == limit if exact else value <= limit
    if held or math.isnan(value):
        return ""
    misses.append(label)
    return MISS


def main():
    steps, passes = sys.argv[1], sys.argv[2]
    split = sys.argv.index("--")
    qvga_passes, vga_passes = passes_of(sys.argv[3:split]), passes_of(sys.argv[split + 1:])
    qvga, vga = median_of(qvga_passes), median_of(vga_passes)
    before_qvga, before_vga = baseline("qvga96.txt"), baseline("vga192.txt")
    rows = []
    out = rows.append
    out("# Performance")
    out("")
    rounds = qvga.get("rounds", NAN)
    out(f"Measured {datetime.date.today().isoformat()} with `bench/run.sh {steps} {passes}`: in each of {passes} "
        f"passes, the QVGA device and then the VGA device run the item and its references in {rounds:.0f} rounds, "
        "the benchmark, the device's wineserver and its X server on one processor (as on the handheld; across "
        "two, each call that waits for the server also waits for a wake-up on the other processor, which on "
        "this virtual machine costs from 5 to 70 µs as the host schedules it). "
        f"In each round every side runs a few untimed steps of its own first (so that it starts with its own "
        f"bitmaps and code in the caches, not the other side's), then {steps} steps (7 loads or 3 openings "
        "of the options, which take milliseconds), each timed on its own; the round's figure is the lower quartile of its "
        "steps (a step costs at least its own work, and what else runs on the machine only adds to it), which "
        "preemptions of many of them do not move. The sides take turns in an order that turns from round "
        "to round, so that none always follows the same neighbour. A ratio is the median of the rounds' ratios, "
        "so that a busy moment of the shared machine weighs on both of its sides; every figure is the median of "
        "its passes, and the spread is the largest minus the smallest of the passes' ratios. Times are shown "
        "beside the ratios but drift with the machine.")
    out("")
    out("| Measure | QVGA 240x320@96 | VGA 480x640@192 | Target | Spread of the passes (QVGA / VGA) |")
    out("|---|---|---|---|---|")

    def cell(values, key, item, reference, label, limit):
        return (f"{values.get(key, NAN):.2f}× ({values.get(item, NAN):.0f} µs vs {values.get(reference, NAN):.0f} µs)"
                + missed(label, values.get(key, NAN), limit))

    for key, item, reference, label, target in (
        ("ordinary_paint_floor_ratio", "ordinary_paint_us", "ordinary_paint_floor_us",
         "Ordinary timer repaint vs floor paint (one compose DC and bitmap kept for its lifetime)", 1.15),
        ("ordinary_paint_reference_ratio", "ordinary_paint_us", "ordinary_paint_reference_us",
         "Ordinary timer repaint vs reference paint (compose bitmap made and deleted in every paint)", 1.3),
        ("rebuild_ratio", "rebuild_us", "rebuild_paint_reference_us",
         "Background rebuild vs fill + 2 AlphaBlend + watermark", 1.5),
        ("load_ratio", "load_us", "load_reference_us",
         "Load to first picture vs the least work that gives the same first picture (private font, settings "
         "key read in one query, the four fonts, the window made and sized the host's way, the cell with its "
         "cut-outs made once, one AlphaBlend, the same texts, one BitBlt)", 1.5),
        ("options_ratio", "options_us", "options_reference_us",
         "Options request to a usable sheet vs the same eight templates with empty page procedures", 1.2),
    ):
        short = label.split(" vs ")[0]
        out(f"| {label} | {cell(qvga, key, item, reference, short + ' (QVGA)', target)} | "
            f"{cell(vga, key, item, reference, short + ' (VGA)', target)} | ≤ {target}× | "
            f"{spread_of(qvga_passes, key):.2f} / {spread_of(vga_passes, key):.2f} |")
    # The paint rows' sizes and growth; a run of the load or the options
    # rows alone (QZL_BENCH_ONLY) has none of them.
    if "width" in qvga and "width" in vga:
        pixels = (vga["width"] * vga["height"]) / (qvga["width"] * qvga["height"])
        out(f"| Strip size (pixels) | {qvga['width']:.0f}×{qvga['height']:.0f} | "
            f"{vga['width']:.0f}×{vga['height']:.0f} ({pixels:.2f}× the pixels) | | |")
        for item, reference, label in (
            ("ordinary_paint_us", "ordinary_paint_floor_us", "ordinary paint"),
            ("rebuild_us", "rebuild_paint_reference_us", "background rebuild"),
        ):
            growth = ratio(vga[item], qvga[item])
            reference_growth = ratio(vga[reference], qvga[reference])
            out(f"| Growth QVGA → VGA: {label} | | {growth:.2f}× (its reference {reference_growth:.2f}×; "
                f"pixels {pixels:.2f}×){missed('Growth QVGA → VGA: ' + label, growth, pixels)} | ≤ pixel growth | |")
        # The devices run a minute apart, so the machine's drift enters the
        # growth above (its reference's growth shows how much); the ratios do
        # not carry it.
        for key, label in (
            ("ordinary_paint_floor_ratio", "ordinary paint ÷ the floor paint's growth"),
            ("rebuild_ratio", "background rebuild ÷ its reference's growth"),
        ):
            out(f"| Drift check, growth of the {label} (ratio at VGA ÷ ratio at QVGA) | | "
                f"{ratio(vga[key], qvga[key]):.2f}× | | |")
    out("")

    def split_table(title, intro, prefix, names, total_item, total_reference):
        out(f"## {title}")
        out("")
        out(intro)
        out("")
        with_before = any(f"{prefix}{n}_us" in before_qvga for n, _ in names)
        if with_before:
            out(f"Before: {baseline_note()}.")
            out("")
            out("| Step | QVGA before | QVGA now | VGA before | VGA now |")
            out("|---|---|---|---|---|")
        else:
            out("| Step | QVGA | VGA |")
            out("|---|---|---|")
        for name, label in names:
            key = f"{prefix}{name}_us"
            if with_before:
                out(f"| {label} | {before_qvga.get(key, NAN):.0f} µs | {qvga.get(key, NAN):.0f} µs | "
                    f"{before_vga.get(key, NAN):.0f} µs | {vga.get(key, NAN):.0f} µs |")
            else:
                out(f"| {label} | {qvga.get(key, NAN):.0f} µs | {vga.get(key, NAN):.0f} µs |")
        for key, label in ((total_item, "The item, whole (from the ratio's rounds)"),
                           (total_reference, "Its reference, whole")):
            if with_before:
                out(f"| {label} | {before_qvga.get(key, NAN):.0f} µs | {qvga.get(key, NAN):.0f} µs | "
                    f"{before_vga.get(key, NAN):.0f} µs | {vga.get(key, NAN):.0f} µs |")
            else:
                out(f"| {label} | {qvga.get(key, NAN):.0f} µs | {vga.get(key, NAN):.0f} µs |")
        out("")

    split_table(
        "Where the load goes",
        "Each step of the load timed on its own, from the item's code linked into the benchmark and run in the "
        "order of the DLL's load and the host's first calls (median of the rounds). The loader's own work "
        "(mapping the DLL, binding its imports) is the DLL's LoadLibraryW, whose time includes the attach steps "
        "above it. The reference's LoadLibraryW registers its class and makes its four fonts.",
        "load_split_",
        (("settings", "Settings and Selectability read (a key of few values in one pass; the key opened, read "
                       "and closed)"),
         ("font_resource", "Private font added (AddFontResourceW)"),
         ("probe", "Font probe (the program-files folder, Tahoma and the private face listed by name and, on "
                    "the same screen DC, the screen's resolution and depth read)"),
         ("fonts", "The four clock fonts built, the day/date line measured"),
         ("attach_rest", "Rest of the load: message, window class"),
         ("window", "Window created: the screen's width and height, the settings key opened for the reload "
                    "marker and closed, the timer (WM_CREATE without its layout)"),
         ("height_query", "First height query (the alarm keys each opened, read and closed, formats, the UI font "
                          "size; the orientation the creation read; without the content height)"),
         ("layout", "Layout: digit height, positions, content height (on a screen DC)"),
         ("first_paint", "The host's resize, then the first paint: three surfaces made (on these 16-bit "
                         "screens the background and compose ones compatible bitmaps), cells, one background, "
                         "the face"),
         ),
        "load_us", "load_reference_us")
    out(f"LoadLibraryW of the item DLL, its attach included: {qvga.get('load_library_us', NAN):.0f} µs (QVGA), "
        f"{vga.get('load_library_us', NAN):.0f} µs (VGA); of the reference DLL: "
        f"{qvga.get('load_reference_library_us', NAN):.0f} µs, {vga.get('load_reference_library_us', NAN):.0f} µs.")
    out("")
    split_table(
        "Where the options time goes",
        "One opening of the options as the host makes it (dialog 500, the item's options procedure), from the "
        "item's code linked into the benchmark, timed through hooks on the first page's WM_INITDIALOG and the "
        "modal loop's first paint message, and through the fitting and header routines' symbols wrapped at "
        "link time. The sheet is usable once everything it shows has been painted. The hooks on every message "
        "that find the first page's WM_INITDIALOG cost server calls at each message under Wine and are set "
        "for these openings only, not for the ratio's, so these steps add up to more than the whole above.",
        "options_split_",
        (("sheet", "Sheet creation and showing (the platform's; the reference's too)"),
         ("page_init", "First page's WM_INITDIALOG without its text fitting"),
         ("text_fitting", "Text fitting, without the heading fonts"),
         ("header_fonts", "Heading fonts made and given (before the fitting)"),
         ("header_paint", "Header painted (title, rule; before: the heading fonts made here)"),
         ("first_paint", "Rest of the first paint (tabs, OK, the page's controls)"),
         ),
        "options_us", "options_reference_us")
    out("## What the item holds")
    out("")
    out("Counted in the benchmark process at its end: what destroying the item window releases (the paint's "
        "surfaces: cells, the normal background and the compose bitmap, each with its memory DC; the "
        "benchmark's item is never selected, so it has no selected background), and what destroying "
        "the window and unloading the DLL release together. Private bytes are those the load, the item and its "
        "first paint committed (Wine's heap keeps what it once committed): a DIB section (the cells; every "
        "surface on a 32-bit screen) is memory of its own and counts here; a compatible bitmap (the other "
        "surfaces on these 16-bit devices) comes from Wine's heap and does not.")
    out("")
    out("| Held | QVGA | VGA |")
    out("|---|---|---|")
    for key, label, scale, unit in (
        ("window_gdi_objects", "GDI objects released with the window", 1, ""),
        ("window_bitmap_bytes", "… bytes in those bitmaps", 1024, " KiB"),
        ("item_gdi_objects", "GDI objects released with window and DLL", 1, ""),
        ("item_bitmap_bytes", "… bytes in those bitmaps", 1024, " KiB"),
        ("item_private_bytes", "Private bytes committed by load, item and first paint", 1024, " KiB"),
    ):
        out(f"| {label} | {qvga.get(key, NAN) / scale:.0f}{unit} "
            f"| {vga.get(key, NAN) / scale:.0f}{unit} |")
    out("")
    out("What each kept surface is for, beside what an ordinary paint needs (the cells are a 32-bit DIB section, "
        "width × height × 4 bytes; the others are in the screen's format, × 2 on these 16-bit devices; each "
        "comes with a memory DC, which holds no pixels):")
    out("")
    out("| Surface | QVGA | VGA | An ordinary paint | Kept because |")
    out("|---|---|---|---|---|")
    pixels_of = {v: values.get("width", NAN) * values.get("height", NAN) / 1024 for v, values in (("q", qvga), ("v", vga))}
    saving_q = qvga.get("ordinary_paint_reference_us", NAN) - qvga.get("ordinary_paint_us", NAN)
    saving_v = vga.get("ordinary_paint_reference_us", NAN) - vga.get("ordinary_paint_us", NAN)
    for name, bytes_per_pixel, need, why in (
        ("The normal background (watermark, cells blended over it)", 2, "reads it while not selected",
         "the blend is most of a rebuild; every paint starts from it"),
        ("Compose bitmap", 2, "draws into it",
         f"making and deleting it in every paint costs {saving_q:.0f} µs (QVGA) and {saving_v:.0f} µs (VGA) "
         "under Wine (the second row of the first table); measured only under the emulator, and it costs its "
         "bytes on every device"),
        ("The selected background (made when the item is first shown selected)", 2, "does not read it",
         "a change of selection is then one copy, not a fill and an AlphaBlend; an item never selected does "
         "not make it"),
        ("Cells (32-bit DIB section)", 4, "does not read it",
         "a new watermark (the host's cache cleared, the item moved) blends the same cells again without drawing "
         "them"),
    ):
        out(f"| {name} | {pixels_of['q'] * bytes_per_pixel:.0f} KiB | {pixels_of['v'] * bytes_per_pixel:.0f} KiB "
            f"| {need} | {why} |")
    out("")
    out("## Calls per event")
    out("")
    out("Counted by pointing the DLL's imports of gdi32, msimg32 and advapi32 at counting stubs.")
    out("")
    out("| Event | QVGA | VGA | Target |")
    out("|---|---|---|---|")
    for key, label, target, limit, exact in (
        ("quiet_tick_repaint", "Timer tick, same minute, seconds off: repaint requested", "0", 0, True),
        ("quiet_tick_gdi_calls", "… GDI calls", "0", 0, True),
        ("quiet_tick_registry_calls", "… registry calls", "0", 0, True),
        ("ordinary_paint_screen_blits", "Ordinary paint: BitBlt to the screen DC", "1", 1, True),
        ("ordinary_paint_all_blits", "… BitBlt in all", "2", 2, True),
        ("ordinary_paint_text_calls", "… text and polygon calls", "≤ 8", 8, False),
        ("ordinary_paint_rebuild_calls", "… CreateDIBSection + AlphaBlend", "0", 0, True),
        ("ordinary_paint_gdi_calls", "… GDI calls in all", "24", 24, True),
        ("quiet_query_changed", "Refresh query, nothing changed: answer", "0 (FALSE)", 0, True),
        ("quiet_query_rebuild_calls", "… CreateDIBSection + AlphaBlend (query and next paint)", "0", 0, True),
    ):
        marks = [missed(f"{label} ({device})", values.get(key, NAN), limit, exact)
                 for device, values in (("QVGA", qvga), ("VGA", vga))]
        out(f"| {label} | {qvga.get(key, NAN):.0f}{marks[0]} | {vga.get(key, NAN):.0f}{marks[1]} | {target} |")
    out("")
    size = qvga.get('dll_bytes', NAN)
    out(f"DLL size, stripped: {size / 1024:.1f} KiB ({size:.0f} bytes; target ≤ 150 KB)"
        f"{missed('DLL size', size, 150 * 1000)}.")
    out("")
    out("Rows that miss their target: " + ("; ".join(misses) if misses else "none") + ".")
    out("")
    with open(os.path.join(HERE, "reading.md"), encoding="utf-8") as reading:
        out(reading.read().rstrip("\n"))
    print("\n".join(rows))
    for label in misses:
        print(f"misses its target: {label}", file=sys.stderr)


if __name__ == "__main__":
    main()
