# with-sim.sh - sourced by winerun when VKS_WITH_SIM is set.
# vks_run_with_sim EXE [ARGS...]: runs one Windows test process against its own
# module simulator on a pty that Wine sees as a COM port, then stops it.
#
# For the test process:
#   VKS_TEST_PORT      port name, e.g. COM12 (the pty behind $WINEPREFIX/dosdevices/com12)
#   VKS_SIM_CONTROL    127.0.0.1:<tcp port> of the simulator's control channel
#   VKS_SIM_DATA       host folder of the flash volumes (empty per run)
#   VKS_SIM_DATA_WIN   the same folder as a Windows path (Z:\...)
#   LD_PRELOAD         the modem-line shim (DTR, CTS, DSR on the pty)
# Optional input:
#   VKS_SIM_SETUP      control commands run at start and after "reset", ";" between
#   VKS_SIM_SEED       folder copied into the data folder before the simulator starts
#   VKS_SIM_LOG        file that gets the simulator's stderr (default: the test's stderr)

vks_run_with_sim() {
  local native="${VKS_NATIVE_DIR:?VKS_NATIVE_DIR not set}"
  local sim="$native/simulator/vks-modemsim"
  local shim="$native/modemshim/libvksmodemshim.so"
  if [ ! -x "$sim" ] || [ ! -f "$shim" ]; then
    echo "with-sim: simulator or modem shim not built under $native" >&2
    return 125
  fi
  local run
  run="$(mktemp -d "${TMPDIR:-/tmp}/vks-sim.XXXXXX")" || return 125
  mkdir -p "$run/data" "$WINEPREFIX/.vks-com-locks"
  # Optional sample content: a folder laid out like the data folder (A/, B/, ...).
  if [ -n "${VKS_SIM_SEED:-}" ]; then
    cp -r "$VKS_SIM_SEED/." "$run/data/" || { rm -rf "$run"; return 125; }
  fi

  local args=(--data "$run/data" --info "$run/info" --dosdevices "$WINEPREFIX/dosdevices"
              --lock-dir "$WINEPREFIX/.vks-com-locks" --com-range 10-250)
  local cmd
  if [ -n "${VKS_SIM_SETUP:-}" ]; then
    local IFS=';'
    for cmd in $VKS_SIM_SETUP; do
      cmd="${cmd#"${cmd%%[![:space:]]*}"}"
      cmd="${cmd%"${cmd##*[![:space:]]}"}"
      [ -n "$cmd" ] && args+=(--control "$cmd")
    done
    unset IFS
  fi
  "$sim" "${args[@]}" 2>>"${VKS_SIM_LOG:-/dev/stderr}" &
  local simpid=$!

  # Ready once the info file is there (it is written last, by rename).
  local i
  for ((i = 0; i < 500; i++)); do
    [ -f "$run/info" ] && break
    kill -0 "$simpid" 2>/dev/null || break
    sleep 0.01
  done
  if [ ! -f "$run/info" ]; then
    echo "with-sim: simulator did not start" >&2
    kill "$simpid" 2>/dev/null
    wait "$simpid" 2>/dev/null
    rm -rf "$run"
    return 125
  fi
  local key value com="" control=""
  while read -r key value; do
    case "$key" in
      com) com="$value" ;;
      control) control="$value" ;;
    esac
  done <"$run/info"

  # Z: is the host's root in a default prefix; winepath costs a Wine start.
  local datawin
  if [ "$(readlink "$WINEPREFIX/dosdevices/z:")" = "/" ]; then
    datawin="Z:$(printf '%s' "$run/data" | tr / '\\')"
  else
    datawin="$(wine winepath -w "$run/data" 2>/dev/null | tr -d '\r')"
  fi

  local rc=0
  VKS_TEST_PORT="COM$com" \
  VKS_SIM_CONTROL="127.0.0.1:$control" \
  VKS_SIM_DATA="$run/data" \
  VKS_SIM_DATA_WIN="$datawin" \
  LD_PRELOAD="$shim${LD_PRELOAD:+:$LD_PRELOAD}" \
    wine "$@" || rc=$?

  kill "$simpid" 2>/dev/null
  wait "$simpid" 2>/dev/null
  rm -rf "$run"
  return $rc
}
