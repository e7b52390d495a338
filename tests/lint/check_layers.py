#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Fails on an #include that docs/layers.txt does not allow.

  check_layers.py [ROOT]              check every product file's includes
  check_layers.py --write-doc [ROOT]  write the rules into docs/architecture.md
"""
import pathlib
import re
import sys

INCLUDE = re.compile(r'^\s*#\s*include\s*([<"])([^>"]+)[>"]', re.M)
# Headers found through an include path rather than beside the file.
ON_PATH = {"zent_softphone.h": "engine/include/zent_softphone.h",
           "service_addresses.h": "core/service_addresses.h"}  # generated from core/service_addresses.h.in
LINPHONE = ("linphone/", "bctoolbox/", "mediastreamer2/", "belle-sip/", "ortp/")
DOC_BEGIN = "<!-- layers: written from docs/layers.txt by tests/lint/check_layers.py --write-doc -->"
DOC_END = "<!-- layers: end -->"


def read_rules(root):
    rules = []
    for n, line in enumerate((root / "docs/layers.txt").read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        parts = [p.strip() for p in line.split("|")]
        if len(parts) != 3 or not parts[0].endswith("/"):
            sys.exit(f"docs/layers.txt:{n}: want 'folder/ | may include | note'")
        rules.append((parts[0], parts[1].split(), parts[2]))
    return rules


def layer_of(path, rules):
    """The longest rule folder that holds `path`, or None."""
    best = None
    for folder, _, _ in rules:
        if path.startswith(folder) and (best is None or len(folder) > len(best)):
            best = folder
    return best


def target_of(root, src, kind, name):
    """What an include names: a repository path, "Qt", "liblinphone" or None (system)."""
    if kind == "<":
        if re.match(r"Q[A-Za-z]", name):
            return "Qt"
        if name.startswith(LINPHONE):
            return "liblinphone"
        return None
    beside = (src.parent / name).resolve()
    if beside.is_file():
        return beside.relative_to(root).as_posix()
    if (root / name).is_file():
        return name
    if name in ON_PATH:
        return ON_PATH[name]
    return "?" + name


def allowed(target, allow, rules):
    if target in ("Qt", "liblinphone"):
        return target in allow
    if target in allow or pathlib.PurePosixPath(target).name in allow:
        return True
    return layer_of(target, rules) in allow


def check(root):
    rules = read_rules(root)
    faults = 0
    for folder, allow, _ in rules:
        for src in sorted((root / folder).rglob("*")):
            if src.suffix not in (".h", ".cpp", ".c") or not src.is_file():
                continue
            rel = src.relative_to(root).as_posix()
            if layer_of(rel, rules) != folder:
                continue  # a deeper folder's rule holds it
            text = src.read_text(encoding="utf-8", errors="replace")
            for m in INCLUDE.finditer(text):
                target = target_of(root, src, m.group(1), m.group(2))
                if target is None or allowed(target, allow, rules):
                    continue
                line = text.count("\n", 0, m.start()) + 1
                why = "not found" if target.startswith("?") else f"{folder} may not include {target}"
                close = ">" if m.group(1) == "<" else '"'
                print(f"{rel}:{line}: #include {m.group(1)}{m.group(2)}{close}: {why} (docs/layers.txt)")
                faults += 1
    doc = root / "docs/architecture.md"
    if doc_block(doc.read_text()) != table(rules):
        print("docs/architecture.md: the layer table differs from docs/layers.txt;"
              " run python3 tests/lint/check_layers.py --write-doc")
        faults += 1
    print(f"layers: {faults} fault(s)")
    return 1 if faults else 0


def table(rules):
    rows = ["| folder | may include | note |", "|---|---|---|"]
    for folder, allow, note in rules:
        rows.append(f"| `{folder}` | {', '.join(a if a in ('Qt', 'liblinphone') else f'`{a}`' for a in allow)} | {note} |")
    return "\n".join(rows)


def doc_block(text):
    if DOC_BEGIN not in text or DOC_END not in text:
        return None
    return text.split(DOC_BEGIN, 1)[1].split(DOC_END, 1)[0].strip()


def write_doc(root):
    doc = root / "docs/architecture.md"
    text = doc.read_text()
    if doc_block(text) is None:
        sys.exit("docs/architecture.md: no layer table markers")
    head, rest = text.split(DOC_BEGIN, 1)
    tail = rest.split(DOC_END, 1)[1]
    doc.write_text(f"{head}{DOC_BEGIN}\n{table(read_rules(root))}\n{DOC_END}{tail}")
    return 0


if __name__ == "__main__":
    args = sys.argv[1:]
    write = "--write-doc" in args
    args = [a for a in args if a != "--write-doc"]
    root = pathlib.Path(args[0] if args else pathlib.Path(__file__).resolve().parents[2]).resolve()
    sys.exit(write_doc(root) if write else check(root))
