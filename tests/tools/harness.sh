# shellcheck shell=bash
# What the vesperine-render command-line tests share: their arguments (TOOL CONVERT COMPARE), a
# work folder removed on exit, pass/fail counting and the run of the tool. Sourced, not run.
set -u
tool=$1
convert=$2
compare=$3
for program in "$convert" "$compare"; do
  if ! command -v "$program" >/dev/null; then
    echo "FAIL: ImageMagick's $program is needed to make and check the test pictures"
    echo "0 passed, 1 failed"
    exit 1
  fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
passed=0
failed=0

pass() { passed=$((passed + 1)); }
fail() {
  echo "FAIL: $1"
  failed=$((failed + 1))
}

# Runs the tool; its output goes to $work/stdout and $work/stderr, its exit status to $status.
run() {
  "$tool" "$@" >"$work/stdout" 2>"$work/stderr"
  status=$?
}

# After a run that must fail: true when it ended with status $1 and one line of error on standard
# error; otherwise counts the failure of $2 and returns false.
error_reported() {
  local expected_status=$1 description=$2
  if [ "$status" != "$expected_status" ]; then
    fail "$description: exit status $status, expected $expected_status"
  elif [ "$(wc -l <"$work/stderr")" != 1 ] || ! grep -q '^vesperine-render: ' "$work/stderr"; then
    fail "$description: expected one line of error, got: $(cat "$work/stderr")"
  else
    return 0
  fi
  return 1
}

# The closing line, and the script's status.
summary() {
  echo "$passed passed, $failed failed"
  [ "$failed" = 0 ]
}
