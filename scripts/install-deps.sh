#!/usr/bin/env bash
# Installs every Debian package the build, the tests and the demo need.
# Idempotent: packages already present are skipped by apt-get.
set -euo pipefail

PACKAGES=(
  # build
  cmake ninja-build g++ pkg-config
  # client: Qt widgets, browser, sound
  qt6-base-dev qt6-base-dev-tools qt6-webengine-dev qt6-multimedia-dev
  qt6-wayland libqt6svg6 libgl-dev qt6-translations-l10n
  # core and engine
  libsimpleini-dev liblinphone-dev
  # engine: the sound server's default devices
  libpulse-dev
  # tests
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  clang libclang-rt-14-dev
  sip-tester linphone-cli curl python3 kamailio iproute2
  xvfb xauth xdotool x11-utils imagemagick xdg-utils
  fonts-noto-cjk
  # static checks of the tree (tests/lint)
  clang-tidy shellcheck pyflakes3
  # the Debian package and the installed client's desktop session
  dpkg-dev file lintian desktop-file-utils appstream dbus inotify-tools
  fcitx5 fcitx5-chinese-addons fcitx5-frontend-qt6
  # sound through a private sound server (tests/sound, bench/sound)
  pulseaudio pulseaudio-utils
  # desktop tests: a window manager, a panel with a tray and a task bar, the
  # accessibility bus the tests read the windows through
  openbox tint2 wmctrl dbus-daemon at-spi2-core python3-pyatspi
  # an independent SIP client as the second subscriber (tests/baresip); its
  # ALSA sound reaches the private PulseAudio through the pulse plug-in
  baresip-core libasound2-plugins
  # reachability tests (tests/reach): a home router's NAT between network
  # namespaces, a stand-in of logind's sleep signal on a private system bus
  nftables python3-dbus
  # Windows build of core/ and net/, tested under Wine (zh_CN locale for code page 936)
  g++-mingw-w64-x86-64-posix wine64 locales
)

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: run as root (apt-get)" >&2
  exit 1
fi

missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: all packages present"
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}"
