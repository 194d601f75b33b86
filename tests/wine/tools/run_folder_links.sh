#!/usr/bin/env bash
# Links that Wine cannot make, made on the Linux side for the unit test's
# run-folder rows: a "Pelorin-*" link to a folder of 50 files, and a planted
# "Pelorin-*" folder with a file and a link to a file elsewhere.
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

PELORIN_TEST_STALE_LINK="$link" PELORIN_TEST_STALE_PLANTED="$planted" PELORIN_TEST_OTHER="Z:${work//\//\\}" \
  "$WINE" "$exe" --gtest_filter='StaleRunFolders.*'
