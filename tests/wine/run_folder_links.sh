#!/usr/bin/env bash
# Links named like the setup's run folders, made on the Linux side of the
# prefix (Wine makes none itself), for the run-folder rows of the unit test:
# a "Pelorin-*" link to another folder of 50 files, and a planted
# "Pelorin-*" folder holding a file and a link to a file elsewhere. The test
# removes the stale run folders and checks that nothing the links lead to is
# gone; this script checks it once more from the Linux side.
#
#   run_folder_links.sh UNIT_TEST WORK_DIR
set -euo pipefail
exe="$1" work="$2"
temp="$("$WINE" winepath -u "$("$WINE" cmd /c echo %TEMP% | tr -d '\r')" | tr -d '\r')"
[ -d "$temp" ] || { echo "FAILED: no temporary folder at '$temp'"; exit 1; }
rm -rf "$work"
mkdir -p "$work/other"
for i in $(seq 50); do echo "$i" >"$work/other/file$i"; done
echo elsewhere >"$work/victim.txt"
link="Pelorin-link-$$" planted="Pelorin-planted-$$"
ln -s "$work/other" "$temp/$link"
mkdir "$temp/$planted"
echo own >"$temp/$planted/own.tmp"
ln -s "$work/victim.txt" "$temp/$planted/elsewhere"
cleanup() { rm -f "$temp/$link"; rm -rf "$temp/$planted"; }
trap cleanup EXIT

status=0
PELORIN_TEST_STALE_LINK="$link" PELORIN_TEST_STALE_PLANTED="$planted" PELORIN_TEST_OTHER="Z:${work//\//\\}" \
  "$WINE" "$exe" --gtest_filter='StaleRunFolders.*' || status=1
left=$(ls "$work/other" | wc -l)
[ "$left" -eq 50 ] && [ -f "$work/victim.txt" ] || { echo "FAILED: $left of 50 files left, or the linked file is gone"; status=1; }
exit $status
