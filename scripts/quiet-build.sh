# Sourced by the scripts that build before they run something.
# quiet_build NAME PRESET [CMAKE_BUILD_ARGUMENTS...]: says "NAME: building...",
# configures and builds the preset with the output kept aside. On success
# nothing more is printed; on failure the last 60 lines of that output (the
# compiler's errors) go to stderr and the calling script exits non-zero.
quiet_build() {
  local name="$1" preset="$2"; shift 2
  local log status=0
  log="$(mktemp)"
  echo "$name: building..."
  { cmake --preset "$preset" && cmake --build --preset "$preset" "$@"; } >"$log" 2>&1 || status=$?
  if [ "$status" -ne 0 ]; then
    echo "$name: the build of the $preset preset failed; its last lines:" >&2
    tail -n 60 "$log" >&2
    rm -f "$log"
    exit "$status"
  fi
  rm -f "$log"
}
