#!/bin/bash
# Installs what building, running and testing Sitewake needs on Debian 12, as root.
# Idempotent: asks apt only for packages that are missing, updates the package lists only
# when something has to be installed, and generates the ja_JP.UTF-8 locale (Wine takes
# code page 932 from it) only when it is not there yet.
set -euo pipefail

PACKAGES=(
  # building
  cmake make g++ g++-mingw-w64-i686 binutils-mingw-w64-i686
  # running the 32-bit program
  wine wine32:i386 wine64 xvfb xdotool x11-utils imagemagick fonts-ipafont-gothic
  # tests, sanitizers, fuzzers, the test web servers
  libgtest-dev clang libclang-rt-14-dev nginx-light curl python3 openssl locales iproute2 util-linux
  procps time
  # chattr (files the program cannot write) and mount (a data folder on a read-only mount)
  e2fsprogs mount
  # the pass benchmark's reference tool
  urlwatch
)

as_root() {
  if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# apt and dpkg may be busy with another install on a shared machine: wait for the locks.
wait_for_apt() {
  local i
  for i in $(seq 1 600); do
    if ! fuser /var/lib/dpkg/lock-frontend /var/lib/dpkg/lock /var/lib/apt/lists/lock \
        >/dev/null 2>&1; then
      return 0
    fi
    [ "$i" -eq 1 ] && echo "install-deps: waiting for another apt/dpkg to finish..." >&2
    sleep 1
  done
  echo "install-deps: apt is still locked after 10 minutes" >&2
  return 1
}

installed() {
  [ "$(dpkg-query -W -f='${Status}' "$1" 2>/dev/null)" = "install ok installed" ]
}

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  as_root dpkg --add-architecture i386
  need_update=1
fi

# Some kernels run 64-bit user code only (i386 execve fails with ENOEXEC); there the 32-bit
# Wine loader runs under qemu's i386 user emulation, registered with binfmt_misc below.
i386_runs() {
  [ -x /lib/ld-linux.so.2 ] && /lib/ld-linux.so.2 --version >/dev/null 2>&1
}
kernel_runs_i386() {
  if [ -r /proc/sys/fs/binfmt_misc/qemu-i386 ] &&
      grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-i386; then
    return 1 # registered before (by us): emulation it is
  fi
  # No 32-bit loader yet (first run on a fresh machine): ask the kernel.
  if [ ! -x /lib/ld-linux.so.2 ]; then
    ! dmesg 2>/dev/null | grep -qiE 'IA-32 emulation off|32-bit emulation disabled'
    return
  fi
  i386_runs
}
if ! kernel_runs_i386; then
  PACKAGES+=(qemu-user-static)
fi

missing=()
for p in "${PACKAGES[@]}"; do
  installed "$p" || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ] || [ -n "${need_update:-}" ]; then
  if [ "${#missing[@]}" -gt 0 ]; then
    echo "install-deps: installing ${missing[*]}" >&2
  fi
  # A mirror caught mid-sync fails one index now and then: try again, and go on with the
  # lists that did arrive (the install below fails on its own if a package is really missing).
  for attempt in 1 2 3; do
    wait_for_apt
    as_root env DEBIAN_FRONTEND=noninteractive apt-get update -q && break
    echo "install-deps: apt-get update failed (attempt $attempt)" >&2
    sleep 5
  done
  if [ "${#missing[@]}" -gt 0 ]; then
    # When an index of one architecture could not be fetched (the i386 security list, say),
    # the two architectures' candidates of a shared library can differ and apt refuses: the
    # later attempts take every candidate from the release itself, where both agree.
    release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
    for attempt in 1 2 3; do
      target=()
      [ "$attempt" -gt 1 ] && [ -n "$release" ] && target=(-t "$release")
      wait_for_apt
      if as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q \
          --no-install-recommends "${target[@]}" "${missing[@]}"; then
        break
      fi
      [ "$attempt" -eq 3 ] && exit 1
      sleep 5
    done
  fi
fi

# Wine maps LC_ALL=ja_JP.UTF-8 to code page 932 only when glibc knows the locale.
if ! locale -a 2>/dev/null | grep -qiE '^ja_JP\.utf-?8$'; then
  echo "install-deps: generating the ja_JP.UTF-8 locale" >&2
  if grep -qE '^#[[:space:]]*ja_JP\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    as_root sed -i -E 's/^#[[:space:]]*(ja_JP\.UTF-8 UTF-8)/\1/' /etc/locale.gen
  elif ! grep -qE '^ja_JP\.UTF-8 UTF-8' /etc/locale.gen 2>/dev/null; then
    echo "ja_JP.UTF-8 UTF-8" | as_root tee -a /etc/locale.gen >/dev/null
  fi
  as_root locale-gen >/dev/null
fi

if ! i386_runs; then
  if ! installed qemu-user-static; then
    wait_for_apt
    as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends \
      qemu-user-static
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/register ]; then
    as_root mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  fi
  if [ ! -e /proc/sys/fs/binfmt_misc/qemu-i386 ]; then
    echo "install-deps: this kernel runs no 32-bit code; registering qemu-i386 for i386 ELF" >&2
    # 'F': the interpreter is opened now, so it works in other mount namespaces too.
    printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' |
      as_root tee /proc/sys/fs/binfmt_misc/register >/dev/null || true
  fi
  if ! i386_runs; then
    echo "install-deps: 32-bit programs still cannot run; Wine cannot start 32-bit programs" >&2
    exit 1
  fi
fi
