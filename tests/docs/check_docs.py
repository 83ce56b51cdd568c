#!/usr/bin/env python3
"""Checks README.md and docs/*.md under ROOT: each fenced block right after a
line <!-- excerpt: PATH --> (PATH from ROOT) is a run of consecutive lines of
that file, unchanged; each relative link names a file that exists and, with
#anchor into a Markdown file, one of its headings."""
import pathlib
import re
import sys

MARKER = re.compile(r"<!-- excerpt: (\S+) -->$")
FENCE = re.compile(r"^(```+|~~~+)")
LINK = re.compile(r"\]\(([^)\s]+)\)")


def blocks(lines):
    """Yields (line index of the opening fence, the lines inside it)."""
    i = 0
    while i < len(lines):
        fence = FENCE.match(lines[i])
        if fence:
            end = next((j for j in range(i + 1, len(lines)) if lines[j].startswith(fence.group(1))), len(lines))
            yield i, lines[i + 1:end]
            i = end
        i += 1


def anchors(text):
    """The anchors a heading gets on the Git hosts: lower case, punctuation gone, blanks as hyphens."""
    seen, found = {}, set()
    for line in strip_blocks(text.splitlines()):
        if line.startswith("#"):
            slug = re.sub(r"[^\w\- ]", "", line.lstrip("#").strip().lower()).replace(" ", "-")
            found.add(slug if slug not in seen else f"{slug}-{seen[slug]}")
            seen[slug] = seen.get(slug, 0) + 1
    return found


def strip_blocks(lines):
    inside = {i for start, body in blocks(lines) for i in range(start, start + len(body) + 2)}
    return [line for i, line in enumerate(lines) if i not in inside]


def check(root):
    faults = []
    for doc in [root / "README.md", *sorted((root / "docs").glob("*.md"))]:
        lines = doc.read_text(encoding="utf-8").splitlines()
        where = doc.relative_to(root)
        fenced = dict(blocks(lines))
        for n, line in enumerate(lines):
            marker = MARKER.match(line.strip())
            if not marker:
                continue
            if n + 1 not in fenced:
                faults.append(f"{where}:{n + 1}: excerpt marker not followed by a fenced block")
                continue
            body, sample = fenced[n + 1], root / marker.group(1)
            text = sample.read_text(encoding="utf-8").splitlines() if sample.is_file() else []
            if not body or not any(text[k:k + len(body)] == body for k in range(len(text))):
                faults.append(f"{where}:{n + 2}: not a run of lines of {marker.group(1)} as it is now")
        for line in strip_blocks(lines):
            for target in LINK.findall(re.sub(r"`[^`]*`", "", line)):
                if re.match(r"[a-z]+:", target):
                    continue
                path, _, anchor = target.partition("#")
                file = (doc.parent / path).resolve() if path else doc
                if not file.exists():
                    faults.append(f"{where}: link to a missing file: {target}")
                elif anchor and file.suffix == ".md" and anchor not in anchors(file.read_text(encoding="utf-8")):
                    faults.append(f"{where}: link to a missing heading: {target}")
    return faults


if __name__ == "__main__":
    faults = check(pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else ".").resolve())
    print("\n".join(faults) or "docs: every excerpt matches its sample, every link resolves")
    sys.exit(1 if faults else 0)
