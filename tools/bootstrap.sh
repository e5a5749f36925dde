#!/usr/bin/env bash
# Installs the Debian packages the builds, tests, benchmarks and tools use. Safe to run again.
set -euo pipefail

# Each package with what uses it; nothing else.
packages=(
  cmake ninja-build g++                                    # native build and tests
  g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64     # windows build
  clang libclang-rt-14-dev                                 # fuzz preset
  googletest                                               # tests (built from /usr/src/googletest)
  libbenchmark-dev libpugixml-dev                          # bench preset (pugixml: reference of bench-xml)
  wine wine64 xvfb fonts-liberation                        # Windows tests: prefix, display, font replacement
  xcompmgr                                                 # Windows tests: compositor for the layered progress window
  nginx-light python3 curl                                 # HTTP test servers, layer check, bench-fetch reference
  openssl libssl-dev                                       # native zvtool's signatures and their cross-checks
  wixl                                                     # the Windows Installer packages of the expr tests
  procps                                                   # pgrep in the fetch cases
  python3-pil fonts-noto-cjk fonts-dejavu-extra            # tools/make-artwork.py and its check
  imagemagick                                              # tools/demo.sh: screenshots of the Xvfb display
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "bootstrap: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  if [ "$(id -u)" -eq 0 ]; then sudo=(); else sudo=(sudo); fi
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
echo "bootstrap: all packages present"
