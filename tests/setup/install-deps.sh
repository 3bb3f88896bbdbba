#!/bin/sh
# scripts/install-deps on each system it knows. --dry-run prints each one's
# command, as tests/data/install-deps.txt holds them. The rest runs against
# stand-ins for the package managers (scripts that answer "is it installed?"
# from a list and write down what they are asked to install), with no other
# command on the PATH: only the apt path can run for real here.
src=$(cd "$(dirname "$0")/../.." && pwd)
script=$src/scripts/install-deps
want=$src/tests/data/install-deps.txt
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
checks=0 failures=0
# expect GOT WANT WHAT
expect() {
  checks=$((checks + 1))
  [ "$1" = "$2" ] || { failures=$((failures + 1)); printf 'FAILED: %s\n  got:  %s\n  want: %s\n' "$3" "$1" "$2"; }
}

expect "$("$script" --dry-run)" "$(cat "$want")" "--dry-run"
for s in apt dnf pacman brew; do expect "$s: $("$script" --dry-run=$s)" "$(grep "^$s: " "$want")" "--dry-run=$s"; done
expect "$("$script" --dry-run=yum 2>/dev/null; echo $?)" 2 "--dry-run=yum"
packages() { sed -n "s/^$1: .* \(-y\|--noconfirm\|install\) //p" "$want"; }
expect "${apt_line=$(grep '^apt: ' "$want")}" "${apt_line%% g++-mingw*} g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64" \
  "apt installs the Windows tools"

# check SYSTEM UID "INSTALLED" STATUS "OUTPUT" "LOG": a run with stand-ins.
check() {
  bin=$work/$checks
  mkdir -p "$bin"
  has="case \" $3 \" in *\" \$NAME \"*)"
  log="echo \"\${0##*/} \$*\" >> $bin/log"
  printf '#!/bin/sh\necho %s\n' "$2" > "$bin/id"
  case $1 in
    apt) printf '#!/bin/sh\nNAME=$3; %s echo "install ok installed";; esac\n' "$has" > "$bin/dpkg-query"
         printf '#!/bin/sh\n%s\n' "$log" > "$bin/apt-get"
         printf '#!/bin/sh\n[ "$2" != libclang-rt-dev ]\n' > "$bin/apt-cache" ;;  # an archive without it
    dnf) printf '#!/bin/sh\nNAME=$2; %s exit 0;; esac; exit 1\n' "$has" > "$bin/rpm"
         printf '#!/bin/sh\n%s\n' "$log" > "$bin/dnf" ;;
    pacman) printf '#!/bin/sh\nif [ "$1" = -Q ]; then NAME=$2; %s exit 0;; esac; exit 1; fi\n%s\n' "$has" "$log" > "$bin/pacman" ;;
    brew) printf '#!/bin/sh\nNAME=$3; %s exit 0;; esac; exit 1\n' "$has" > "$bin/brew" ;;
  esac
  chmod +x "$bin"/*
  out=$(PATH=$bin "$script" 2>&1)
  expect $? "$4" "$1 as $2 with '$3': status"
  expect "$out" "$5" "$1 as $2 with '$3': text"
  expect "$(cat "$bin/log" 2>/dev/null)" "$6" "$1 as $2 with '$3': commands run"
}

apt=$(packages apt) dnf=$(packages dnf) pacman=$(packages pacman)
win="g++-mingw-w64-x86-64-posix libz-mingw-w64-dev wine64"
check apt 1000 "$apt" 0 "" ""
check apt 1000 "${apt%% g++-mingw*}" 1 "Missing packages: $win
Run:  sudo apt-get install -y $win" ""
# As root; the Windows tools without what they merely recommend.
check apt 0 "${apt%% man-db*}" 0 "Installing: man-db groff-base $win" "apt-get update -q
apt-get install -y -q man-db groff-base
apt-get install -y -q --no-install-recommends $win"
# An archive that has no libclang-rt-dev (Ubuntu 22.04) does without it, once
# its lists are there.
mkdir "$work/lists" && : > "$work/lists/archive_Packages"
APT_LISTS=$work/lists check apt 0 "${apt%% libclang-rt-dev*} ${apt#*libclang-rt-dev }" 0 "" ""
APT_LISTS=$work/none check apt 1000 "${apt%% libclang-rt-dev*} ${apt#*libclang-rt-dev }" 1 "Missing packages: \
libclang-rt-dev
Run:  sudo apt-get install -y libclang-rt-dev" ""
check dnf 1000 "${dnf% wine}" 1 "Missing packages: wine
Run:  sudo dnf install -y wine" ""
mid=${dnf#cmake }
check dnf 0 "cmake wine" 0 "Installing: ${mid% wine}" "dnf install -y ${mid% wine}"
check pacman 0 "cmake gcc make" 0 "Installing: ${pacman#cmake gcc make }" \
  "pacman -S --needed --noconfirm ${pacman#cmake gcc make }"
# Homebrew is never run as root: it always says how.
check brew 0 "cmake pkg-config googletest sdl2 flac emscripten node" 1 "Missing packages: libpng llvm mingw-w64
Run:  brew install libpng llvm mingw-w64" ""
mkdir "$work/none"
out=$(PATH=$work/none "$script" 2>&1)
expect "$?: ${out%%:*}" "1: No package manager known here (apt-get, dnf, pacman, Homebrew)" "no package manager"

echo "$((checks - failures)) passed, $failures failed"
[ "$failures" = 0 ]
