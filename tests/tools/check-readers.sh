#!/usr/bin/env bash
# Copies a table of files with the copy engine (through HvCopyTool under Wine) and checks the
# results with Linux's own readers: cmp, gzip/gunzip, unzip and Python's zipfile.
# Usage: check-readers.sh <HvCopyTool.exe>   (a wineserver must be running, as test.sh starts it)
set -uo pipefail
tool=$1
export LANG=C.UTF-8 LC_ALL=C.UTF-8
work=$(mktemp -d /tmp/hvreaders.XXXXXX)
cleanup() {
  chattr -i "$work/ro" 2>/dev/null
  chmod -R u+rwx "$work" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
winpath() { local p=$1; echo "Z:${p//\//\\}"; }
copy() {  # mode source dest [verify] [threads=N] -> prints the tool's line, returns its code
  wine "$tool" "$1" "$(winpath "$2")" "$(winpath "$3")" ${4:-} ${5:-} </dev/null 2>/dev/null | tr -d '\r'
  return "${PIPESTATUS[0]}"
}

src=$work/src dst=$work/dst
mkdir -p "$src" "$dst"
head -c 0 >"$src/empty.bin"
printf 'x' >"$src/one.bin"
head -c 524287 /dev/urandom >"$src/below buffer.bin"
yes 'compressible text line' | head -c 524288 >"$src/buffer.txt"
head -c 524289 /dev/urandom >"$src/above buffer.bin"
{ head -c 3000000 /dev/urandom; yes 'more text' | head -c 3000000; } >"$src/several MiB.dat"
printf 'Umlaut name\n' >"$src/Über Straße.txt"
printf 'Euro name\n' >"$src/€ 日本.txt"
touch -d '2019-05-04 03:02:00' "$src"/*

for f in "$src"/*; do
  name=$(basename "$f")
  # Plain copy: same bytes and the same modification time.
  out=$(copy plain "$f" "$dst/$name" verify) || fail "plain $name: $out"
  cmp -s "$f" "$dst/$name" || fail "plain $name differs"
  [[ $(stat -c %Y "$f") == $(stat -c %Y "$dst/$name") ]] || fail "plain $name: time not kept"

  out=$(copy gzip "$f" "$dst/$name.gz" verify) || fail "gzip $name: $out"
  gzip -t "$dst/$name.gz" 2>/dev/null || fail "gzip -t $name"
  gunzip -c "$dst/$name.gz" 2>/dev/null | cmp -s - "$f" || fail "gunzip $name differs"

  for mode in zip zipstored; do
    z="$dst/$name.$mode.zip"
    out=$(copy $mode "$f" "$z" verify) || fail "$mode $name: $out"
    unzip -tqq "$z" >/dev/null 2>&1 || fail "unzip -t $mode $name"
    python3 - "$z" "$name" "$f" <<'PY' || fail "zipfile $mode $name"
import sys, zipfile
z, name, src = sys.argv[1], sys.argv[2], sys.argv[3]
with zipfile.ZipFile(z) as a:
    assert a.testzip() is None
    assert a.namelist() == [name], a.namelist()
    assert a.read(name) == open(src, 'rb').read()
PY
  done
done

# Large files deflate blocks of 128 KiB on several threads into one stream: around the threshold
# (4 MiB), a file of whole blocks (it ends with an empty block), text and random data.
big=$work/big
mkdir -p "$big"
yes 'a line of text for the blocks' | head -c $((4 * 1048576 - 1)) >"$big/below threshold.txt"
yes 'a line of text for the blocks' | head -c $((4 * 1048576)) >"$big/whole blocks.txt"
{ head -c 2500000 /dev/urandom; seq 1 400000; } | head -c $((5 * 1048576 + 131073)) >"$big/mixed.dat"
for f in "$big"/*; do
  name=$(basename "$f")
  for threads in 2 4; do
    out=$(copy gzip "$f" "$dst/$name.$threads.gz" verify threads=$threads) || fail "gzip $threads threads $name: $out"
    gzip -t "$dst/$name.$threads.gz" 2>/dev/null || fail "gzip -t $threads threads $name"
    gunzip -c "$dst/$name.$threads.gz" 2>/dev/null | cmp -s - "$f" || fail "gunzip $threads threads $name differs"
    z="$dst/$name.$threads.zip"
    out=$(copy zip "$f" "$z" verify threads=$threads) || fail "zip $threads threads $name: $out"
    unzip -tqq "$z" >/dev/null 2>&1 || fail "unzip -t $threads threads $name"
    unzip -p "$z" 2>/dev/null | cmp -s - "$f" || fail "unzip $threads threads $name differs"
  done
done
rm -rf "$big"

# Name encodings: OEM without the UTF-8 flag for Ü, UTF-8 with the flag for the euro sign.
python3 - "$dst/Über Straße.txt.zip.zip" "$dst/€ 日本.txt.zip.zip" <<'PY' || fail "zip name encodings"
import sys, zipfile
oem, utf = (zipfile.ZipFile(p).infolist()[0] for p in sys.argv[1:3])
assert oem.flag_bits & 0x800 == 0 and oem.orig_filename == 'Über Straße.txt', (oem.flag_bits, oem.orig_filename)
assert utf.flag_bits & 0x800 and utf.filename == '€ 日本.txt'
PY

# Faults: each keeps the earlier copy and leaves no temporary file.
printf 'earlier copy' >"$dst/keep.txt"
mkdir -p "$work/ro"
# Root ignores permissions: the folder is made immutable instead.
# Where the file system has no immutable flag (tmpfs, some overlays) the case is skipped.
ro_ready=1
if [[ $(id -u) == 0 ]]; then chattr +i "$work/ro" 2>/dev/null || ro_ready=0; else chmod a-w "$work/ro"; fi
if ((ro_ready)); then
  out=$(copy plain "$src/one.bin" "$work/ro/one.bin") && fail "read-only folder accepted"
  [[ $out == 0x1101* ]] || fail "read-only folder: $out"
else
  echo "note: no immutable flag on this file system; read-only folder case skipped"
fi
out=$(copy gzip "$src/one.bin" "$work/missing/one.gz") && fail "missing folder accepted"
[[ $out == 0x2101* ]] || fail "missing folder: $out"
if [[ $(id -u) != 0 ]]; then
  cp "$src/one.bin" "$work/locked.bin"
  chmod 000 "$work/locked.bin"
  out=$(copy plain "$work/locked.bin" "$dst/keep.txt") && fail "unreadable source accepted"
  [[ $out == 0x1102* ]] || fail "unreadable source: $out"
fi
out=$(copy zip "$work/gone.bin" "$dst/keep.txt") && fail "missing source accepted"
[[ $out == 0x410e* ]] || fail "missing source: $out"
[[ $(cat "$dst/keep.txt") == 'earlier copy' ]] || fail "earlier copy changed"
leftovers=$(find "$dst" "$work/ro" -name '*.~*' | wc -l)
[[ $leftovers == 0 ]] || fail "$leftovers temporary files left"

# Zip64 from a sparse source above 4 GiB where the disk has room: a stored entry (Zip64 end records)
# always; with HV_BIG_TESTS=1 also a deflated entry, a gzip member and unzip's CRC check (minutes).
avail_kb=$(df -Pk /tmp | awk 'NR==2 {print $4}')
if [[ $avail_kb -gt $((10 * 1024 * 1024)) ]]; then
  big=$work/big.bin
  truncate -s $((0x100000000 + 1000)) "$big"
  printf 'tail' | dd of="$big" bs=1 seek=$((0x100000000 + 500)) conv=notrunc status=none
  out=$(copy zipstored "$big" "$dst/big-stored.zip") || fail "zip64 stored: $out"
  unzip -Zv "$dst/big-stored.zip" >/dev/null 2>&1 || fail "zipinfo zip64 stored"
  python3 - "$dst/big-stored.zip" <<'PY' || fail "zipfile zip64 stored"
import sys, zipfile
a = zipfile.ZipFile(sys.argv[1])
i = a.infolist()[0]
assert i.file_size == i.compress_size == 0x100000000 + 1000 and i.extract_version == 45
with open(sys.argv[1], 'rb') as f:
    f.seek(i.header_offset + 30 + len(i.filename) + 20 + 0x100000000 + 500)
    assert f.read(4) == b'tail'
PY
  [[ ${HV_BIG_TESTS:-0} == 1 ]] && { unzip -tqq "$dst/big-stored.zip" >/dev/null 2>&1 || fail "unzip -t zip64 stored"; }
  rm -f "$dst/big-stored.zip"
  if [[ ${HV_BIG_TESTS:-0} == 1 ]]; then
    out=$(copy zip "$big" "$dst/big.zip") || fail "zip64 deflated: $out"
    unzip -tqq "$dst/big.zip" >/dev/null 2>&1 || fail "unzip -t zip64 deflated"
    python3 -c "import sys, zipfile; a = zipfile.ZipFile(sys.argv[1]); assert a.infolist()[0].file_size == 0x100000000 + 1000" \
      "$dst/big.zip" || fail "zipfile zip64 deflated"
    rm -f "$dst/big.zip"
    out=$(copy gzip "$big" "$dst/big.gz") || fail "gzip above 4 GiB: $out"
    gzip -t "$dst/big.gz" 2>/dev/null || fail "gzip -t above 4 GiB"
    rm -f "$dst/big.gz"
  fi
  rm -f "$big"
else
  echo "Zip64 case skipped: less than 10 GiB free in /tmp"
fi

if ((failures)); then
  echo "$failures failure(s)"
  exit 1
fi
echo "all readers accept the copies"
