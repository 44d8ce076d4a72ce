#!/usr/bin/env bash
# Makes sure the Debian packages the build needs are present. As root it
# installs what is missing with apt-get; otherwise it names the packages and
# fails. Nothing is downloaded at build time.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-dev libxml2-dev libssl-dev libgtest-dev libbenchmark-dev pkg-config
          libcli11-dev nlohmann-json3-dev libedit-dev)

# Optional: installed as root, never required. libglib2.0-dev gives
# bench_peers its GKeyFile peer (found with pkg-config at configure time).
optional=(libglib2.0-dev)

not_installed() {
  for p in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
      echo "$p"
    fi
  done
}
mapfile -t missing < <(not_installed "${packages[@]}")
mapfile -t missing_optional < <(not_installed "${optional[@]}")

if [ ${#missing[@]} -eq 0 ] && [ ${#missing_optional[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "setup: installing ${missing[*]} ${missing_optional[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#missing[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
  fi
  if [ ${#missing_optional[@]} -gt 0 ] &&
     ! apt-get install -y -qq --no-install-recommends "${missing_optional[@]}"; then
    echo "setup: optional packages not installed: ${missing_optional[*]}"
  fi
elif [ ${#missing[@]} -gt 0 ]; then
  echo "setup: missing packages: ${missing[*]}" >&2
  echo "setup: install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
else
  echo "setup: optional packages not installed: ${missing_optional[*]} (bench_peers builds without its GKeyFile peer)"
fi
