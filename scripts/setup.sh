#!/usr/bin/env bash
# Makes sure the Debian packages the build needs are present. As root it
# installs what is missing with apt-get; otherwise it names the packages and
# fails. Nothing is downloaded at build time.
set -euo pipefail

packages=(cmake ninja-build g++ clang libclang-rt-dev libxml2-dev libssl-dev libgtest-dev libbenchmark-dev pkg-config
          libcli11-dev nlohmann-json3-dev libedit-dev)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null 2>&1; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
else
  echo "setup: missing packages: ${missing[*]}" >&2
  echo "setup: install them with: sudo apt-get install ${missing[*]}" >&2
  exit 1
fi
