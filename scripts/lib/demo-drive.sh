# Sourced by scripts/demo --headless once the program runs on the demo's Xvfb: drives it as a user
# would with xdotool and takes screenshots of its windows into $out. Uses the variables and the
# fail function of scripts/demo ($pc, $out, $tmp, $code, $applog, $program_pid, $sim_pid).
#
# Positions are in the program's own windows (the forms have fixed sizes): the main sender window
# is 820x620, the desktop-sync window shows the picture below its 36-pixel title bar with the
# tool bar's handle at the right edge, halfway down.

# Waits until file has a line matching the extended regular expression; fails with reason after
# seconds, or at once when the program or the simulator ended.
wait_line() {
  local file=$1 regex=$2 seconds=$3 reason=$4 i
  for ((i = 0; i < seconds * 10; i++)); do
    grep -qE "$regex" "$file" 2>/dev/null && return 0
    kill -0 "$program_pid" 2>/dev/null || fail "the program ended ($reason)"
    kill -0 "$sim_pid" 2>/dev/null || fail "the receiver simulator ended ($reason)"
    sleep 0.1
  done
  fail "$reason"
}

# The program's visible window of the given size ("main": 820x620, the main sender window), or
# ("other") its largest visible window of another size. Window titles are not searched: xdotool
# does not match the program's Chinese titles.
program_window() {
  local which=$1 best="" area=0 w X Y WIDTH HEIGHT SCREEN WINDOW
  for w in $(ip netns exec "$pc" xdotool search --onlyvisible --pid "$program_pid" 2>/dev/null); do
    eval "$(ip netns exec "$pc" xdotool getwindowgeometry --shell "$w")"
    if [ "$WIDTH" = 820 ] && [ "$HEIGHT" = 620 ]; then
      [ "$which" = main ] && { echo "$w"; return 0; }
    elif [ "$which" = other ] && [ $((WIDTH * HEIGHT)) -gt $area ]; then
      area=$((WIDTH * HEIGHT))
      best=$w
    fi
  done
  echo "$best"
}

# Waits for program_window's answer; prints the window id.
wait_window() {
  local which=$1 seconds=$2 reason=$3 w i
  for ((i = 0; i < seconds * 10; i++)); do
    w=$(program_window "$which")
    [ -n "$w" ] && { echo "$w"; return 0; }
    sleep 0.1
  done
  fail "$reason"
}

# Writes a PNG of one window as the screen shows it now.
shot() {
  local name=$1 window=$2 X Y WIDTH HEIGHT SCREEN WINDOW
  eval "$(ip netns exec "$pc" xdotool getwindowgeometry --shell "$window")"
  ip netns exec "$pc" ffmpeg -nostdin -loglevel error -f x11grab -video_size "${WIDTH}x${HEIGHT}" \
    -i "$DISPLAY+$X,$Y" -frames:v 1 -y "$out/$name.png" || fail "screenshot $name could not be taken"
  echo "demo: screenshot ${out#"$root"/}/$name.png"
}

# Moves the pointer to x,y of the window and clicks there (a short press, as a hand gives it).
click() {
  ip netns exec "$pc" xdotool mousemove --window "$1" "$2" "$3" sleep 0.3 mousedown 1 sleep 0.1 mouseup 1
}

# Clicks x,y of the window until the receiver's log shows a line matching regex (a page that is
# still settling may miss a click); fails with reason after three tries.
click_until() {
  local window=$1 x=$2 y=$3 regex=$4 reason=$5 try i
  for try in 1 2 3; do
    click "$window" "$x" "$y"
    for ((i = 0; i < 50; i++)); do
      grep -qE "$regex" "$out/receiver.log" && return 0
      sleep 0.1
    done
  done
  fail "$reason"
}

# Waits until the window shows the receiver's test pattern: its picture is far more colourful than
# any of the program's own pages (mean saturation above 40 of 255, against about 10).
wait_test_pattern() {
  local window=$1 seconds=$2 i sat X Y WIDTH HEIGHT SCREEN WINDOW
  for ((i = 0; i < seconds * 2; i++)); do
    eval "$(ip netns exec "$pc" xdotool getwindowgeometry --shell "$window")"
    sat=$(ip netns exec "$pc" ffmpeg -nostdin -loglevel error -f x11grab -video_size "${WIDTH}x${HEIGHT}" \
      -i "$DISPLAY+$X,$Y" -frames:v 1 \
      -vf "signalstats,metadata=print:key=lavfi.signalstats.SATAVG:file=-" -f null - 2>/dev/null |
      sed -n 's/.*SATAVG=\([0-9]*\).*/\1/p' | tail -n1)
    [ -n "$sat" ] && [ "$sat" -gt 40 ] && return 0
    sleep 0.5
  done
  fail "the desktop-sync window shows no picture"
}

# Listens for a second to what the program plays on the demo's sound server and fails unless it
# is the receiver's 440 Hz tone (frequency from the zero-crossing rate).
hear_tone() {
  local stats rate hz
  stats=$(ip netns exec "$pc" ffmpeg -nostdin -loglevel info -f pulse -i cast_sink.monitor -t 1 \
    -af astats -f null - 2>&1 || true)
  rate=$(sed -n 's/.*Zero crossings rate: \([0-9.]*\).*/\1/p' <<<"$stats" | tail -n1)
  hz=$(awk -v r="${rate:-0}" 'BEGIN { printf "%d", r * 48000 / 2 + 0.5 }')
  [ "$hz" -gt 400 ] && [ "$hz" -lt 480 ] || fail "the program does not play the receiver's tone (heard ${hz} Hz)"
  heard="a ${hz} Hz tone"
}

demo_drive() {
  local main desk X Y WIDTH HEIGHT SCREEN WINDOW i frames top heard
  wait_line "$applog" "main window shown" 90 "the main window did not come up"
  main=$(wait_window main 20 "the main window is not on the display")
  sleep 1 # the first paint
  shot 01-home "$main"

  # The receiver is found on the LAN and listed; the code page is behind the link at the bottom
  # right. Its six boxes take one digit each and pass the focus on; the sixth digit connects.
  click "$main" 747 580
  sleep 1
  shot 02-code "$main"
  click "$main" 202 250
  ip netns exec "$pc" xdotool type --delay 150 "$code"
  wait_line "$out/receiver.log" "request: connect" 30 "the code $code did not lead to the receiver"
  wait_line "$applog" "connected to receiver" 20 "the connection was not confirmed"
  sleep 1
  shot 03-connected "$main"

  # The function page's carousel: mirroring is the cover in the middle.
  click_until "$main" 410 230 "request: start mirroring" "mirroring was not asked for"
  wait_line "$out/receiver.log" "mirroring: ([3-9][0-9]|[0-9]{3,}) frames decoded" 60 \
    "the receiver decoded no mirroring pictures"
  shot 04-mirroring "$main"

  # End mirroring on its page, then open desktop sync (the cover at the carousel's right end).
  click_until "$main" 420 420 "request: stop mirroring" "mirroring did not stop"
  wait_line "$out/receiver.log" "frames decoded.*\(stopped\)" 20 "the mirroring decoder did not stop"
  frames=$(sed -nE 's/^mirroring: ([0-9]+) frames decoded, ([0-9]+x[0-9]+).*\(stopped\)/\1 frames (\2)/p' \
    "$out/receiver.log" | tail -n1)
  sleep 1
  click_until "$main" 650 265 "desktop: sending" "desktop sync was not started"
  desk=$(wait_window other 20 "the desktop-sync window did not open")
  wait_test_pattern "$desk" 30
  shot 05-desktop-sync "$desk"
  hear_tone

  # The pen: open the tool bar (its handle sits at the right edge, halfway down the picture),
  # choose the pen (the third of five buttons spread over the bar's 410 pixels; its colour
  # palette pops up and Escape closes it), then draw one stroke across the picture.
  eval "$(ip netns exec "$pc" xdotool getwindowgeometry --shell "$desk")"
  top=$((36 + (HEIGHT - 36 - 410) / 2))
  click "$desk" $((WIDTH - 12)) $((top + 205))
  sleep 0.5
  click "$desk" $((WIDTH - 25)) $((top + 143))
  sleep 0.5
  ip netns exec "$pc" xdotool key Escape
  sleep 0.5
  ip netns exec "$pc" xdotool mousemove --window "$desk" $((WIDTH / 4)) $((top + 150)) mousedown 1
  for ((i = 1; i <= 20; i++)); do
    ip netns exec "$pc" xdotool mousemove --window "$desk" $((WIDTH / 4 + i * WIDTH / 50)) \
      $((top + 150 + (i % 5) * 12))
    sleep 0.03
  done
  ip netns exec "$pc" xdotool mouseup 1
  wait_line "$out/receiver.log" "board: pen up" 20 "the receiver got no pen stroke"
  sleep 0.5
  shot 06-desktop-pen "$desk"

  echo "demo: ok: connected by code $code; the receiver decoded $frames of mirroring; desktop" \
    "sync showed its test pattern and played $heard; the receiver got pen $(grep -E 'board: pen up' "$out/receiver.log" | tail -n1 |
      sed -E 's/.*(stroke [0-9]+ of [0-9]+ points in [0-9]+ batches).*/\1/')"
}
