#!/usr/bin/env bash
# A second checkout of the same sources, in a folder of another name and length, built at another
# time: scripts/release.sh there must give the same bytes as the release under test (the
# programs, the zip, the installer, SHA256SUMS and the winget manifests).
set -euo pipefail
: "${RELEASE_SOURCE:?}" "${RELEASE_DIST:?}" "${RELEASE_WORK:?}"
rm -rf "$RELEASE_WORK"
copy=$RELEASE_WORK/a-second-checkout/of-vesperine
mkdir -p "$copy"

# The files git knows of, as they are in the working tree (a clean clone has nothing else).
(cd "$RELEASE_SOURCE" && git ls-files -z --cached --others --exclude-standard |
  xargs -0 cp --parents -t "$copy" 2>/dev/null) || true
SOURCE_DATE_EPOCH=$(git -C "$RELEASE_SOURCE" log -1 --format=%ct)
export SOURCE_DATE_EPOCH
bash "$copy/scripts/release.sh" --out "$RELEASE_WORK/dist" >"$RELEASE_WORK/release.log" 2>&1 || {
  echo "FAIL: release.sh in the second checkout failed (see $RELEASE_WORK/release.log)" >&2
  exit 1
}
if ! diff -r "$RELEASE_DIST" "$RELEASE_WORK/dist"; then
  echo "FAIL: the second checkout's release differs from $RELEASE_DIST" >&2
  exit 1
fi
(cd "$RELEASE_WORK/dist" && find . -type f | LC_ALL=C sort | xargs sha256sum)
echo "PASS: the same bytes from $copy"
