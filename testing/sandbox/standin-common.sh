# Shared part of the stand-in MTD utilities (sourced). Each call runs the
# hooks for its tool, acts on the partition file bound at /dev/mtdN, and
# ends with finish STATUS, which logs "TOOL ARGS... -> STATUS". Erase blocks
# are 64 KiB, as on the unit's flash.
run=/run/unit-sandbox
config=$run/config
erase_block=65536
tool=${0##*/}
call="$tool${*:+ $*}"
args="$*"

run_hooks() { # TOOL ARGS...: every --hook for TOOL, in the order given
    for item in "$config"/hooks/*.tool; do
        [ -f "$item" ] && [ "$(cat "$item")" = "$1" ] || continue
        sh -c "$(cat "${item%.tool}.command")" "$@" || true
    done
}

# --fail TOOL or --fail TOOL:DEVICE
told_to_fail() { grep -qxF -e "$tool" -e "$tool:$1" "$config/fail"; }

finish() {
    # shellcheck disable=SC2086
    [ "$1" != 0 ] || run_hooks "$tool.after" $args
    printf '%s -> %s\n' "$call" "$1" >>"$run/log"
    exit "$1"
}

# The real tools' two-line error form.
error_lines() { printf '%s: error!: %s\n            error %s\n' "$tool" "$1" "$2" >&2; }

# fill_ff FILE OFFSET LENGTH: what an erase leaves behind.
fill_ff() {
    [ "$3" -gt 0 ] || return 0
    head -c "$3" /dev/zero | tr '\000' '\377' |
        dd of="$1" bs=65536 seek="$2" oflag=seek_bytes conv=notrunc status=none
}

# flash_lock and flash_unlock: on flash without lock support the real tools
# fail with status 255 and EOPNOTSUPP.
lock_tool() {
    [ $# -ge 1 ] && [ $# -le 3 ] || { echo "usage: $tool DEVICE [START [COUNT]]" >&2; finish 255; }
    [ -e "$1" ] || { error_lines "could not open: $1" "2 (No such file or directory)"; finish 255; }
    if told_to_fail "$1"; then
        error_lines "could not ${tool#flash_} device: $1" "95 (Operation not supported)"
        finish 255
    fi
    finish 0
}

# shellcheck disable=SC2086
run_hooks "$tool" $args
