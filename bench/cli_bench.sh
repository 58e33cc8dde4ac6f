#!/usr/bin/env bash
# keskor-cli on a large database next to keepassxc-cli on the same data: import of a KeePass 2
# XML export of N entries (default 100,000) in nested groups, then `ls -R`, `search` and
# `export` of the result; with keepassxc-cli, also our import of the KDBX file it made next to its
# own open of that file. Our key derivation is kept cheap (--kdf-memory 8 --kdf-passes 1) so
# that the figures show our own work; keepassxc-cli imports with a key derivation of 100 ms.
# The ratio is keepassxc-cli's time over ours. keepassxc is installed (Debian package) when it
# is missing; KESKOR_BENCH_NO_PEER=1 leaves it out.
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
        printf "<String><Key>Password</Key><Value ProtectInMemory=\"True\">pw-%d-secret</Value></String>", made
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

# Milliseconds of one run of a shell command line, its output in $work/out.txt; "failed" when
# it fails, so no row shows the time of an error as a result.
ms() {
  local start end
  start=$(date +%s%N)
  if ! sh -c "$1" > "$work/out.txt" 2> "$work/err.txt"; then
    echo "failed: $1" >&2; cat "$work/err.txt" >&2
    echo failed
    return
  fi
  end=$(date +%s%N)
  echo $(( (end - start) / 1000000 ))
}

peer=""
if [ "${KESKOR_BENCH_NO_PEER:-0}" != 1 ]; then
  if ! command -v keepassxc-cli > /dev/null; then
    echo "installing keepassxc for the comparison ..." >&2
    if [ "$(id -u)" = 0 ]; then apt=(apt-get); else apt=(sudo apt-get); fi
    DEBIAN_FRONTEND=noninteractive "${apt[@]}" install -y --no-install-recommends keepassxc \
      > /dev/null 2>&1 || echo "keepassxc could not be installed; our figures only" >&2
  fi
  command -v keepassxc-cli > /dev/null && peer=keepassxc-cli
fi

echo "$password" | "$cli" create "$work/big.pswe" --kdf-memory 8 --kdf-passes 1 > /dev/null
echo "entries: $entries ($(du -h "$work/in.xml" | cut -f1) of XML)"
in="printf '%s\n' '$password'"

ours_import=$(ms "$in | '$cli' import '$work/big.pswe' '$work/in.xml' --format keepass-xml -q")
ours_ls=$(ms "$in | '$cli' ls -R '$work/big.pswe'")
listed=$(wc -l < "$work/out.txt")
ours_search=$(ms "$in | '$cli' search '$work/big.pswe' site42.example")
found=$(wc -l < "$work/out.txt")
ours_export=$(ms "$in | '$cli' export '$work/big.pswe' - -q")
exported=$(du -h "$work/out.txt" | cut -f1)
ours_open=$(ms "$in | '$cli' ls '$work/big.pswe'")
echo "  listed lines: $listed, found: $found, exported: $exported"

if [ -n "$peer" ]; then
  # The password twice: keepassxc-cli asks for the new one and its repetition.
  peer_import=$(ms "printf '%s\n%s\n' '$password' '$password' | keepassxc-cli import -q -p -t 100 '$work/in.xml' '$work/big.kdbx'")
  peer_ls=$(ms "$in | keepassxc-cli ls -q -R '$work/big.kdbx'")
  peer_listed=$(wc -l < "$work/out.txt")
  peer_search=$(ms "$in | keepassxc-cli search -q '$work/big.kdbx' site42.example")
  peer_found=$(wc -l < "$work/out.txt")
  peer_export=$(ms "$in | keepassxc-cli export -q -f xml '$work/big.kdbx'")
  peer_open=$(ms "$in | keepassxc-cli ls -q '$work/big.kdbx'")
  echo "  keepassxc-cli listed lines: $peer_listed, found: $peer_found"
  # Our KDBX import of the file keepassxc-cli made, key derivation included, next to its open.
  echo "$password" | "$cli" create "$work/from-kdbx.pswe" --kdf-memory 8 --kdf-passes 1 > /dev/null
  ours_kdbx=$(ms "printf '%s\n%s\n' '$password' '$password' | '$cli' import '$work/from-kdbx.pswe' '$work/big.kdbx' -q")
fi

printf '\n%-24s %10s %14s %8s %8s\n' "command" "keskor ms" "keepassxc ms" "ratio" "target"
row() {
  local label=$1 ours=$2 theirs=${3:-} target=${4:-}
  if [ "$ours" = failed ] || [ "$theirs" = failed ]; then
    printf '%-24s %10s %14s %8s %8s\n' "$label" "$ours" "${theirs:--}" "-" "$target"
  elif [ -n "$theirs" ]; then
    printf '%-24s %10d %14d %7.1fx %8s\n' "$label" "$ours" "$theirs" \
      "$(awk -v a="$theirs" -v b="$ours" 'BEGIN { print (b > 0 ? a / b : 0) }')" "$target"
  else
    printf '%-24s %10d %14s %8s %8s\n' "$label" "$ours" "-" "-" "$target"
  fi
}
row "import keepass-xml" "$ours_import" "${peer_import:-}" ">= 5x"
row "ls -R" "$ours_ls" "${peer_ls:-}" ">= 15x"
row "search" "$ours_search" "${peer_search:-}" ">= 15x"
row "export" "$ours_export" "${peer_export:-}" ">= 10x"
row "open only (ls top level)" "$ours_open" "${peer_open:-}"
if [ -n "$peer" ]; then
  row "import kdbx (their open)" "$ours_kdbx" "$peer_open"
fi
