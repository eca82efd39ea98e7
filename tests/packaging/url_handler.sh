#!/usr/bin/env bash
# An orvanti: link opened with xdg-open starts the packaged application with the link as its
# first argument, through the package's desktop entry registered in a private XDG_DATA_HOME.
# The entry's copy there runs a wrapper that notes its process id and then execs the real
# program, so /proc/PID/cmdline is the started orvanti's own argv. The application runs on the
# offscreen platform; its diagnostic log (libbrisel.so, BRISEL_LOG) tells whether it took the
# enrollment string. A link with an invalid string starts it normally, without an enrollment.
set -euo pipefail
deb=$(ls "$1"/orvanti_*.deb)
for tool in dpkg-deb xdg-open xdg-mime update-desktop-database; do
  command -v $tool >/dev/null || { echo "SKIP: $tool is missing"; exit 77; }
done
tmp=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$tmp"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

root=$tmp/root
dpkg-deb -x "$deb" "$root"
lib=$(dirname "$(find "$root" -name 'libovcore.so.*' -type f | head -1)")
mkdir -p -m 700 "$tmp/data/applications" "$tmp/config" "$tmp/home" "$tmp/run"

cat >"$tmp/orvanti-wrapper" <<WRAPPER
#!/bin/sh
echo \$\$ >"$tmp/started.\$\$"
exec "$root/usr/bin/orvanti" "\$@"
WRAPPER
chmod +x "$tmp/orvanti-wrapper"
sed -e "s|^Exec=orvanti |Exec=$tmp/orvanti-wrapper |" -e "s|^TryExec=.*|TryExec=$tmp/orvanti-wrapper|" \
  "$root/usr/share/applications/orvanti.desktop" >"$tmp/data/applications/orvanti.desktop"
grep -q "^Exec=$tmp/orvanti-wrapper %u\$" "$tmp/data/applications/orvanti.desktop" ||
  fail "the entry's Exec is not 'orvanti %u'"

# xdg-open looks for a scheme handler only when a display is named (DISPLAY or WAYLAND_DISPLAY);
# a WAYLAND_DISPLAY naming no compositor satisfies it, and QT_QPA_PLATFORM=offscreen keeps the
# application from connecting to it.
in_env() {
  env -i PATH=/usr/bin:/bin HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" WAYLAND_DISPLAY=none \
    XDG_CONFIG_HOME="$tmp/config" XDG_DATA_DIRS="$tmp/none" XDG_RUNTIME_DIR="$tmp/run" \
    QT_QPA_PLATFORM=offscreen LD_LIBRARY_PATH="$lib" "$@"
}
in_env update-desktop-database "$tmp/data/applications"
grep -q '^x-scheme-handler/orvanti=orvanti.desktop;' "$tmp/data/applications/mimeinfo.cache" ||
  fail "update-desktop-database does not list orvanti.desktop for x-scheme-handler/orvanti"
in_env xdg-mime default orvanti.desktop x-scheme-handler/orvanti
handler=$(in_env xdg-mime query default x-scheme-handler/orvanti)
[ "$handler" = orvanti.desktop ] || fail "xdg-mime query default: '$handler'"

# Opens the link; prints the process id of the orvanti it started.
open_link() {
  local link=$1 log=$2 before pid
  before=$(ls "$tmp" | grep -c '^started\.' || true)
  in_env BRISEL_LOG="$log" xdg-open "$link" >"$tmp/xdg-open.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do
    [ "$(ls "$tmp" | grep -c '^started\.' || true)" -gt "$before" ] && break
    sleep 0.1
  done
  pid=$(ls -t "$tmp" | grep '^started\.' | head -1 | cut -d. -f2)
  [ -n "$pid" ] || { cat "$tmp/xdg-open.log" >&2; fail "xdg-open started nothing for $link"; }
  pids+=("$pid")
  echo "$pid"
}
# Waits until the application has shown its first screen (its log says so) and checks it still runs.
expect_running() {
  local pid=$1 log=$2
  for _ in $(seq 100); do
    grep -q 'COrvantiDlg::start leave' "$log" 2>/dev/null && break
    sleep 0.1
  done
  kill -0 "$pid" 2>/dev/null || { cat "$tmp/xdg-open.log" >&2; fail "orvanti ($pid) is not running"; }
  grep -q 'COrvantiDlg::start leave' "$log" || { cat "$log"; fail "orvanti ($pid) shows no window"; }
}
stop() { kill "$1"; for _ in $(seq 50); do kill -0 "$1" 2>/dev/null || return 0; sleep 0.1; done; }

string=$(printf 'EnrollmentURL=https://enroll.example/dskpp\r\nUserID=alice' | base64 -w0)
link="orvanti:enrollment=$string"
pid=$(open_link "$link" "$tmp/valid.log")
argv=$(tr '\0' '\n' <"/proc/$pid/cmdline")
[ "$argv" = "$(printf '%s\n%s' "$root/usr/bin/orvanti" "$link")" ] ||
  fail "orvanti started with: $(echo $argv)"
expect_running "$pid" "$tmp/valid.log"
grep -q 'Enrollment String' "$tmp/valid.log" || { cat "$tmp/valid.log"; fail "orvanti did not take the enrollment string"; }
stop "$pid"

link="orvanti:enrollment=not base64!"
pid=$(open_link "$link" "$tmp/invalid.log")
argv=$(tr '\0' '\n' <"/proc/$pid/cmdline")
[ "$argv" = "$(printf '%s\n%s' "$root/usr/bin/orvanti" "$link")" ] ||
  fail "orvanti started with: $(echo $argv)"
expect_running "$pid" "$tmp/invalid.log"
grep -q 'Enrollment String' "$tmp/invalid.log" && fail "orvanti took an invalid enrollment string"
stop "$pid"
echo "xdg-open starts orvanti with the orvanti: link"
