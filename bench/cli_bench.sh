#!/usr/bin/env bash
# keskor-cli on a large database: import of a KeePass 2 XML export of N entries (default
# 100,000) in nested groups, then `ls -R`, `search` and `export` of the result. The key
# derivation is kept cheap (--kdf-memory 8 --kdf-passes 1) so that the figures show our own work.
#
#   bench/cli_bench.sh build [N]
set -euo pipefail
build=${1:?build folder}
entries=${2:-100000}
cli="$build/app/keskor-cli"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
export KESKOR_HOME="$work/home"
password='Bench-Mark-Pass-2026-x'

# 100 groups of 10 subgroups; entries spread over the subgroups.
awk -v n="$entries" 'BEGIN {
  print "<?xml version=\"1.0\" encoding=\"utf-8\" standalone=\"yes\"?>"
  print "<KeePassFile><Meta><Generator>bench</Generator></Meta><Root><Group><Name>Root</Name>"
  per = int((n + 999) / 1000); made = 0
  for (g = 0; g < 100; g++) {
    printf "<Group><Name>Group %d</Name>", g
    for (s = 0; s < 10; s++) {
      printf "<Group><Name>Sub %d</Name>", s
      for (e = 0; e < per && made < n; e++) {
        printf "<Entry><String><Key>Title</Key><Value>Entry %d</Value></String>", made
        printf "<String><Key>UserName</Key><Value>user%d</Value></String>", made
        printf "<String><Key>Password</Key><Value Protected=\"True\">pw-%d-secret</Value></String>", made
        printf "<String><Key>URL</Key><Value>https://site%d.example/login</Value></String>", made % 5000
        printf "<String><Key>Notes</Key><Value>note %d</Value></String></Entry>\n", made
        made++
      }
      printf "</Group>"
    }
    printf "</Group>\n"
  }
  print "</Group></Root></KeePassFile>"
}' > "$work/in.xml"

timed() {
  local label=$1; shift
  local start end
  start=$(date +%s%N)
  "$@" > "$work/out.txt"
  end=$(date +%s%N)
  printf '%-28s %8.0f ms\n' "$label" "$(( (end - start) / 1000000 ))"
}

echo "$password" | "$cli" create "$work/big.pswe" --kdf-memory 8 --kdf-passes 1 > /dev/null
echo "entries: $entries ($(du -h "$work/in.xml" | cut -f1) of XML)"
timed "import keepass-xml" sh -c "echo '$password' | '$cli' import '$work/big.pswe' '$work/in.xml' --format keepass-xml 2>/dev/null"
timed "ls -R" sh -c "echo '$password' | '$cli' ls -R '$work/big.pswe'"
echo "  listed lines: $(wc -l < "$work/out.txt")"
timed "search" sh -c "echo '$password' | '$cli' search '$work/big.pswe' site42.example"
echo "  found: $(wc -l < "$work/out.txt")"
timed "export" sh -c "echo '$password' | '$cli' export '$work/big.pswe' '$work/out.xml'"
echo "  exported: $(du -h "$work/out.xml" | cut -f1)"
timed "open only (ls top level)" sh -c "echo '$password' | '$cli' ls '$work/big.pswe'"
