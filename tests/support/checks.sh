# Named checks for the shell-driven tests: each prints ok or FAILED (with what
# the command printed), and finish ends the script with the tally.
passes=0 failures=0
check() {  # check DESCRIPTION COMMAND...
    # A file, not a pipe: Wine's helper processes may keep a pipe open.
    local output
    output=$(mktemp)
    if "${@:2}" >"$output" 2>&1; then
        echo "ok:     $1"; passes=$((passes + 1))
    else
        echo "FAILED: $1"; failures=$((failures + 1))
        sed 's/^/    /' "$output"
    fi
    rm -f "$output"
}
finish() {
    echo "$passes passed, $failures failed"
    [ "$failures" -eq 0 ]
}
