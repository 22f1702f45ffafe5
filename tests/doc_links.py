#!/usr/bin/env python3
"""Facts of README.md and docs/*.md that stay true: every relative link and
picture names a file that exists, and an anchor a heading of that file; every
menu item of the resource file is named in them; every property of
install/settings.txt is in the table of docs/deploying.md; every top-level
folder of the source is in the folder map of docs/building.md."""
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

# A menu item is named as it shows, without its mnemonic's & and its trailing
# dots; the string table's texts with a mnemonic are the system menu's items.
with open(os.path.join(root, "res", "wedge.rc"), encoding="utf-8") as f:
    rc = f.read()
items = re.findall(r'(?m)^\s*MENUITEM\s+"([^"]+)"', rc)
table = re.search(r"(?ms)^STRINGTABLE\s*\nBEGIN\n(.*?)^END", rc)
items += [t for t in re.findall(r'(?m)^\s*IDS_\w+\s+"([^"]*)"', table.group(1) if table else "") if "&" in t]
docs = "\n".join(open(page, encoding="utf-8").read() for page in pages)
for item in items:
    name = item.replace("&", "").split("\\t")[0].rstrip(".")
    if name not in docs:
        faults.append(f"res/wedge.rc: the menu item \"{name}\" is named nowhere in README.md or docs/")

# Every property and policy of install/settings.txt in the table of docs/deploying.md.
with open(os.path.join(root, "install", "settings.txt"), encoding="utf-8") as f:
    properties = [line.split()[0] for line in f if line.strip() and not line.startswith("#")]
with open(os.path.join(root, "docs", "deploying.md"), encoding="utf-8") as f:
    tabled = set(re.findall(r"(?m)^\| `(\w+)` \|", f.read()))
faults += [f"docs/deploying.md: the property {p} of install/settings.txt is not in the table"
           for p in properties if p not in tabled]

# The folder map: a row for each top-level folder of the source, that is each
# one git would keep (not ignored, not hidden).
with open(os.path.join(root, ".gitignore"), encoding="utf-8") as f:
    ignored = {line.strip().strip("/") for line in f if line.strip()}
with open(os.path.join(root, "docs", "building.md"), encoding="utf-8") as f:
    mapped = set(re.findall(r"(?m)^\| `([\w.-]+)/` \|", f.read()))
for folder in sorted(os.listdir(root)):
    if (os.path.isdir(os.path.join(root, folder)) and not folder.startswith(".") and folder not in ignored
            and folder not in mapped):
        faults.append(f"docs/building.md: the folder {folder}/ is not in the map of the folders")
print("\n".join(faults) or f"links of {len(pages)} pages, {len(items)} menu items, {len(properties)} properties, the folder map: all there")
sys.exit(1 if faults else 0)
