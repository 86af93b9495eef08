# Shared steps of ./scripts/run and ./scripts/test: packages, build, Wine prefixes.
# Sourced, not run.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="$ROOT/build/x64"
ARCHES=(x64 x86)
PACKAGES=(wine64 wine wine32:i386 g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix cmake make xvfb xauth
          imagemagick googletest python3 fonts-liberation)

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono/Gecko install prompts in fresh prefixes

# Installs whatever of the packages is missing (quiet, does nothing when all are there).
ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
  done
  if ((${#missing[@]})); then
    echo "Installing: ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    # The 32-bit build runs under Wine's 32-bit half, which comes from the i386 architecture.
    dpkg --print-foreign-architectures | grep -q i386 || dpkg --add-architecture i386
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  fi
}

# Builds the program, its tests and its release package for both widths.
build_all() {
  local arch
  for arch in "${ARCHES[@]}"; do
    cmake --preset "$arch" >/dev/null
    cmake --build --preset "$arch" -j2
    cmake --build --preset "$arch" --target package >/dev/null
  done
}

# A prefix template made once per build tree and Wine version: fonts linked in,
# no window manager stalls, no crash dialog waiting forever.
ensure_template() {
  local template="$ROOT/build/wine-template"
  local key
  key="$(dpkg-query -W wine wine64 wine32:i386 2>/dev/null | tr '\n' ' ') v4"
  if [[ -f "$template/.vantrel-key" && "$(cat "$template/.vantrel-key")" == "$key" ]]; then
    return
  fi
  echo "Making the Wine prefix template (once per build tree)..."
  rm -rf "$template"
  WINEPREFIX="$template" wineboot -i >/dev/null 2>&1 </dev/null
  mkdir -p "$template/drive_c/windows/Fonts"
  ln -sf /usr/share/wine/fonts/*.ttf "$template/drive_c/windows/Fonts/" 2>/dev/null || true
  WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 </dev/null
  WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    >/dev/null 2>&1 </dev/null
  # Fonts with the metrics of the Windows fonts the dialogs name, so that their
  # texts fit their fields as they do on Windows.
  WINEPREFIX="$template" wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'Times New Roman' \
    /d 'Liberation Serif' /f >/dev/null 2>&1 </dev/null
  WINEPREFIX="$template" wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontSubstitutes' \
    /v 'MS Shell Dlg' /d 'Liberation Sans' /f >/dev/null 2>&1 </dev/null
  # Text files open with the editor, as on any Windows machine (a fresh Wine prefix lacks the association).
  WINEPREFIX="$template" wine reg add 'HKCR\.txt' /ve /d txtfile /f >/dev/null 2>&1 </dev/null
  WINEPREFIX="$template" wineserver -w
  echo "$key" >"$template/.vantrel-key"
}

# A fresh prefix copied from the template: hard links, plus real copies of the
# registry files, which Wine replaces rather than edits.
fresh_prefix() {
  local target="$1"
  rm -rf "$target"
  cp -al "$ROOT/build/wine-template" "$target"
  for f in system.reg user.reg userdef.reg; do
    cp --remove-destination "$ROOT/build/wine-template/$f" "$target/$f"
  done
}

# Starts the prefix's server detached, so that runners capturing output do not wait on it.
start_wineserver() {
  wineserver -p >/dev/null 2>&1 </dev/null
  wine cmd /c exit >/dev/null 2>&1 </dev/null
}
