# Shared part of the stand-in MTD utilities (sourced, not run). Each call:
#   begin TOOL ARGS...   runs the hooks for TOOL, remembers the call
#   told_to_fail DEVICE  whether --fail TOOL or TOOL:DEVICE was given
#   finish STATUS        appends "TOOL ARGS... -> STATUS" to the log, exits
# Erase blocks are 64 KiB, so START and COUNT of flash_erase mean what they
# mean on the unit's flash.
run=/run/unit-sandbox
config=$run/config
erase_block=65536

begin() {
    tool=$1
    shift
    call="$tool${*:+ $*}"
    args="$*"
    run_hooks "$@"
}

run_hooks() {
    n=1
    while [ -f "$config/hooks/$n.tool" ]; do
        if [ "$(cat "$config/hooks/$n.tool")" = "$tool" ]; then
            sh -c "$(cat "$config/hooks/$n.command")" "$tool" "$@" || true
        fi
        n=$((n + 1))
    done
}

told_to_fail() {
    grep -qxF -e "$tool" -e "$tool:$1" "$config/fail"
}

# Hooks named TOOL.after run once the tool has acted and succeeded.
finish() {
    # shellcheck disable=SC2086
    [ "$1" != 0 ] || { tool=$tool.after; run_hooks $args; }
    printf '%s -> %s\n' "$call" "$1" >>"$run/log"
    exit "$1"
}

# Prints the real tools' two-line error form: "TOOL: error!: TEXT" and the
# errno line indented beneath it.
error_lines() {
    printf '%s: error!: %s\n            error %s\n' "$tool" "$1" "$2" >&2
}

is_number() {
    case "$1" in '' | *[!0-9]*) return 1 ;; esac
}

size_of() {
    stat -L -c %s "$1"
}

# fill_ff FILE OFFSET LENGTH: what an erase leaves behind.
fill_ff() {
    [ "$3" -gt 0 ] || return 0
    tr '\000' '\377' </dev/zero | head -c "$3" |
        dd of="$1" bs=65536 seek="$2" oflag=seek_bytes conv=notrunc status=none
}

# lock_tool VERB ARGS...: flash_lock and flash_unlock. On flash without
# lock support the real tools fail with status 255 and EOPNOTSUPP.
lock_tool() {
    verb=$1
    shift
    if [ $# -lt 1 ] || [ $# -gt 3 ]; then
        echo "usage: $tool DEVICE [START [COUNT]]" >&2
        finish 255
    fi
    if [ ! -e "$1" ]; then
        error_lines "could not open: $1" "2 (No such file or directory)"
        finish 255
    fi
    if told_to_fail "$1"; then
        error_lines "could not $verb device: $1" "95 (Operation not supported)"
        finish 255
    fi
    finish 0
}
