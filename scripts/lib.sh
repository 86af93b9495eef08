# Shared steps of ./scripts/run and ./scripts/test: packages, build, Wine prefixes.
# Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/x64"
ARCHES=(x64 x86)

# Whether this machine's kernel runs 32-bit programs, checked once per command
# (the result travels to the scripts' own sub-shells in the environment). On
# some virtual machines the hypervisor turns IA-32 emulation off: the 32-bit
# dynamic loader then fails with "Exec format error" (exit 126). There the
# private 32-bit Wine runtime runs its 32-bit loader under user-mode QEMU.
# Set to 0 beforehand, it makes any machine take the QEMU path.
if [[ -z "${VANTREL_KERNEL_RUNS_32BIT:-}" ]]; then
  VANTREL_KERNEL_RUNS_32BIT=1
  if [[ -e /lib/ld-linux.so.2 ]]; then
    rc=0
    /lib/ld-linux.so.2 --help >/dev/null 2>&1 || rc=$?
    ((rc != 126)) || VANTREL_KERNEL_RUNS_32BIT=0
    unset rc
  fi
  export VANTREL_KERNEL_RUNS_32BIT
fi

# The command that runs a Windows program, for the scripts and for CTest:
# Wine's 64-bit loader, the system's (VANTREL_WINE_KIND 64, which runs the x64
# build) or the private 32-bit runtime's (wow64, which runs both widths; see
# use_wine32_runtime). WINELOADER keeps the processes that Wine starts on the
# same loader; the command sets it itself, so that CTest needs no environment
# of ours. The scripts' own sub-shells keep the kind of the command that
# started them.
#
# Every Wine process starts without address randomization (setarch -R, which
# the processes it starts inherit). Debian's wine64 comes without the 64-bit
# preloader that reserves Wine's fixed addresses before anything else is
# mapped: its loader sits at 0x7d000000, and the kernel starts the loader's
# heap anywhere in the gigabyte above it. Where that heap covers 0x7ffe0000,
# the address of the shared user data, the new process exits at once (an error
# that WINEDEBUG=-all hides) and CreateProcess fails with error 1359: 8 of
# 64,000 starts did. Without randomization the heap begins right after the loader.
set_wine_command() {
  if [[ $VANTREL_WINE_KIND == wow64 ]]; then
    WINELOADER="$WINE32_RUNTIME/usr/lib/wine/wine64"
  else
    WINELOADER=/usr/lib/wine/wine64
  fi
  WINE=(setarch "$(uname -m)" --addr-no-randomize env "WINELOADER=$WINELOADER" "$WINELOADER")
  export WINELOADER VANTREL_WINE_KIND
}
[[ ${VANTREL_WINE_KIND:-} == wow64 && -n ${WINE32_RUNTIME:-} ]] || VANTREL_WINE_KIND=64
set_wine_command
# What ./scripts/run needs; ./scripts/test, bench and look need the x86 compiler as well,
# and the release packages need Python (cmake/release_package.py) and git (the commit's time).
RUN_PACKAGES=(wine64 wine fonts-wine g++-mingw-w64-x86-64-posix cmake make xvfb xauth imagemagick googletest
              fonts-liberation gstreamer1.0-plugins-base gstreamer1.0-plugins-good)
PACKAGES=("${RUN_PACKAGES[@]}" g++-mingw-w64-i686-posix python3 git)

source "$ROOT/scripts/wine32/runtime.sh"

# Runs both widths from here on through the private 32-bit Wine runtime
# (scripts/wine32), making it first where it is not there yet.
use_wine32_runtime() {
  ensure_wine32_runtime || return 1
  export WINE32_RUNTIME
  VANTREL_WINE_KIND=wow64
  set_wine_command
}

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono/Gecko install prompts in fresh prefixes

# Runs a Windows program with the Wine loader that this machine can start.
run_wine() {
  "${WINE[@]}" "$@"
}

# The seconds each phase of a script took, one line per phase in a file that
# the script's background jobs append to as well; printed at the end
# (print_phases), so that where the time goes is seen on every run.
PHASES_FILE=""
start_phases() {
  mkdir -p "$ROOT/build"
  PHASES_FILE="$ROOT/build/phases-$1.txt"
  : >"$PHASES_FILE"
  PHASES_START=$SECONDS
}
# Runs a command as the phase named, notes its seconds, and returns its
# status. The command runs as it would without it: where the caller's errexit
# applies (a bare call under set -e), a failure ends the script there.
phase() {
  local name="$1" start=$SECONDS cpu=0 status
  shift
  [[ -z "$PHASES_FILE" ]] || { children_cpu; cpu=$CHILDREN_CPU; }
  "$@"
  status=$?
  [[ -n "$PHASES_FILE" ]] || return $status
  children_cpu
  printf '  %-44s %5d s   CPU %5d s%s\n' "$name" $((SECONDS - start)) $((CHILDREN_CPU - cpu)) \
    "$( ((status == 0)) || echo "  (failed: $status)")" >>"$PHASES_FILE"
  return $status
}
# Sets CHILDREN_CPU to the CPU seconds (user and system) of this shell's
# finished child processes so far, from the shell's own "times": a phase's
# CPU beside its seconds tells a slow phase from a machine busy with other
# work. ("times" reports on the shell it runs in: it writes to a file, never
# to a command substitution's subshell.)
children_cpu() {
  local file="$PHASES_FILE.times.$BASHPID" user system time minutes seconds total=0
  times >"$file"
  read -r user system < <(tail -n 1 "$file")
  rm -f "$file"
  for time in "$user" "$system"; do
    minutes=${time%%m*} seconds=${time#*m}
    seconds=${seconds%s}
    total=$((total + 10#$minutes * 60 + 10#${seconds%%.*}))
  done
  CHILDREN_CPU=$total
}
print_phases() {
  [[ -n "$PHASES_FILE" && -f "$PHASES_FILE" ]] || return 0
  echo "== Time per phase, in seconds${1:+ ($1)} =="
  cat "$PHASES_FILE"
  printf '  %-44s %5d s\n' "the whole command" $((SECONDS - PHASES_START))
}

# Installs whatever of the packages is missing (quiet, does nothing when all are
# there): all of them, or the ones named.
ensure_packages() {
  local missing=() wanted=("${@:-${PACKAGES[@]}}")
  local p
  for p in "${wanted[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# Configures one width's build tree with the Wine command in use: its tests
# of 32-bit programs run where that command is the private 32-bit runtime.
configure() {
  local runs=OFF
  [[ $VANTREL_WINE_KIND == wow64 ]] && runs=ON
  cmake --preset "$1" "-DVANTREL_WINE=$(IFS=';'; echo "${WINE[*]}")" "-DVANTREL_RUNS_32BIT=$runs" >/dev/null
}

# Builds only the x64 program (with its help file) and, for the screenshot
# without a display, the driver (with only the main window's scenarios) that starts it.
build_program() {
  configure x64
  cmake --build --preset x64 -j2 --target vantrel vantrel_screenshot
}

# Builds one width's program, tests and release package, with the number of
# parallel jobs given (2 by default).
build_tree() {
  configure "$1" &&
    cmake --build --preset "$1" -j"${2:-2}" &&
    cmake --build --preset "$1" --target package >/dev/null
}

# The prefix template of the Wine command in use: the 64-bit loader's, or the
# 32-bit runtime's, whose prefixes also hold the 32-bit system (syswow64).
template_dir() {
  echo "$ROOT/build/wine-template-$VANTREL_WINE_KIND"
}

# A prefix template made once per build tree and Wine version: fonts linked in,
# no window manager stalls, no crash dialog waiting forever.
ensure_template() {
  local template
  template="$(template_dir)"
  local key
  key="$(dpkg-query -W wine64 wine fonts-wine | tr '\n' ' ') ${WINE[*]} v6"
  if [[ -f "$template/.vantrel-key" && "$(cat "$template/.vantrel-key")" == "$key" ]]; then
    return
  fi
  echo "Making the Wine prefix template (once per build tree)..."
  rm -rf "$template"
  mkdir -p "$ROOT/build"  # Wine makes the prefix's folder, but not the folders above it
  WINEPREFIX="$template" run_wine wineboot.exe -i >/dev/null 2>&1 </dev/null
  mkdir -p "$template/drive_c/windows/Fonts"
  ln -sf /usr/share/wine/fonts/*.ttf "$template/drive_c/windows/Fonts/" 2>/dev/null || true
  WINEPREFIX="$template" run_wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  WINEPREFIX="$template" run_wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1 </dev/null
  # Fonts with the metrics of the Windows fonts the dialogs name, so that their
  # texts fit their fields as they do on Windows.
  WINEPREFIX="$template" run_wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' \
    /d 'Liberation Serif' /f >/dev/null 2>&1 </dev/null
  WINEPREFIX="$template" run_wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v 'MS Shell Dlg' /d 'Liberation Sans' /f >/dev/null 2>&1 </dev/null
  # Text files open with the editor, as on any Windows machine (a fresh Wine prefix lacks the association).
  WINEPREFIX="$template" run_wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1 </dev/null
  WINEPREFIX="$template" wineserver -w
  echo "$key" >"$template/.vantrel-key"
}

# A fresh prefix copied from the template: hard links, plus real copies of the
# registry files, which Wine replaces rather than edits.
fresh_prefix() {
  local target="$1"
  local template
  template="$(template_dir)"
  rm -rf "$target"
  cp -al "$template" "$target"
  for f in system.reg user.reg userdef.reg; do
    cp --remove-destination "$template/$f" "$target/$f"
  done
}

# The first X display number from $1 on that no X server holds, for xvfb-run -n
# (its -a would let two runs started together pick the same number).
free_display() {
  local n="$1"
  while [[ -e "/tmp/.X$n-lock" || -e "/tmp/.X11-unix/X$n" ]]; do n=$((n + 1)); done
  echo "$n"
}

# The CPUs this process may run on, one number per line ("0-1,4" gives 0, 1, 4).
allowed_cpus() {
  local list part parts
  list="$(sed -n 's/^Cpus_allowed_list:[[:space:]]*//p' /proc/self/status)"
  IFS=, read -ra parts <<<"$list"
  for part in "${parts[@]}"; do
    if [[ $part == *-* ]]; then seq "${part%-*}" "${part#*-}"; else echo "$part"; fi
  done
}

# Starts the prefix's server detached, so that runners capturing output do not wait on it.
start_wineserver() {
  wineserver -p >/dev/null 2>&1 </dev/null
  run_wine cmd /c exit >/dev/null 2>&1 </dev/null
}

# Keeps a Wine process waiting in the prefix until its server is stopped, its
# output detached. Wine's desktop process ends a moment after its last client
# has gone; a test that started it again handed it the test's output, which
# CTest reads to the end, so each test then waited about a second for the
# desktop to wind down, and the next started it again. With one client left
# the desktop stays up between tests.
keep_desktop_up() {
  local fifo="$WINEPREFIX/desktop-keeper"
  rm -f "$fifo"
  mkfifo "$fifo"
  run_wine cmd /c "set /p x=" <"$fifo" >/dev/null 2>&1 &
  # Held open by the calling shell: the waiting read ends when it does.
  exec {desktop_keeper_fd}>"$fifo"
  rm -f "$fifo"
}
