# Shared by scripts/test and scripts/demo: install what is missing, build both sides.
set -euo pipefail
VKS_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
VKS_BUILD="${VKS_BUILD:-$VKS_ROOT/build}"
VKS_JOBS="${VKS_JOBS:-$(nproc)}"

vks_packages=(cmake ninja-build g++ mingw-w64 g++-mingw-w64-x86-64-posix mingw-w64-tools
              libwine-dev wine64 wine googletest libgtest-dev libgmock-dev util-linux)

vks_install() {
  local missing=()
  for p in "${vks_packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing: ${missing[*]}"
  local sudo=""
  [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

vks_build() {
  cmake -S "$VKS_ROOT/testing" -B "$VKS_BUILD/native" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$VKS_BUILD/native" -j "$VKS_JOBS"
  cmake -S "$VKS_ROOT" -B "$VKS_BUILD/win" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$VKS_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DVKS_NATIVE_DIR="$VKS_BUILD/native" >/dev/null
  cmake --build "$VKS_BUILD/win" -j "$VKS_JOBS"
}

# One wineserver serves the whole run and is stopped at the end, quietly.
# Scripts on one build tree share it: each holds a shared lock while it runs
# and only the last to end stops the server, so one that ends does not kill
# the tests of another. The lock is held by a flock process of its own (-o):
# a descriptor of this shell would pass to the wineserver it starts, which
# would then hold the lock for ever.
vks_wine_start() {
  export WINEPREFIX="$VKS_BUILD/win/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  vks_wine_hold
  "$VKS_ROOT/testing/wine/prefix-setup" "$WINEPREFIX"
  # Persistent, so that it outlives the gaps between tests; one another script
  # started is as good (this then fails, and is left at that).
  wineserver -p >/dev/null 2>&1 || true
  # Wine's services and its desktop start with the first process that needs
  # them and keep its stdout and stderr: start them here with quiet ones, or
  # ctest waits on their pipe. The desktop is held for the whole run, since a
  # test that started it again would hand it that test's pipe.
  wine "$VKS_BUILD/win/testing/winsupport/vks-desktop-keeper.exe" >/dev/null 2>&1 </dev/null ||
    { echo "Wine's desktop did not start" >&2; exit 1; }
}
vks_wine_lock="$VKS_BUILD/win/.wine-users.lock"
vks_wine_holder=""
# Takes the shared lock (waiting while another script stops the server) and
# keeps it until vks_wine_stop or until this shell ends.
vks_wine_hold() {
  mkdir -p "$VKS_BUILD/win"
  local ready
  ready="$(mktemp -u "${TMPDIR:-/tmp}/vks-hold.XXXXXX")"
  mkfifo "$ready"
  flock -s -o "$vks_wine_lock" \
    sh -c 'echo held >"$1"; exec tail --pid="$2" -s 0.5 -f /dev/null' sh "$ready" $$ \
    >/dev/null 2>&1 </dev/null &
  vks_wine_holder=$!
  read -r _ <"$ready"
  rm -f "$ready"
  trap vks_wine_stop EXIT
}
vks_wine_stop() {
  if [ -n "$vks_wine_holder" ]; then
    kill "$vks_wine_holder" 2>/dev/null || true
    wait "$vks_wine_holder" 2>/dev/null || true
    vks_wine_holder=""
  fi
  flock -x -n -o "$vks_wine_lock" \
    env WINEPREFIX="$VKS_BUILD/win/wineprefix" wineserver -k >/dev/null 2>&1 || true
}

# Runs a Windows program under winerun with the simulator. Its output goes to a
# file, not a pipe: the server COM started lingers after the run and may hold
# the pipe, so a reader at its end would wait for it. The file is shown as it
# grows and the follower ends with the run. Returns the program's status.
vks_run_followed() {
  local out run status=0
  out="$(mktemp "${TMPDIR:-/tmp}/vks-run.XXXXXX")"
  VKS_WITH_SIM=1 TZ=UTC "$VKS_BUILD/win/winerun" "$@" >"$out" 2>&1 </dev/null &
  run=$!
  tail -n +1 -s 0.5 -f --pid="$run" "$out" | tr -d '\r'
  wait "$run" || status=$?
  rm -f "$out"
  return $status
}
