#!/usr/bin/env python3
"""Builds what is handed out to Windows users into OUT: an MSI per build, a zip
of the executables with the README and the license, the policy templates, a
winget manifest and a SHA-256 list.
With a certificate and its key, the executables are signed before they are
packed and each MSI after its last edit, and time-stamped where a time-stamp
server is given."""
import argparse
import glob
import hashlib
import os
import re
import shutil
import subprocess
import sys
import tempfile
import zipfile
from xml.sax.saxutils import escape, quoteattr

HERE = os.path.dirname(os.path.abspath(__file__))
SRC = os.path.dirname(HERE)
POLICY_KEY = r"Software\Policies\Vimo Technologies\VimoBrindleQV"
MACHINE_KEY = r"SOFTWARE\Vimo Technologies\VimoBrindleQV"
RUN_KEY = r"Software\Microsoft\Windows\CurrentVersion\Run"
# wixl's architecture, the component's bitness and the Program Files folder.
ARCHES = {"x64": ("x64", "yes", "ProgramFiles64Folder"), "x86": ("x86", "no", "ProgramFilesFolder")}
WINGET_SCHEMA = "1.6.0"
GROUPS = {"Line": "Line settings", "Rules": "Scan rules", "Device": "Device commands", "Target": "Target window and log"}


def fail(message):
    sys.exit("make dist: " + message)


def run(*command, cwd=None):
    done = subprocess.run(command, cwd=cwd, stdin=subprocess.DEVNULL, capture_output=True, text=True)
    if done.returncode != 0:
        fail(f"{command[0]} failed:\n{done.stdout}{done.stderr}")
    return done.stdout


def msi_properties(msi):
    """The MSI's Property table, by name."""
    return dict(line.split("\t", 1) for line in run("msiinfo", "export", msi, "Property").splitlines()[3:])


def presets():
    """The stored values an MSI property presets: all but the Start group,
    whose properties are the MSI's own Run entries."""
    return [row for row in settings_rows() if row[2] != "Start"]


def settings_rows():
    """(property, registry value, group, title) for each line of settings.txt."""
    rows = []
    with open(os.path.join(HERE, "settings.txt"), encoding="utf-8") as f:
        for line in f:
            if line.strip() and not line.startswith("#"):
                prop, value, group, title = line.split(None, 3)
                rows.append((prop, value, group, title.strip()))
    return rows


def version_resource():
    """The product's name, maker and version, as the executable's version resource has them."""
    with open(os.path.join(SRC, "res", "version.rc"), encoding="utf-8") as f:
        rc = f.read()
    texts = dict(re.findall(r'VALUE\s+"(\w+)",\s+"([^"]*)"', rc))
    version = ".".join(re.search(r"PRODUCTVERSION\s+(\d+),(\d+),(\d+)", rc).groups())
    return texts["ProductName"], texts["CompanyName"], version


def check_signing(cert, key, timestamp):
    if not cert and not key:
        if timestamp:
            fail("SIGN_TIMESTAMP time-stamps signatures: it needs SIGN_CERT and SIGN_KEY")
        print("not signed: no SIGN_CERT and SIGN_KEY given", flush=True)
        return False
    if not cert or not key:
        fail("signing needs both SIGN_CERT (the certificate, PEM) and SIGN_KEY (its private key, PEM)")
    for name, path in (("SIGN_CERT", cert), ("SIGN_KEY", key)):
        if not os.path.isfile(path):
            fail(f"{name}: no such file: {path}")
    cert_key = subprocess.run(["openssl", "x509", "-in", cert, "-noout", "-pubkey"], capture_output=True, text=True)
    if cert_key.returncode != 0:
        fail(f"SIGN_CERT: not a PEM certificate: {cert}")
    own_key = subprocess.run(["openssl", "pkey", "-in", key, "-pubout", "-passin", "pass:"], capture_output=True,
                             text=True)
    if own_key.returncode != 0:
        fail(f"SIGN_KEY: not an unencrypted PEM private key: {key}")
    if own_key.stdout != cert_key.stdout:
        fail(f"SIGN_KEY does not match SIGN_CERT: {key} is not the key of {cert}")
    if not timestamp:
        print("not time-stamped: no SIGN_TIMESTAMP given, so the signatures expire with the certificate", flush=True)
    return True


def sign(path, cert, key, timestamp, name):
    signed = path + ".signed"
    stamp = ["-ts", timestamp] if timestamp else []
    run("osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256", "-n", name, *stamp,
        "-in", path, "-out", signed)
    os.replace(signed, path)


def presets_fragment(rows):
    """One component a value, each the registry value its property gives."""
    parts = ['<?xml version="1.0" encoding="utf-8"?>',
             '<Wix xmlns="http://schemas.microsoft.com/wix/2006/wi"><Fragment>',
             '<DirectoryRef Id="INSTALLDIR">']
    for prop, value, _, _ in rows:
        parts.append(f'<Component Id="Preset{prop}" Guid="*"><RegistryValue Root="HKLM" Key="{MACHINE_KEY}" '
                     f'Name="{value}" Type="string" Value="[{prop}]" KeyPath="yes"/></Component>')
    parts.append('</DirectoryRef><ComponentGroup Id="Presets">')
    parts += [f'<ComponentRef Id="Preset{prop}"/>' for prop, _, _, _ in rows]
    parts.append("</ComponentGroup></Fragment></Wix>")
    return "\n".join(parts) + "\n"


def build_msi(arch, work, out, product, rows):
    """The MSI of the VimoBrindleQV.exe in work."""
    wixl_arch, win64, program_files = ARCHES[arch]
    name, maker, version = product
    with open(os.path.join(work, "presets.wxs"), "w", encoding="utf-8") as f:
        f.write(presets_fragment(rows))
    shutil.copy(os.path.join(SRC, "LICENSE"), os.path.join(work, "LICENSE.txt"))   # wixl takes relative sources
    run("wixl", "-a", wixl_arch, "-o", out, "-D", f"ProductName={name}", "-D", f"Manufacturer={maker}",
        "-D", f"Version={version}", "-D", f"Win64={win64}", "-D", f"ProgramFilesFolder={program_files}",
        "-D", "Exe=VimoBrindleQV.exe", "-D", "License=LICENSE.txt",
        os.path.join(HERE, "Brindlequaverly.wxs"), "presets.wxs", cwd=work)
    # What wixl 0.101 does not take: component conditions, permanent
    # components (attributes 4, a registry key path, plus 16), secure
    # properties of our own, which pass from the UI to an elevated install,
    # and an upgrade of the same version (512, the maximum included), so that
    # the other build's MSI replaces this one: both started at log-on would
    # contend for one port.
    props = [prop for prop, _, _, _ in rows]
    secure = msi_properties(out)
    started = [prop for prop, _, group, _ in settings_rows() if group == "Start"]
    secure = ";".join([secure.get("SecureCustomProperties", "")] + props + started).lstrip(";")
    queries = [f"UPDATE `Property` SET `Value` = '{secure}' WHERE `Property` = 'SecureCustomProperties'",
               "UPDATE `Component` SET `Condition` = 'STARTWITHWINDOWS=\"1\" OR (NOT STARTWITHWINDOWS AND PREVIOUSRUN)'"
               " WHERE `Component` = 'Run'",
               "UPDATE `Component` SET `Condition` = 'PROFILES' WHERE `Component` = 'RunProfiles'",
               # wixl makes a property's custom action a deferred one, which may not set a property.
               "UPDATE `CustomAction` SET `Type` = 51 WHERE `Action` = 'KeepProfiles'",
               # "#%": the event message file's path is expanded where it is read.
               "UPDATE `Registry` SET `Value` = '#%%SystemRoot%\\System32\\EventCreate.exe'"
               " WHERE `Name` = 'EventMessageFile'"]
    queries += [f"UPDATE `Component` SET `Condition` = '{prop}', `Attributes` = 20 WHERE `Component` = 'Preset{prop}'"
                for prop in props]
    # The Upgrade table's attributes are part of its key, which SQL does not update.
    upgrade = run("msiinfo", "export", out, "Upgrade").splitlines()
    for i, row in enumerate(upgrade[3:], 3):
        cells = row.split("\t")
        if cells[6] == "WIX_UPGRADE_DETECTED":
            cells[4] = str(int(cells[4]) | 512)
            upgrade[i] = "\t".join(cells)
    with open(os.path.join(work, "Upgrade.idt"), "w", encoding="utf-8") as f:
        f.write("\r\n".join(upgrade) + "\r\n")
    run("msibuild", out, "-i", os.path.join(work, "Upgrade.idt"), *[arg for q in queries for arg in ("-q", q)])


def write_templates(out, rows):
    """The ADMX template and its en-US ADML: a policy a value, and the start with Windows."""
    policies, strings, presentations = [], [], []

    def policy(pid, title, explain, category, key, value_name, default=""):
        policies.append(
            f'    <policy name="{pid}" class="Machine" displayName="$(string.{pid})" explainText="$(string.{pid}_Help)"'
            f' presentation="$(presentation.{pid})" key={quoteattr(key)}>\n'
            f'      <parentCategory ref="{category}"/>\n      <supportedOn ref="SUPPORTED_Brindlequaverly"/>\n'
            f'      <elements><text id="{pid}" valueName="{value_name}" maxLength="1024"/></elements>\n    </policy>')
        strings.append(f'      <string id="{pid}">{escape(title)}</string>\n'
                       f'      <string id="{pid}_Help">{escape(explain)}</string>')
        presentations.append(f'      <presentation id="{pid}"><textBox refId="{pid}"><label>{escape(title)}:</label>'
                             + (f"<defaultValue>{escape(default)}</defaultValue>" if default else "")
                             + "</textBox></presentation>")

    for prop, value, group, title in rows:
        policy(prop, title, f"Enabled: the program takes this value ({value}) and the user cannot change it; its "
               "field is disabled and Open Port does not save it. A value the program refuses is refused at Open "
               "Port, as a stored one is. Disabled or not configured: the user's or the machine's setting applies.",
               group, POLICY_KEY, value)
    policy("PROFILES", "Profiles that may be started",
           "Enabled: only the profiles named here (separated by ;) may be started, from /profile and from "
           "\"Start a Window for Another Device...\"; the window says so when one is refused, and the program "
           "without a profile starts instead. The other policies of this template hold in every profile; a "
           "profile's own key (Profiles\\NAME below the policy key) fixes more on top of them. Disabled or not "
           "configured: any profile may be started.", "Brindlequaverly", POLICY_KEY, "PROFILES")
    policy("STARTWITHWINDOWS", "Start with Windows, the port open",
           "Enabled: every user's log-on starts the program with this command, which ends in /open. "
           "Disabled: the entry is removed.", "Brindlequaverly", RUN_KEY, "Brindlequaverly",
           r'"C:\Program Files\Brindlequaverly\VimoBrindleQV.exe" /open')
    categories = ['    <category name="Brindlequaverly" displayName="$(string.Brindlequaverly)"/>']
    categories += [f'    <category name="{g}" displayName="$(string.{g})"><parentCategory ref="Brindlequaverly"/>'
                   "</category>" for g in GROUPS]
    strings[:0] = ['      <string id="Brindlequaverly">Brindlequaverly</string>',
                   '      <string id="SUPPORTED_Brindlequaverly">Vimo Brindlequaverly 1.5 and later</string>']
    strings[2:2] = [f'      <string id="{g}">{t}</string>' for g, t in GROUPS.items()]
    ns = "http://schemas.microsoft.com/GroupPolicy/2006/07/PolicyDefinitions"
    admx = f"""<?xml version="1.0" encoding="utf-8"?>
<policyDefinitions xmlns="{ns}" revision="1.0" schemaVersion="1.0">
  <policyNamespaces>
    <target prefix="brindlequaverly" namespace="VimoTechnologies.Policies.VimoBrindleQV"/>
  </policyNamespaces>
  <resources minRequiredRevision="1.0"/>
  <supportedOn><definitions>
    <definition name="SUPPORTED_Brindlequaverly" displayName="$(string.SUPPORTED_Brindlequaverly)"/>
  </definitions></supportedOn>
  <categories>
{chr(10).join(categories)}
  </categories>
  <policies>
{chr(10).join(policies)}
  </policies>
</policyDefinitions>
"""
    adml = f"""<?xml version="1.0" encoding="utf-8"?>
<policyDefinitionResources xmlns="{ns}" revision="1.0" schemaVersion="1.0">
  <displayName>Brindlequaverly</displayName>
  <description>Settings of the serial-to-keystroke program Brindlequaverly</description>
  <resources>
    <stringTable>
{chr(10).join(strings)}
    </stringTable>
    <presentationTable>
{chr(10).join(presentations)}
    </presentationTable>
  </resources>
</policyDefinitionResources>
"""
    os.makedirs(os.path.join(out, "policy", "en-US"))
    with open(os.path.join(out, "policy", "VimoBrindleQV.admx"), "w", encoding="utf-8") as f:
        f.write(admx)
    with open(os.path.join(out, "policy", "en-US", "VimoBrindleQV.adml"), "w", encoding="utf-8") as f:
        f.write(adml)


def release_url(version):
    """Where the release's files are downloaded from when no URL is given: the
    GitHub releases of the clone's origin, at the tag of the version."""
    origin = subprocess.run(["git", "-C", SRC, "remote", "get-url", "origin"], capture_output=True, text=True)
    repo = re.search(r"github\.com[:/]([\w.-]+/[\w.-]+?)(?:\.git)?/?$", origin.stdout.strip())
    return f"https://github.com/{repo.group(1)}/releases/download/v{version}" if repo else ""


def yaml_text(fields, kind):
    """A winget manifest file of the given kind: its fields, texts quoted."""
    def value(v, indent):
        if isinstance(v, list):
            return "".join(f"\n{indent}- " + value(item, indent + "  ").lstrip() for item in v)
        if isinstance(v, dict):
            return "".join(f"\n{indent}{k}: {value(x, indent + '  ')}" for k, x in v.items())
        return "'" + str(v).replace("'", "''") + "'"
    lines = [f"# yaml-language-server: $schema=https://aka.ms/winget-manifest.{kind}.{WINGET_SCHEMA}.schema.json"]
    lines += [f"{k}:{'' if isinstance(v, (list, dict)) else ' '}{value(v, '  ')}" for k, v in fields.items()]
    lines += [f"ManifestType: {kind}", f"ManifestVersion: {WINGET_SCHEMA}"]
    return "\n".join(lines) + "\n"


def write_winget(out, product, msis, url):
    """The winget manifest of the version, in its three files (version,
    installer, default locale), in the folder winget-pkgs keeps it in."""
    name, maker, version = product
    package = maker.replace(" ", "") + ".Brindlequaverly"
    folder = os.path.join(out, "winget", "manifests", package[0].lower(), *package.split("."), version)
    os.makedirs(folder)
    head = {"PackageIdentifier": package, "PackageVersion": version}
    installers = []
    for arch, msi in msis.items():
        with open(msi, "rb") as f:
            sha = hashlib.sha256(f.read()).hexdigest().upper()
        installers.append({"Architecture": arch, "InstallerUrl": f"{url}/{os.path.basename(msi)}",
                           "InstallerSha256": sha, "ProductCode": msi_properties(msi)["ProductCode"]})
    files = {
        f"{package}.yaml": yaml_text({**head, "DefaultLocale": "en-US"}, "version"),
        f"{package}.installer.yaml": yaml_text({
            **head, "InstallerType": "msi", "Scope": "machine",
            "InstallModes": ["interactive", "silent", "silentWithProgress"],
            "InstallerSwitches": {"Silent": "/qn /norestart", "SilentWithProgress": "/qb /norestart"},
            "UpgradeBehavior": "install", "Installers": installers}, "installer"),
        f"{package}.locale.en-US.yaml": yaml_text({
            **head, "PackageLocale": "en-US", "Publisher": maker, "PackageName": name, "License": "MIT",
            "ShortDescription": "Types what a barcode scanner, scale or card reader sends to a COM port into the "
                                "program in front, as if it came from the keyboard.",
            "Moniker": "brindlequaverly", "Tags": ["barcode", "scanner", "scale", "serial", "keyboard-wedge"]},
            "defaultLocale"),
    }
    for file, text in files.items():
        with open(os.path.join(folder, file), "w", encoding="utf-8") as f:
            f.write(text)


def build_all(new, builds, signing, args, product, rows):
    """Everything make dist hands out, into the folder new; the files' paths in it."""
    name = product[0]
    base = f"Brindlequaverly-{product[2]}"
    msis = {}
    with tempfile.TemporaryDirectory() as work:
        with zipfile.ZipFile(os.path.join(new, base + ".zip"), "w", zipfile.ZIP_DEFLATED) as archive:
            for arch, exe in builds.items():
                staged = os.path.join(work, arch, "VimoBrindleQV.exe")
                os.makedirs(os.path.dirname(staged))
                shutil.copy(exe, staged)
                if signing:
                    sign(staged, args.cert, args.key, args.timestamp, name)
                archive.write(staged, f"{base}/{arch}/VimoBrindleQV.exe")
                msi = msis[arch] = os.path.join(new, f"{base}-{arch}.msi")
                build_msi(arch, os.path.dirname(staged), msi, product, rows)
                if signing:
                    sign(msi, args.cert, args.key, args.timestamp, name)
            # The README with the pages and pictures it links to, the license and the changes.
            for doc in ["README.md", "LICENSE", "CHANGELOG.md"] + sorted(os.path.relpath(p, SRC) for p in glob.glob(os.path.join(SRC, "docs", "*"))):
                archive.write(os.path.join(SRC, doc), f"{base}/{doc}")
    write_templates(new, rows)
    url = args.release_url.rstrip("/") or release_url(product[2])
    if url:
        write_winget(new, product, msis, url)
    else:
        print("no winget manifest: no RELEASE_URL given and the clone's origin is not on GitHub", flush=True)
    files = sorted(os.path.relpath(os.path.join(d, f), new) for d, _, fs in os.walk(new) for f in fs)
    with open(os.path.join(new, "SHA256SUMS"), "w", encoding="utf-8") as sums:
        for path in files:
            with open(os.path.join(new, path), "rb") as f:
                sums.write(f"{hashlib.sha256(f.read()).hexdigest()}  {path}\n")
    return files


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("out", help="the folder to build into; a former one is replaced")
    parser.add_argument("builds", nargs="+", metavar="ARCH=EXE", help="x64=build/VimoBrindleQV.exe, x86=...")
    parser.add_argument("--version", help="the MSI's version instead of the version resource's")
    parser.add_argument("--cert", default=os.environ.get("SIGN_CERT", ""))
    parser.add_argument("--key", default=os.environ.get("SIGN_KEY", ""))
    parser.add_argument("--timestamp", default=os.environ.get("SIGN_TIMESTAMP", ""),
                        help="the URL of an RFC 3161 time-stamp server")
    parser.add_argument("--release-url", default=os.environ.get("RELEASE_URL", ""),
                        help="where the release's files are downloaded from, for the winget manifest")
    args = parser.parse_args()
    builds = dict(b.split("=", 1) for b in args.builds)
    for arch, exe in builds.items():
        if arch not in ARCHES:
            fail(f"unknown build {arch}: x64 or x86")
        if not os.path.isfile(exe):
            fail(f"no executable {exe}: build it first")
    signing = check_signing(args.cert, args.key, args.timestamp)
    name, maker, version = version_resource()
    product = (name, maker, args.version or version)
    out = os.path.abspath(args.out)
    if os.path.isdir(out) and os.listdir(out) and not os.path.isfile(os.path.join(out, "SHA256SUMS")):
        fail(f"{out} holds other files than a former make dist's: not replaced")
    rows = presets()
    # Built into a fresh folder beside the former one and swapped in only once
    # complete, so that a failure leaves the former folder as it was.
    parent = os.path.dirname(out)
    os.makedirs(parent, exist_ok=True)
    new = tempfile.mkdtemp(prefix=f".{os.path.basename(out)}-new-", dir=parent)
    former = new + "-former"
    try:
        files = build_all(new, builds, signing, args, product, rows)
        umask = os.umask(0)
        os.umask(umask)
        os.chmod(new, 0o777 & ~umask)   # mkdtemp's folder is private
        if os.path.isdir(out):
            os.rename(out, former)
        os.rename(new, out)
    except BaseException:
        if os.path.isdir(former) and not os.path.exists(out):
            os.rename(former, out)
        shutil.rmtree(new, ignore_errors=True)
        raise
    shutil.rmtree(former, ignore_errors=True)
    for path in files:
        print(f"{args.out}/{path}: {os.path.getsize(os.path.join(out, path))} bytes")


if __name__ == "__main__":
    main()
