#!/usr/bin/env bash
# Installs the Debian 12 packages the build needs. Pass --fuzz to add clang for the fuzz targets.
set -euo pipefail
packages=(cmake ninja-build g++ pkg-config
  zlib1g-dev libjpeg62-turbo-dev libexpat1-dev libsqlite3-dev libpng-dev curl
  libcli11-dev nlohmann-json3-dev libgtest-dev libgmock-dev libbenchmark-dev
  libcurl4-openssl-dev libcpp-httplib-dev
  qt6-base-dev libqt6opengl6-dev fonts-dejavu-core
  libgl1-mesa-dev libglu1-mesa-dev libegl-dev libegl-mesa0 libgl1-mesa-dri xvfb xauth libxcb1-dev
  dpkg-dev file groff-base libxml2-utils shared-mime-info desktop-file-utils poppler-utils
  libvips-tools nginx-light)
[[ "${1:-}" == "--fuzz" ]] && packages+=(clang libclang-rt-14-dev)

sudo=""
[[ $(id -u) -ne 0 ]] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${packages[@]}"
