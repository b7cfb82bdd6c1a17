#!/bin/sh
# Installs Debian's packages for the builds. Asks the package index only
# when something is missing.
#
#   install-deps.sh example   what the run command needs: the Linux program,
#                             its setup library and the example (no tests)
#   install-deps.sh           everything: both targets, every test, the
#                             packages, and wine32 where it runs
set -eu
example="cmake ninja-build g++ nlohmann-json3-dev
  unixodbc-dev unixodbc odbcinst libodbcinst2 libsqliteodbc sqlite3
  libfltk1.3-dev libxcursor-dev libxinerama-dev libxft-dev libxext-dev
  libxfixes-dev libxrender-dev libfontconfig-dev"
everything="$example libgtest-dev libbenchmark-dev mingw-w64
  wine wine64 xvfb xdotool x11-utils imagemagick openbox python3
  dpkg-dev lintian clang libclang-rt-14-dev make
  wixl msitools osslsigncode openssl
  ansible-core openssh-server openssh-client yamllint pycodestyle pylint
  postgresql odbc-postgresql
  python3-voluptuous"

installed() {
    dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "ok installed"
}

install() {
    missing=""
    for p in "$@"; do
        installed "$p" || missing="$missing $p"
    done
    if [ -n "$missing" ]; then
        export DEBIAN_FRONTEND=noninteractive
        apt-get update -q
        apt-get install -y -q --no-install-recommends $missing
    fi
}

# The x86 Windows build runs under Wine only with Debian's 32-bit Wine
# (wine32:i386), and that runs only on a kernel that runs 32-bit code, which
# some virtual machines and containers do not. Installed, wine32 is what the
# `wine` command starts, so on such a kernel it would break 64-bit Wine too:
# install it, try it, and take away again what was installed when it does not
# run. The answer is kept per kernel release, so a kernel without 32-bit
# support is asked once.
wine32() {
    [ "$(dpkg --print-architecture)" = amd64 ] || return 0
    if installed wine32:i386; then
        /usr/lib/wine/wine --version >/dev/null 2>&1 ||
            echo "wine32 is installed, but this kernel runs no 32-bit code: wine is broken" \
                "until \`apt-get purge wine32:i386\`" >&2
        return 0
    fi
    memo=/var/cache/velloran-no-wine32
    if [ "$(cat "$memo" 2>/dev/null)" = "$(uname -r)" ]; then
        echo "wine32: not installed, this kernel ($(uname -r)) runs no 32-bit code; the x86 Wine tests skip"
        return 0
    fi
    before=$(mktemp)
    dpkg-query -W -f='${binary:Package}\n' | sort >"$before"
    architecture_added=""
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
        architecture_added=yes
    fi
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    if apt-get install -y -q --no-install-recommends wine32:i386 &&
            /usr/lib/wine/wine --version >/dev/null 2>&1; then
        echo "wine32: this kernel runs 32-bit code; the x86 Wine tests run"
        rm -f "$before"
        return 0
    fi
    echo "wine32: this kernel runs no 32-bit code; removing wine32 again"
    added=$(dpkg-query -W -f='${binary:Package}\n' | sort | comm -13 "$before" -)
    rm -f "$before"
    [ -z "$added" ] || apt-get purge -y -q $added
    if [ -n "$architecture_added" ]; then
        dpkg --remove-architecture i386
        apt-get update -q
    fi
    uname -r >"$memo"
    wine --version >/dev/null 2>&1 || { echo "wine no longer runs after removing wine32" >&2; exit 1; }
}

if [ "${1:-}" = example ]; then
    install $example
else
    install $everything
    wine32
fi
