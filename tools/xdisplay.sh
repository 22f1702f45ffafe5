# Sourced through tools/wine.sh: a private X server with a
# tray host, for running the program where there is no screen.

# start_private_display DIR WIDTHxHEIGHT
# Exports DISPLAY and sets xvfb_pid and trayer_pid; logs go to DIR.
start_private_display() {
    local dir=$1 size=$2
    # -displayfd picks a free display number, so this never clashes with
    # another X server (the tests and the run command each start their own).
    rm -f "$dir/display"
    # -noreset: the server keeps its keyboard layout when its last client
    # goes, as it does while the tests switch layouts with no Wine running.
    Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset 3>"$dir/display" >"$dir/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 100); do [ -s "$dir/display" ] && break; sleep 0.1; done
    [ -s "$dir/display" ] || { echo "Xvfb did not start:" >&2; cat "$dir/xvfb.log" >&2; return 1; }
    DISPLAY=:$(cat "$dir/display")
    export DISPLAY
    # Wine docks its tray icons only if a tray host is there when its
    # desktop process starts; otherwise it shows them in a window of its own.
    trayer --edge bottom --align right --widthtype pixel --width 200 \
        --heighttype pixel --height 32 >"$dir/trayer.log" 2>&1 &
    trayer_pid=$!
    for _ in $(seq 50); do xdotool search --classname '^panel$' >/dev/null 2>&1 && break; sleep 0.1; done
}
