#!/usr/bin/env bash
# Installs the Debian packages the build and the tests need, when any is missing.
set -euo pipefail
packages=(
    build-essential cmake ninja-build ccache pkg-config clang-format clang libclang-rt-14-dev lld
    libgtest-dev libgmock-dev libbenchmark-dev
    nlohmann-json3-dev libplist-dev libexpat1-dev
    libcurl4-openssl-dev libssl-dev libcpp-httplib-dev
    libcairo2-dev libpng-dev libjpeg62-turbo-dev libicu-dev libpango1.0-dev fonts-dejavu-core
    libzbar-dev libqrencode-dev
    libavformat-dev libavcodec-dev libswresample-dev libswscale-dev libavutil-dev libexif-dev
)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    echo "installing: ${missing[*]}"
    SUDO=""
    [[ $(id -u) -ne 0 ]] && SUDO=sudo
    $SUDO apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "${missing[@]}" >/dev/null
fi
