# Sourced by scripts/setup.sh and scripts/apt-install.sh: sets SUDO, the
# prefix of the commands that change the system. TARNIX_SETUP_SUDO overrides
# it (empty: none), so a test can run them with stubs first on PATH, which
# sudo would reset; otherwise none as root, sudo for anyone else.
if [ "${TARNIX_SETUP_SUDO+set}" = set ]; then
  SUDO=$TARNIX_SETUP_SUDO
elif [ "$(id -u)" -eq 0 ]; then
  SUDO=""
else
  SUDO=sudo
fi
