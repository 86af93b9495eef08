# The private 32-bit Wine runtime in which the x86 build's tests run. Sourced by lib.sh.
#
# The system's Wine here is 64-bit only: installing Debian's wine32 would mean
# adding the i386 architecture to dpkg, which these machines never get. Instead,
# Wine's i386 packages of exactly the installed Wine version, and the few i386
# libraries its unix side loads, are fetched with apt-get download into a
# private apt state and unpacked with dpkg -x into one folder. A copy of the
# system's 64-bit loader in that folder runs both widths: it finds the i386 files
# beside itself and starts 32-bit processes through wine-preloader (see that
# file). Where the kernel cannot run 32-bit programs, the 32-bit loader runs
# under user-mode QEMU (qemu-i386 from bookworm-backports: version 10 or later,
# since 7.2 takes about a minute to start each process).
#
# The folder is kept in a cache outside the build tree, named by everything it
# is made of, so a second run (or a fresh clone) downloads and unpacks nothing.
# Nothing is installed on the system and no apt or dpkg setting changes.

VANTREL_CACHE="${VANTREL_CACHE:-/var/cache/pelmora-vantrel}"
WINE32_DIR="$ROOT/scripts/wine32"
# The i386 libraries that Wine's unix side loads for what the tests use
# (windows, fonts, the registry, processes); no sound, GL or media decoding.
WINE32_LIBRARIES=(libc6 libgcc-s1 zlib1g libx11-6 libxext6 libxcb1 libxau6 libxdmcp6 libbsd0 libmd0 libxrender1
                  libxi6 libxrandr2 libxfixes3 libxcursor1 libxinerama1 libxcomposite1 libxxf86vm1 libfreetype6
                  libpng16-16 libbrotli1 libfontconfig1 libexpat1)
WINE32_MIN_QEMU=10

# apt-get or apt-cache on the private state: Debian 12's archives, both architectures.
private_apt() {
  local tool="$1" state="$VANTREL_CACHE/apt"
  shift
  "$tool" -q -o Dir::State="$state/state" -o Dir::State::status="$state/status" \
    -o Dir::Etc::SourceList="$state/sources.list" -o Dir::Etc::SourceParts="$state/sources.list.d" \
    -o Dir::Etc::PreferencesParts="$state/preferences.d" -o Dir::Cache="$state/cache" \
    -o APT::Architectures::=amd64 -o APT::Architectures::=i386 -o APT::Sandbox::User=root "$@"
}

private_apt_update() {
  local state="$VANTREL_CACHE/apt" suite
  mkdir -p "$state/state/lists/partial" "$state/cache/archives/partial" "$state/sources.list.d" "$state/preferences.d"
  : >"$state/status"
  : >"$state/sources.list"
  for suite in bookworm bookworm-updates bookworm-backports; do
    echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian $suite main" \
      >>"$state/sources.list"
  done
  echo "deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security \
bookworm-security main" >>"$state/sources.list"
  private_apt apt-get update >/dev/null || { echo "Cannot read Debian's package lists for the 32-bit Wine runtime" >&2; return 1; }
}

# The newest qemu-user in the archives, if it is at least version 10.
newest_qemu_user() {
  local best="" version
  for version in $(private_apt apt-cache madison qemu-user | awk -F'|' '{gsub(/ /, "", $2); print $2}'); do
    if [[ -z "$best" ]] || dpkg --compare-versions "$version" gt "$best"; then best="$version"; fi
  done
  if [[ -z "$best" ]] || dpkg --compare-versions "$best" lt "$WINE32_MIN_QEMU"; then
    echo "qemu-user ${best:-(none)} is all Debian offers here; the 32-bit Wine runtime needs version $WINE32_MIN_QEMU or later" >&2
    return 1
  fi
  echo "$best"
}

# Downloads the packages given as name=version into the current folder; a
# package that cannot be had is named.
download_packages() {
  private_apt apt-get download "$@" >/dev/null 2>&1 && return 0
  local package
  for package in "$@"; do
    private_apt apt-get download "$package" >/dev/null 2>&1 || {
      echo "Cannot download the package $package for the 32-bit Wine runtime:" >&2
      private_apt apt-get download "$package" 2>&1 | grep -E '^(E|W):' >&2
      return 1
    }
  done
}

# Makes the runtime where it is not there yet, and sets WINE32_RUNTIME to its folder.
ensure_wine32_runtime() {
  local wine_version mode key runtime
  wine_version="$(dpkg-query -W -f='${Version}' wine64)"
  mode=native
  ((VANTREL_KERNEL_RUNS_32BIT)) || mode=qemu
  key="$(cat "$WINE32_DIR/runtime.sh" "$WINE32_DIR/wine-preloader" "$WINE32_DIR/trapno_preload.c" | sha256sum | cut -c1-12)"
  runtime="$VANTREL_CACHE/wine32-runtime-${wine_version//[^A-Za-z0-9.+-]/_}-$mode-$key"
  WINE32_RUNTIME="$runtime"
  [[ -f "$runtime/.complete" ]] && return 0

  echo "Making the 32-bit Wine runtime ($mode) in $runtime (once per machine and Wine version)..."
  local started=$SECONDS
  # A runtime made by other scripts or for another Wine is not used again.
  rm -rf "$VANTREL_CACHE"/wine32-runtime-*
  private_apt_update || return 1
  local packages=("wine32:i386=$wine_version" "libwine:i386=$wine_version") library qemu_version=""
  for library in "${WINE32_LIBRARIES[@]}"; do packages+=("$library:i386"); done
  if [[ $mode == qemu ]]; then
    qemu_version="$(newest_qemu_user)" || return 1
    packages+=("qemu-user=$qemu_version")
  fi
  local debs="$runtime.debs"
  mkdir -p "$runtime" "$debs"
  (cd "$debs" && download_packages "${packages[@]}") || return 1

  local deb
  for deb in "$debs"/*.deb; do
    if [[ $deb == */qemu-user_* ]]; then
      # Only the i386 emulator is needed, not the other 40 targets.
      dpkg-deb --fsys-tarfile "$deb" | tar -x -C "$runtime" ./usr/bin/qemu-i386
    else
      dpkg -x "$deb" "$runtime"
    fi
  done
  rm -rf "$debs"

  local wine_dir="$runtime/usr/lib/wine" i386_libs="$runtime/usr/lib/i386-linux-gnu"
  # Wine's 64-bit loader and server run from the system; the loader is copied,
  # since it finds its files (the i386 ones included) from its own folder.
  cp /usr/lib/wine/wine64 "$wine_dir/wine64"
  rm -f "$wine_dir/wine-preloader" "$wine_dir/wineserver"
  cp "$WINE32_DIR/wine-preloader" "$wine_dir/wine-preloader"
  ln -s /usr/lib/wine/wineserver64 "$wine_dir/wineserver"
  mkdir -p "$runtime/usr/lib/x86_64-linux-gnu/wine" "$runtime/usr/share"
  ln -s /usr/lib/x86_64-linux-gnu/wine/x86_64-unix "$runtime/usr/lib/x86_64-linux-gnu/wine/x86_64-unix"
  ln -s /usr/lib/x86_64-linux-gnu/wine/x86_64-windows "$runtime/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
  ln -s /usr/share/wine "$runtime/usr/share/wine"
  # Debian's i386 user32 imports zlib1.dll, which libwine's install script makes
  # from the MinGW build of zlib, marked in its DOS stub as a Wine built-in DLL.
  local zlib=/usr/i686-w64-mingw32/lib/zlib1.dll
  { head -c 64 "$zlib"; printf 'Wine builtin DLL'; head -c 16 /dev/zero; tail -c +97 "$zlib"; } \
    >"$i386_libs/wine/i386-windows/zlib1.dll"
  # Debian keeps some i386 libraries in lib/, which the loader does not search under QEMU's -L.
  for library in "$runtime"/lib/i386-linux-gnu/*; do
    [[ -e "$i386_libs/${library##*/}" ]] || ln -s "../../../lib/i386-linux-gnu/${library##*/}" "$i386_libs/${library##*/}"
  done
  if [[ $mode == qemu ]]; then
    # The trap number fix, preloaded into every 32-bit process (see trapno_preload.c).
    gcc -m32 -nostdinc -fPIC -O2 -Wall -Wextra -c "$WINE32_DIR/trapno_preload.c" -o "$runtime/trapno_preload.o"
    ld -m elf_i386 -shared -o "$i386_libs/vantrel-trapno.so" "$runtime/trapno_preload.o" \
      "$runtime/lib/i386-linux-gnu/libc.so.6"
    rm -f "$runtime/trapno_preload.o"
    echo /usr/lib/i386-linux-gnu/vantrel-trapno.so >"$runtime/etc/ld.so.preload"
  else
    cp -L "$runtime/lib/ld-linux.so.2" "$wine_dir/ld-linux.so.2"
  fi
  touch "$runtime/.complete"
  echo "The 32-bit Wine runtime is ready ($((SECONDS - started)) s, $(du -sm "$runtime" | cut -f1) MB)."
}
