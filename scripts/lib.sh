# Shared set-up of scripts/run and scripts/test: packages, builds, Wine prefix.
# Sourced, not run. Every step is idempotent.
#
# The width that ships is 32-bit, and it is what the tests check wherever
# the machine allows. Builds, each in build/<name>:
#   where the kernel runs 32-bit programs:
#     native    the portable libraries, tests and fuzz replays: clang -m32 with
#               AddressSanitizer and UBSan, run directly.
#     win       i686 mingw-w64: every deliverable and its tests, run under
#               32-bit Wine.
#   where it cannot (no IA32 emulation in the kernel):
#     native    the same with clang -m64 (AddressSanitizer and UBSan).
#     native32  the portable libraries and tests with clang -m32, static, run
#               under qemu-i386 user-mode emulation (undefined behaviour
#               trapped; AddressSanitizer does not run there).
#     win64     x86_64 mingw-w64 build of the same sources, tests under
#               64-bit Wine.
#     win       i686 mingw-w64: the deliverables only, compiled without
#               debug information (32-bit Wine cannot run here).
#   and, outside scripts/test:
#     bench     the portable libraries optimised, with the benchmarks
#               (scripts/bench); the native 64-bit test build compiles them.
#     fuzz      clang + libFuzzer + ASan: the fuzz targets (scripts/fuzz); the
#               native test builds replay their seed corpora as tests.
#     tsan      ThreadSanitizer build of the threaded code's tests (scripts/tsan).
# HRL_I386=no forces the second kind of machine (to check it where 32-bit
# programs run); HRL_I386=yes skips the probe.

HRL_ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
HRL_BUILD=${HRL_BUILD:-$HRL_ROOT/build}
HRL_JOBS=${HRL_JOBS:-$(nproc)}
export HRL_BUILD

export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

hrl_packages=(cmake ninja-build g++-multilib googletest libbenchmark-dev clang libclang-rt-14-dev
              g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
              wine wine32:i386 wine64 xvfb)

# Installs the packages every build needs, and the user-mode emulator where
# the kernel cannot run 32-bit programs.
hrl_install() {
  hrl_install_packages "${hrl_packages[@]}"
  hrl_runs_i386 || hrl_install_packages qemu-user
}

hrl_install_packages() {
  local missing=()
  for p in "$@"; do
    dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed' || missing+=("$p")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "installing: ${missing[*]}"
  local sudo=; [ "$(id -u)" -eq 0 ] || sudo=sudo
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# 0 when this kernel runs 32-bit x86 programs.
hrl_runs_i386() {
  if [ -z "${HRL_I386:-}" ]; then
    local probe=$HRL_BUILD/i386-probe
    mkdir -p "$HRL_BUILD"
    printf 'int main(void){return 0;}\n' > "$probe.c"
    if gcc -m32 "$probe.c" -o "$probe" 2>/dev/null && "$probe" 2>/dev/null; then
      HRL_I386=yes
    else
      HRL_I386=no
      echo "note: this kernel cannot run 32-bit programs: the native 32-bit tests run under qemu-i386, the Windows tests in their 64-bit form under 64-bit Wine"
    fi
  fi
  [ "$HRL_I386" = yes ]
}

# The build whose tests run under Wine here.
hrl_wine_build() { if hrl_runs_i386; then echo win; else echo win64; fi; }

hrl_wine_env() {
  if [ "$1" = win ]; then
    export WINEPREFIX="$HRL_BUILD/win/wineprefix" WINEARCH=win32 HRL_WINE=/usr/lib/wine/wine
  else
    export WINEPREFIX="$HRL_BUILD/win64/wineprefix" WINEARCH=win64 HRL_WINE=/usr/lib/wine/wine64
  fi
}

# A prefix inside the build tree: no crash dialog (a crash prints a backtrace
# and fails the test), no window-manager wait, the null graphics driver so
# windows and dialogs run without a display.
hrl_wine_prefix() {
  hrl_wine_env "$1"
  if [ ! -f "$WINEPREFIX/.hrl-ready" ]; then
    echo "creating Wine prefix $WINEPREFIX"
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    timeout 300 "$HRL_WINE" wineboot -i >/dev/null 2>&1 || true
    timeout 120 wineserver -w || true
    local reg=("$HRL_WINE" reg add)
    timeout 60 "${reg[@]}" 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    timeout 60 "${reg[@]}" 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
    timeout 60 "${reg[@]}" 'HKCU\Software\Wine\Drivers' /v Graphics /t REG_SZ /d null /f >/dev/null 2>&1
    timeout 120 wineserver -w || true
    touch "$WINEPREFIX/.hrl-ready"
  fi
  # A persistent server makes each test program start in about 50 ms. Start
  # Wine's own services now, with harmless output: started by the first test
  # they would inherit CTest's output pipe and keep the test running.
  wineserver -p >/dev/null 2>&1 || true
  timeout 120 "$HRL_WINE" cmd /c exit </dev/null >/dev/null 2>&1 || true
}

hrl_wine_stop() { wineserver -k >/dev/null 2>&1 || true; }

# hrl_build NAME TOOLCHAIN [cmake options...] [-- build targets...]
hrl_build() {
  local name=$1 toolchain=$2; shift 2
  local opts=() targets=()
  while [ $# -gt 0 ] && [ "$1" != -- ]; do opts+=("$1"); shift; done
  [ $# -gt 0 ] && { shift; targets=("$@"); }
  echo "== build $name"
  cmake -S "$HRL_ROOT" -B "$HRL_BUILD/$name" -G Ninja \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo \
        -DCMAKE_TOOLCHAIN_FILE="$HRL_ROOT/cmake/$toolchain" "${opts[@]}" >/dev/null
  cmake --build "$HRL_BUILD/$name" -j "$HRL_JOBS" ${targets[@]:+--target "${targets[@]}"}
}

# Builds everything scripts/test runs on this machine (see the top).
hrl_build_all() {
  if hrl_runs_i386; then
    hrl_build native native-m32.cmake -DHRL_BUILD_TESTS=ON
    hrl_build win mingw-i686.cmake -DHRL_BUILD_TESTS=ON
  else
    hrl_build native native-m64.cmake -DHRL_BUILD_TESTS=ON
    hrl_build native32 native-m32-emu.cmake -DHRL_BUILD_TESTS=ON
    hrl_build win64 mingw-x86_64.cmake -DHRL_BUILD_TESTS=ON
    # Compiled only, never run here: without debug information, which
    # nothing reads here and which costs a fifth of its compile time.
    hrl_build win mingw-i686.cmake -DHRL_BUILD_TESTS=OFF \
              "-DCMAKE_C_FLAGS_RELWITHDEBINFO=-O2 -g0 -DNDEBUG" "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g0 -DNDEBUG"
  fi
}

# The fuzz targets (clang, libFuzzer, AddressSanitizer), 32-bit where they
# can run as such.
hrl_build_fuzz() {
  local arch=-m64
  hrl_runs_i386 && arch=-m32
  hrl_build fuzz fuzz.cmake -DHRL_FUZZ_ARCH=$arch
}
