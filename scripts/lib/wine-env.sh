# Chooses, once per run, which Windows build the tests run and under which Wine; sourced by
# scripts/wine-tests, scripts/wine-run and scripts/test.
#
# The product is the 32-bit program, tested under 32-bit Wine. Some machines run 64-bit programs
# only (their kernel has IA-32 emulation off: every i386 executable, Wine's 32-bit loader
# included, fails with "Exec format error"); there the 64-bit build of the same program is tested
# under 64-bit Wine instead. ZARN_WINE_ARCH=win32 or win64 forces the choice.
#
# Sets: ZARN_WINE_ARCH (win32 | win64), ZARN_WINE_PRESET (the CMake preset), ZARN_WINE_LABEL (how
# the summary names the run), ZARN_WINE_LOADER (the wine loader), WINEARCH, WINESERVER and, for
# 64-bit, WINELOADER. Debian's "wine" command prefers the 32-bit loader whenever it is installed,
# even where it cannot run, so the loader is named explicitly.

zarn_wine_loader32=/usr/lib/wine/wine
zarn_wine_loader64=/usr/lib/wine/wine64

# True when this machine can run a 32-bit program: the 32-bit loader itself is one.
zarn_can_run_32bit() {
  [[ -x $zarn_wine_loader32 ]] && timeout 30 "$zarn_wine_loader32" --version >/dev/null 2>&1
}

if [[ -z ${ZARN_WINE_ARCH:-} ]]; then
  if zarn_can_run_32bit; then
    ZARN_WINE_ARCH=win32
    ZARN_WINE_LABEL="wine (32-bit)"
  else
    ZARN_WINE_ARCH=win64
    ZARN_WINE_LABEL="wine (64-bit: this machine cannot run 32-bit programs)"
  fi
elif [[ -z ${ZARN_WINE_LABEL:-} ]]; then
  case $ZARN_WINE_ARCH in
    win32) ZARN_WINE_LABEL="wine (32-bit)" ;;
    win64) ZARN_WINE_LABEL="wine (64-bit: chosen by ZARN_WINE_ARCH)" ;;
    *)
      echo "ZARN_WINE_ARCH must be win32 or win64, not \"$ZARN_WINE_ARCH\"" >&2
      return 2 2>/dev/null || exit 2
      ;;
  esac
fi

ZARN_WINE_PRESET=$ZARN_WINE_ARCH
export WINEARCH=$ZARN_WINE_ARCH
if [[ $ZARN_WINE_ARCH == win64 ]]; then
  ZARN_WINE_LOADER=$zarn_wine_loader64
  export WINELOADER=$zarn_wine_loader64
else
  ZARN_WINE_LOADER=$zarn_wine_loader32
fi
# The 64-bit server where it is installed (it serves 32-bit prefixes too), else the 32-bit one.
if [[ -x /usr/lib/wine/wineserver64 ]]; then
  export WINESERVER=/usr/lib/wine/wineserver64
else
  export WINESERVER=/usr/lib/wine/wineserver32
fi
export ZARN_WINE_ARCH ZARN_WINE_PRESET ZARN_WINE_LABEL ZARN_WINE_LOADER
