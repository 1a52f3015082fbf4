#!/usr/bin/env bash
# Short, bounded fuzzing of the archiver libraries: builds every libFuzzer
# target with clang in build-fuzz/, makes small seed archives with the
# archivers that are installed, and runs each target for FUZZ_SECONDS
# (default 20) under AddressSanitizer and UndefinedBehaviorSanitizer. A
# finding fails the run; its input is kept in build-fuzz/artifacts/ and copied
# to archivers/fuzz/findings/<target>/, whose files the unit tests replay
# (commit it with the fix).
set -uo pipefail
cd "$(dirname "$0")/.."
seconds=${FUZZ_SECONDS:-20}
out=build-fuzz

if ! command -v clang++ >/dev/null || ! ls /usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a >/dev/null 2>&1; then
  echo "fuzz.sh: clang with libFuzzer is not installed; fuzzing skipped" >&2
  exit 0
fi

# Undefined behaviour stops the target like a crash, so it is a finding too.
flags="-fsanitize=address,undefined,fuzzer-no-link -fno-sanitize-recover=undefined -fno-omit-frame-pointer -g"
mkdir -p "$out"
cmake -S . -B "$out" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DTIDEBELL_FUZZ=ON -DTIDEBELL_TESTS=OFF >"$out/configure.log" 2>&1 || {
  cat "$out/configure.log" >&2
  exit 1
}
mapfile -t targets < <(cmake --build "$out" --target help | sed -n 's/^\(fuzz_[A-Za-z0-9_]*\):.*/\1/p' | sort -u)
if [ ${#targets[@]} -eq 0 ]; then
  echo "fuzz.sh: no fuzz targets" >&2
  exit 0
fi
cmake --build "$out" --target "${targets[@]}" -j2 || exit 1
# Keep the whole run within about four minutes however many targets exist.
if [ $((seconds * ${#targets[@]})) -gt 240 ]; then
  seconds=$((240 / ${#targets[@]}))
  [ "$seconds" -lt 5 ] && seconds=5
fi

# Seed archives, a few small ones per kind, from whichever tools exist.
seeds="$out/seeds"
work="$out/seed-work"
rm -rf "$seeds" "$work"
mkdir -p "$seeds" "$work/in/sub"
head -c 3000 /dev/urandom >"$work/in/noise.wav"
yes "tidebell seed" | head -c 5000 >"$work/in/sub/text.wav"
printf 'tiny' >"$work/in/tiny.txt"
make_seed() {  # kind file command...
  local kind=$1 file=$2
  shift 2
  mkdir -p "$seeds/$kind"
  (cd "$work/in" && "$@") >/dev/null 2>&1 && [ -f "$work/in/$file" ] && mv "$work/in/$file" "$seeds/$kind/$file"
  rm -f "$work/in/$file"
  return 0
}
have() { command -v "$1" >/dev/null; }
if have jlha; then
  make_seed lzh l5.lzh jlha c1o5 l5.lzh noise.wav sub/text.wav tiny.txt
  make_seed lzh l6.lzh jlha c2o6 l6.lzh noise.wav tiny.txt
  make_seed lzh l0.lzh jlha c0z l0.lzh tiny.txt sub/text.wav
fi
if have 7zz; then
  make_seed zip deflate.zip 7zz a -tzip -mm=Deflate deflate.zip noise.wav sub/text.wav tiny.txt
  make_seed zip bzip2.zip 7zz a -tzip -mm=BZip2 bzip2.zip sub/text.wav tiny.txt
  make_seed zip lzma.zip 7zz a -tzip -mm=LZMA lzma.zip sub/text.wav
  make_seed zip deflate64.zip 7zz a -tzip -mm=Deflate64 deflate64.zip noise.wav sub/text.wav
fi
if have bsdtar; then
  make_seed zip stored.zip bsdtar --format zip --options zip:compression=store -cf stored.zip tiny.txt sub/text.wav
  make_seed tar plain.tar bsdtar -cf plain.tar noise.wav sub tiny.txt
  make_seed tgz a.tgz bsdtar -czf a.tgz sub tiny.txt
  make_seed tbz a.tbz bsdtar -cjf a.tbz sub tiny.txt
  make_seed cpio a.cpio bsdtar --format cpio -cf a.cpio sub tiny.txt
fi
if have gcab; then
  make_seed cab none.cab gcab -c none.cab tiny.txt sub/text.wav
  make_seed cab mszip.cab gcab -cz mszip.cab noise.wav sub/text.wav
fi
if have arj; then
  for m in 0 1 4; do make_seed arj m$m.arj arj a -m$m -y m$m.arj tiny.txt sub/text.wav; done
fi
have ar && make_seed ar a.a ar rc a.a tiny.txt noise.wav
have gzip && make_seed gz text.wav.gz sh -c 'gzip -c sub/text.wav > text.wav.gz'
have bzip2 && make_seed bz2 text.wav.bz2 sh -c 'bzip2 -c sub/text.wav > text.wav.bz2'

findings=archivers/fuzz/findings
mkdir -p "$out/artifacts"
failed=()
for t in "${targets[@]}"; do
  corpus="$out/corpus/$t"
  mkdir -p "$corpus"
  dirs=()
  if [ -f "$out/fuzz/$t.seeds" ]; then
    while IFS= read -r line; do
      case "$line" in
        kind:*) [ -d "$seeds/${line#kind:}" ] && dirs+=("$seeds/${line#kind:}") ;;
        ?*) [ -d "$line" ] && dirs+=("$line") ;;
      esac
    done <"$out/fuzz/$t.seeds"
  fi
  # Targets that name no seeds get the archives of the kind they are named after.
  if [ ${#dirs[@]} -eq 0 ] && [ -d "$seeds/${t#fuzz_}" ]; then
    dirs+=("$seeds/${t#fuzz_}")
  fi
  # Past findings start the corpus, so the fuzzer works on from them.
  [ -d "$findings/${t#fuzz_}" ] && dirs+=("$findings/${t#fuzz_}")
  rm -f "$out/artifacts/$t-"*
  echo "fuzz.sh: $t for ${seconds}s"
  if ! "$out/fuzz/$t" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 -max_len=262144 \
      -print_final_stats=0 -artifact_prefix="$out/artifacts/$t-" "$corpus" "${dirs[@]}" \
      >"$out/$t.log" 2>&1; then
    tail -40 "$out/$t.log" >&2
    failed+=("$t")
    for f in "$out/artifacts/$t-"*; do
      [ -f "$f" ] || continue
      mkdir -p "$findings/${t#fuzz_}"
      cp "$f" "$findings/${t#fuzz_}/${f##*/$t-}"
      echo "fuzz.sh: $f copied to $findings/${t#fuzz_}/ for the unit tests" >&2
    done
  fi
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzz.sh: failures in ${failed[*]} (inputs in $out/artifacts/ and $findings/)" >&2
  exit 1
fi
echo "fuzz.sh: ${#targets[@]} targets ran without findings"
