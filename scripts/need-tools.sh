# Sourced by the test scripts. need_tools WHAT VARIABLE TOOL... ends the calling script when a
# tool (a command, or a file named by its absolute path) is missing: it says so and skips (status 0), or fails (status 1) when VARIABLE is set.
need_tools() {
    local what=$1 require=$2 missing= tool
    shift 2
    for tool; do # a command, or the absolute path of a file
        if [[ $tool == /* ]]; then [ -e "$tool" ]; else command -v "$tool" >/dev/null; fi ||
            missing="$missing $tool"
    done
    [ -z "$missing" ] && return 0
    if [ -n "${!require:-}" ]; then
        echo "$what cannot run, missing:$missing"
        exit 1
    fi
    echo "$what skipped, missing:$missing (scripts/install-deps.sh installs them)"
    exit 0
}
