# Shared by run.sh, test.sh and bench.sh: packages, build, Wine prefixes and the Wine server.
# Sourced, not run.

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
BUILD_DIR=${BUILD_DIR:-$ROOT/build}
PACKAGES=(wine wine64 fonts-wine g++-mingw-w64-x86-64-posix mingw-w64-tools clang xvfb xauth cmake make googletest imagemagick x11-apps)

log() { printf '[%s] %s\n' "$(basename "$0")" "$*" >&2; }

ensure_packages() {
  local missing=()
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  log "installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures the build folder the first time and builds the targets named, or every target.
build_project() {
  if [ ! -f "$BUILD_DIR/CMakeCache.txt" ]; then
    log "configuring the build folder $BUILD_DIR (the first build takes a few minutes)"
    cmake -S "$ROOT" -B "$BUILD_DIR" -DCMAKE_TOOLCHAIN_FILE="$ROOT/cmake/mingw-w64-x86_64.cmake" \
      -DCMAKE_BUILD_TYPE=Release >/dev/null
  fi
  local targets=()
  [ $# -gt 0 ] && targets=(--target "$@")
  log "building ${*:-everything}"
  # The build's own status, read in the pipeline's statement: a "|| true" after the pipeline
  # would run when the build failed (pipefail) and leave only its own status behind.
  cmake --build "$BUILD_DIR" -j2 "${targets[@]}" -- --no-print-directory |
    { grep -E 'error:|warning:|Error [0-9]|No rule' >&2 || true; }
  local built=${PIPESTATUS[0]}
  [ "$built" -eq 0 ] || { log "build failed"; return 1; }
}

export WINEDEBUG=${WINEDEBUG:--all}
export WINEARCH=win64
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-"mscoree,mshtml="}

# The settings every prefix of ours gets: Wine draws frames itself (no 2 s wait for a window
# manager on a bare display) and a crash ends with a backtrace instead of a dialog.
configure_prefix() {
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
  wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
}

# Wine's own TrueType fonts (Marlett draws the title bars' buttons, Tahoma is the windows'
# font) come with fonts-wine, but this Wine does not load them from where the package puts
# them: they go into the prefix's font folder (files already there are kept).
install_wine_fonts() {
  local fonts="$WINEPREFIX/drive_c/windows/Fonts"
  mkdir -p "$fonts"
  cp -n /usr/share/wine/fonts/* "$fonts/" 2>/dev/null || true
}

# Makes $WINEPREFIX a working prefix if it is not one yet.
init_prefix() {
  if [ ! -f "$WINEPREFIX/system.reg" ]; then
    log "preparing Wine prefix $WINEPREFIX (about a minute)"
    mkdir -p "$WINEPREFIX"
    wineboot --init >/dev/null 2>&1
    wineserver -w
  fi
  install_wine_fonts
  configure_prefix
}

# The template prefix of this build folder, from which throwaway prefixes are copied.
template_prefix() {
  local template="$BUILD_DIR/wine-template"
  if [ ! -f "$template/system.reg" ]; then
    ( export WINEPREFIX="$template"; init_prefix; wineserver -w )
  fi
  # A template made before the fonts were installed gets them too.
  ( export WINEPREFIX="$template"; install_wine_fonts )
  printf '%s\n' "$template"
}

# Copies a prefix into a new throwaway folder and prints the folder.
throwaway_prefix() {
  local source=$1 dir
  dir=$(mktemp -d /tmp/sm-prefix-XXXXXX)
  cp -a "$source/." "$dir/"
  printf '%s\n' "$dir"
}

start_wineserver() {
  wineserver -p >/dev/null 2>&1
  wine wineboot.exe >/dev/null 2>&1 || true
}

stop_wineserver() { wineserver -k >/dev/null 2>&1 || true; }

# Makes a throwaway copy of a prefix and exports WINEPREFIX to it; the copy and its Wine server
# go when the calling script exits. The copy is configured, and no Wine server runs on return:
# the one that wrote the settings ran without a display, and so did the desktop process it
# started, so windows made under it would have no graphics driver.
enter_throwaway_prefix() {
  WINEPREFIX=$(throwaway_prefix "$1")
  export WINEPREFIX
  trap 'WINEPREFIX="$WINEPREFIX" wineserver -k >/dev/null 2>&1; rm -rf "$WINEPREFIX"' EXIT
  configure_prefix
  wineserver -w
}

# Runs a command on one virtual display (1280x1024, for the whole command: several xvfb-run
# started at once would pick the same display) with one Wine server kept running meanwhile.
# The command's exit code is the result.
on_virtual_display() {
  xvfb-run -a -n $((100 + RANDOM % 800)) -s "-screen 0 1280x1024x24" bash -c '
    source "$1/scripts/common.sh"
    shift
    start_wineserver
    "$@"
    rc=$?
    stop_wineserver
    exit $rc
  ' on-virtual-display "$ROOT" "$@"
}
