#!/usr/bin/env python3
"""What make dist builds against what is said of it: the sizes in the README's
table of the release's files (within 10%, or which to change), and the winget
manifest (its required fields, and the hashes and product codes of the MSIs
built). Usage: dist_check.py SRC x64=EXE x86=EXE"""
import glob
import hashlib
import os
import re
import subprocess
import sys
import tempfile

import yaml

src, builds = sys.argv[1], sys.argv[2:]
REQUIRED = {
    "version": "PackageIdentifier PackageVersion DefaultLocale ManifestVersion",
    "installer": "PackageIdentifier PackageVersion InstallerType Scope InstallerSwitches Installers ManifestVersion",
    "defaultLocale": "PackageIdentifier PackageVersion PackageLocale Publisher PackageName License ShortDescription "
                     "ManifestVersion",
}
faults = []
with tempfile.TemporaryDirectory() as out:
    made = subprocess.run([sys.executable, os.path.join(src, "install", "dist.py"), out + "/dist", *builds,
                           "--release-url", "https://127.0.0.1/release"], capture_output=True, text=True)
    if made.returncode != 0:
        sys.exit(made.stderr.strip() + "\n(the 32-bit build comes with make build32, or make test)")
    out += "/dist"

    def size(name):
        paths = [os.path.join(out, name)] + glob.glob(os.path.join(out, name, "**"), recursive=True)
        return sum(os.path.getsize(p) for p in paths if os.path.isfile(p)) / 1024

    with open(os.path.join(src, "README.md"), encoding="utf-8") as f:
        rows = re.findall(r"(?m)^\| `([^`]+?)\\?` \|.*\| ([\d.]+) KB \|$", f.read())
    for name, said in rows:
        if not os.path.exists(os.path.join(out, name)):
            faults.append(f"README.md names {name}, which make dist does not build")
        elif abs(size(name) - float(said)) > 0.1 * float(said):
            faults.append(f"README.md: {name} is {size(name):.1f} KB as built, not {said} KB: change the README")

    manifests = {}
    for path in glob.glob(os.path.join(out, "winget", "manifests", "*", "*", "*", "*", "*.yaml")):
        with open(path, encoding="utf-8") as f:
            manifest = yaml.safe_load(f)
        manifests[manifest.get("ManifestType")] = manifest
    for kind, fields in REQUIRED.items():
        missing = [k for k in fields.split() if not manifests.get(kind, {}).get(k)]
        faults += [f"winget {kind} manifest: no {', '.join(missing)}"] if missing else []
    by_arch = {i.get("Architecture"): i for i in manifests.get("installer", {}).get("Installers", [])}
    for msi in glob.glob(os.path.join(out, "*.msi")):
        with open(msi, "rb") as f:
            sha = hashlib.sha256(f.read()).hexdigest()
        code = re.search(r"(?m)^ProductCode\t(.*)$", subprocess.run(["msiinfo", "export", msi, "Property"],
                         capture_output=True, text=True).stdout).group(1)
        entry = by_arch.get(re.search(r"-(x64|x86)\.msi$", msi).group(1), {})
        if (str(entry.get("InstallerSha256", "")).lower(), entry.get("ProductCode")) != (sha, code):
            faults.append(f"winget installer manifest: not the hash and product code of {os.path.basename(msi)}")
print("\n".join(faults) or f"README's {len(rows)} sizes and the winget manifest: as built")
sys.exit(1 if faults else 0)
