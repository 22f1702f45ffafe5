#!/usr/bin/env python3
"""Every relative link and picture in README.md and docs/*.md names a file that
exists, and an anchor a heading of that file."""
import glob
import os
import re
import sys

root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(os.path.dirname(__file__), "..")


def text_of(path):
    with open(path, encoding="utf-8") as f:
        # Code shows link syntax without meaning a link.
        return re.sub(r"`[^`\n]*`", "", re.sub(r"(?ms)^```.*?^```", "", f.read()))


def anchors(path):
    """GitHub's anchors of a file's headings."""
    return {re.sub(r"[^\w\- ]", "", h.strip().lower()).replace(" ", "-")
            for h in re.findall(r"(?m)^#+ (.*)$", text_of(path))}


faults = []
pages = [os.path.join(root, "README.md")] + sorted(glob.glob(os.path.join(root, "docs", "*.md")))
for page in pages:
    for target in re.findall(r"\]\(([^)\s]+)\)", text_of(page)):
        if re.match(r"[a-z]+:", target):
            continue
        path, _, anchor = target.partition("#")
        file = os.path.normpath(os.path.join(os.path.dirname(page), path)) if path else page
        where = os.path.relpath(page, root)
        if not os.path.isfile(file):
            faults.append(f"{where}: {target}: no such file")
        elif anchor and file.endswith(".md") and anchor not in anchors(file):
            faults.append(f"{where}: {target}: no such heading")
print("\n".join(faults) or f"links of {len(pages)} pages: all there")
sys.exit(1 if faults else 0)
