# The shell tests' one check suite: source it, call expect for each check,
# end with expect_summary.
#
#   expect NAME COMMAND...   counts COMMAND's success; names it when it fails
#   expect_summary WHAT      prints "WHAT: N passed, N failed"; fails on a failure
passed=0
failed=0
expect() {
    local name=$1
    shift
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        printf 'FAILED: %s\n' "$name"
    fi
}
expect_summary() {
    printf '%s: %d passed, %d failed\n' "$1" "$passed" "$failed"
    [ "$failed" -eq 0 ]
}
