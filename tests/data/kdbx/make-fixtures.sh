#!/usr/bin/env bash
# Regenerates the KDBX fixtures of the import tests. kdbx4.py writes an empty file with the
# cipher and a tiny key derivation of each case (keepassxc-cli cannot choose them); the
# keepassxc-cli commands then add the groups, entries and attachment and save the file with
# KeePassXC's own writer, which keeps both. Also writes the fuzz seeds, sealed with the fuzz
# target's fixed derived key. Needs keepassxc-cli and python3 with "cryptography".
#
#   tests/data/kdbx/make-fixtures.sh
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
seeds="$here/../../../fuzz/corpus/kdbx_fuzz"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT
pw='fixture-Pass'

# A fixed attachment, so regenerating changes only the random parts of the files.
LC_ALL=C awk 'BEGIN { for (i = 0; i < 300; i++) printf "%c", (i * 37) % 256 }' > "$work/scan.bin"

# kx LINES... -- keepassxc-cli ARGS...: the lines are its answers on standard input.
kx() {
  local lines=()
  while [ "$1" != -- ]; do lines+=("$1"); shift; done
  shift
  printf '%s\n' "${lines[@]}" | keepassxc-cli "$@" > /dev/null
}

fixture() { # NAME KDF CIPHER [KEYFILE]
  local db="$here/$1.kdbx"
  rm -f "$db"
  python3 "$here/kdbx4.py" "$db" --kdf "$2" --cipher "$3" --password "$pw"
  kx "$pw" -- mkdir -q "$db" Mail
  kx "$pw" 'S3cret-<pw>&"x"' -- add -q "$db" Mail/Gmail -u ann@example.com \
    --url https://mail.example --notes $'two\nlines' -p
  kx "$pw" 'Zürich-42' -- add -q "$db" Bank -u 'müller' -p
  kx "$pw" -- attachment-import -q "$db" Mail/Gmail scan.bin "$work/scan.bin"
  if [ -n "${4:-}" ]; then
    rm -f "$here/$4"
    kx "$pw" -- db-edit -q --set-key-file "$here/$4" "$db"
    chmod 644 "$here/$4"
  fi
}
fixture argon2d-aes argon2d aes
fixture argon2id-chacha20 argon2id chacha20
fixture aeskdf-aes aes-kdf aes
fixture keyfile-argon2d argon2d aes keyfile.keyx

# KDBX 3.1 with AES-KDF, as keepassxc-cli's import writes it (100 ms of rounds, its minimum).
# The export of a KDBX 4 file leaves the attachment's bytes out; KDBX 3 keeps them in Meta.
printf '%s\n' "$pw" | keepassxc-cli export -q -f xml "$here/argon2d-aes.kdbx" |
  sed "0,/<Meta>/s||<Meta><Binaries><Binary ID=\"0\">$(base64 -w0 "$work/scan.bin")</Binary></Binaries>|" \
  > "$work/plain.xml"
rm -f "$here/aeskdf31-aes.kdbx"
printf '%s\n%s\n' "$pw" "$pw" |
  keepassxc-cli import -q -p -t 100 "$work/plain.xml" "$here/aeskdf31-aes.kdbx" > /dev/null

# Fuzz seeds: the same document, protected values sealed again, under the fixed derived key.
mkdir -p "$seeds"
printf '%s\n' "$pw" | keepassxc-cli export -q -f xml "$here/argon2d-aes.kdbx" |
  sed 's/ProtectInMemory="True"/Protected="True"/' > "$work/doc.xml"
derived=$(python3 -c 'print(bytes((i * 7 + 1) % 256 for i in range(32)).hex())')
for cipher in aes chacha20; do
  python3 "$here/kdbx4.py" "$seeds/$cipher.kdbx" --cipher "$cipher" --derived "$derived" \
    --xml "$work/doc.xml" --binary "$work/scan.bin"
done
ls -l "$here"/*.kdbx "$here"/*.keyx "$seeds"
