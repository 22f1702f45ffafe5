#!/usr/bin/env bash
# make dist's signing with a throwaway certificate: a key of another
# certificate and a missing file stop it with a clear message, and a good pair
# signs the executables it packs and the MSI.
set -eu
dir=$1 exe=$2
src=$(cd "$(dirname "$0")/.." && pwd)
rm -rf "$dir" && mkdir -p "$dir" && cd "$dir"
for n in one other; do
    openssl req -x509 -newkey rsa:2048 -nodes -subj "/CN=Brindlequaverly test $n" -days 2 \
        -keyout $n.key -out $n.pem 2>/dev/null
done
failed=0
refused() {   # expected message, arguments
    if out=$("$src/install/dist.py" dist x64="$exe" "${@:2}" 2>&1); then
        echo "FAILED: make dist $*: did not stop"; failed=1
    elif ! grep -qF "$1" <<<"$out"; then
        echo "FAILED: make dist ${*:2}: said [$out], not [$1]"; failed=1
    fi
}
refused "SIGN_KEY does not match SIGN_CERT" --cert one.pem --key other.key
refused "SIGN_CERT: no such file: missing.pem" --cert missing.pem --key one.key
[ -e dist ] && { echo "FAILED: a refused make dist left dist/"; failed=1; }

"$src/install/dist.py" dist x64="$exe" --cert one.pem --key one.key >/dev/null
(cd dist && sha256sum --quiet -c SHA256SUMS) || failed=1
python3 -m zipfile -e dist/*.zip unpacked
for f in dist/*.msi unpacked/*/x64/VimoBrindleQV.exe; do
    osslsigncode verify -CAfile one.pem -in "$f" >/dev/null || { echo "FAILED: $f is not signed by one.pem"; failed=1; }
done
exit $failed
