#!/usr/bin/env python3
"""Prints the tables of bench/guard-eval.sh from its results.tsv.

Outcomes of assemble: R refused, N applied with a note, S applied silently, = a wrong password
that gave the very permutations of the right one (counted apart), E failed otherwise.
check: S said scrambled, N not scrambled, C cannot tell, E no answer.

Usage: tables.py RESULTS.tsv RUN-DIR
"""
import csv
import sys
from collections import Counter

CATEGORIES = ["photo", "screenshot", "document", "chart", "drawing", "icon", "pattern",
              "gradient", "noise", "dark", "bright", "gray", "photo-tuned"]
BANDS = ["thin", "<256", "256-639", "640-1023", ">=1024"]
FORMATS = ["jpg-q30-59", "jpg-q60-89", "jpg-q90-100", "jpg-progressive", "jpg-444", "jpg-gray",
           "bmp-24", "bmp-pal8", "bmp-pal4", "bmp-gray"]
LIST_AT_MOST = 20


def load(path):
    with open(path, newline="") as f:
        rows = list(csv.DictReader(f, delimiter="\t"))
    wrong = sorted(k for k in rows[0] if k.startswith("wrong")) if rows else []
    oneoff = sorted(k for k in rows[0] if k.startswith("oneoff")) if rows else []
    return rows, wrong, oneoff


def pct(part, whole):
    return f"{100 * part / whole:5.1f}%" if whole else "    -"


def tries(rows, columns):
    return Counter(r[c] for r in rows for c in columns)


def guard_table(rows, key, order, title, wrong, oneoff):
    print(f"\n== assemble's guard by {title} ==")
    print("(tries: wrong passwords tried, less those under same: the very file the right password gives)")
    print(f"{'':16} {'pics':>5} {'right':>6} | {'wrong random passwords':^36} | {'one character off':^36} | {'clear picture':^17}")
    print(f"{title:16} {'':>5} {'refus':>6} | {'tries':>5} {'refus':>5} {'note':>5} {'silnt':>5} {'%ref':>6} {'same':>5} "
          f"| {'tries':>5} {'refus':>5} {'note':>5} {'silnt':>5} {'%ref':>6} {'same':>5} | {'refus':>5} {'note':>5} {'silnt':>5}")
    groups = [(name, [r for r in rows if r[key] == name]) for name in order]
    groups.append(("all", rows))
    for name, part in groups:
        if not part:
            continue
        w, o, c = tries(part, wrong), tries(part, oneoff), Counter(r["clear"] for r in part)
        wt, ot = len(part) * len(wrong) - w["="], len(part) * len(oneoff) - o["="]
        right_refused = sum(r["right"] == "R" for r in part)
        if name == "all":
            print("-" * 132)
        print(f"{name:16} {len(part):5} {right_refused:6} | {wt:5} {w['R']:5} {w['N']:5} {w['S']:5} {pct(w['R'], wt):>6} {w['=']:5} "
              f"| {ot:5} {o['R']:5} {o['N']:5} {o['S']:5} {pct(o['R'], ot):>6} {o['=']:5} | {c['R']:5} {c['N']:5} {c['S']:5}")


def check_table(rows, key, order, title):
    print(f"\n== check by {title} ==")
    print(f"{'':16} {'pics':>5} | {'clear picture said':^26} | {'scrambled picture said':^26}")
    print(f"{title:16} {'':>5} | {'scrmb':>6} {'not':>6} {'can`t':>6} {'%ok':>5} | {'scrmb':>6} {'not':>6} {'can`t':>6} {'%ok':>5}")
    groups = [(name, [r for r in rows if r[key] == name]) for name in order]
    groups.append(("all", rows))
    for name, part in groups:
        if not part:
            continue
        c, s = Counter(r["check_clear"] for r in part), Counter(r["check_scrambled"] for r in part)
        if name == "all":
            print("-" * 80)
        print(f"{name:16} {len(part):5} | {c['S']:6} {c['N']:6} {c['C']:6} {pct(c['N'], len(part)):>5} "
              f"| {s['S']:6} {s['N']:6} {s['C']:6} {pct(s['S'], len(part)):>5}")


def main():
    rows, wrong, oneoff = load(sys.argv[1])
    run = sys.argv[2]
    if not rows:
        print("no results")
        return
    for key, order, title in (("category", CATEGORIES, "category"), ("band", BANDS, "size band"),
                              ("format", FORMATS, "format")):
        guard_table(rows, key, order, title, wrong, oneoff)
    for key, order, title in (("category", CATEGORIES, "category"), ("band", BANDS, "size band"),
                              ("format", FORMATS, "format")):
        check_table(rows, key, order, title)

    twice = [r for r in rows if r["twice_two"] != "-" or r["twice_same"] != "-"]
    if twice:
        print("\n== scrambled twice, assembled once with the right (the last) password ==")
        for column, what in (("twice_two", "two passwords"), ("twice_same", "the same password twice")):
            n = Counter(r[column] for r in twice if r[column] != "-")
            print(f"{what:26} {sum(n.values()):5} pictures: refused {n['R']}, applied with a note {n['N']}, "
                  f"silently {n['S']}" + (f", failed {n['E']}" if n["E"] else ""))

    w, o = tries(rows, wrong), tries(rows, oneoff)
    wt, ot = len(rows) * len(wrong) - w["="], len(rows) * len(oneoff) - o["="]
    right_refused = [r for r in rows if r["right"] == "R"]
    print("\n== totals ==")
    print(f"pictures: {len(rows)}; right password: applied silently {sum(r['right'] == 'S' for r in rows)}, "
          f"with a note {sum(r['right'] == 'N' for r in rows)}, refused {len(right_refused)}")
    print(f"wrong random passwords: {wt} tries: refused {w['R']} ({pct(w['R'], wt).strip()}), "
          f"note {w['N']}, silent {w['S']}")
    print(f"one character off:      {ot} tries: refused {o['R']} ({pct(o['R'], ot).strip()}), "
          f"note {o['N']}, silent {o['S']}")
    if w["="] or o["="]:
        print(f"wrong passwords that gave the very file of the right one (not counted above): "
              f"{w['=']} random, {o['=']} one character off")
    c = Counter(r["clear"] for r in rows)
    print(f"clear pictures assembled: refused {c['R']}, note {c['N']}, silent {c['S']}")
    errors = sum(1 for r in rows for k in ["right", "clear"] + wrong + oneoff if r[k] == "E")
    errors += sum(1 for r in rows for k in ("check_clear", "check_scrambled") if r[k] == "E")
    if errors:
        print(f"runs that failed otherwise (neither written nor refused, or no answer): {errors}")

    print("\n== goals ==")
    print(f"right password refused: {len(right_refused)} of {len(rows)} (goal 0)")
    silent = w["S"] + o["S"]
    print(f"wrong passwords applied silently: {silent} of {wt + ot} tries "
          f"({w['S']} random, {o['S']} one character off) (goal 0)")
    big = [r for r in rows if r["width"] == "1280" and r["height"] == "1024"]
    for label, cats in (("photographs", {"photo"}), ("screenshots", {"screenshot"}),
                        ("photographs and screenshots", {"photo", "screenshot"})):
        part = [r for r in big if r["category"] in cats]
        t = tries(part, wrong + oneoff)
        n = len(part) * len(wrong + oneoff) - t["="]
        print(f"wrong passwords refused at 1280 x 1024, {label}: {t['R']} of {n} ({pct(t['R'], n).strip()}; "
              f"{len(part)} pictures) (goal at least 95 %)")

    def show(title, found):
        print(f"\n{title}: {len(found)}" + (f" (the first {LIST_AT_MOST})" if len(found) > LIST_AT_MOST else ""))
        for line in found[:LIST_AT_MOST]:
            print("  " + line)

    def where(r):
        return f"{run}/{r['scrambled']}  ({r['category']} {r['width']}x{r['height']} {r['format']} {r['details']})"

    show("right password refused (scrambled file; its password: right.pw beside s/)",
         [where(r) for r in right_refused])
    show("wrong password applied silently (scrambled file, password file)",
         [f"{where(r)}  {r['group']}/{k}.pw" for r in rows for k in wrong + oneoff if r[k] == "S"])
    clear_silent = [r for r in rows if r["clear"] == "S"]
    if clear_silent:
        show("clear picture assembled silently (the clear file, in the set)",
             [f"{r['id']}  ({r['category']} {r['width']}x{r['height']} {r['format']} {r['details']})"
              for r in clear_silent])


if __name__ == "__main__":
    main()
