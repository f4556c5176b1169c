# Shared by scripts/run and scripts/test: install what is missing, then build.
# Sourced with the repository root as the current folder.

PACKAGES="
cmake ninja-build g++ pkg-config
qt6-base-dev qt6-webengine-dev libqt6webenginecore6-bin libgl-dev qt6-translations-l10n
libcpp-httplib-dev libssl-dev zlib1g-dev libbrotli-dev
libzip-dev libgsf-1-dev libxlsxwriter-dev
fonts-arphic-uming fonts-arphic-ukai fonts-dejavu-core
xvfb xauth python3-openpyxl openssl libnss3-tools
libreoffice-calc libreoffice-dev
dpkg-dev file lintian desktop-file-utils appstream
"

say() { printf '%s\n' "$*" >&2; }

missing_packages() {
    missing=""
    for p in $PACKAGES; do
        status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
        case "$status" in
            *"install ok installed"*) ;;
            *) missing="$missing $p" ;;
        esac
    done
    printf '%s' "$missing"
}

ensure_packages() {
    missing=$(missing_packages)
    [ -z "$missing" ] && return 0
    if [ "$(id -u)" -ne 0 ]; then
        say "Missing Debian packages:$missing"
        say "Install them as root (apt-get install$missing) or run this script as root."
        exit 1
    fi
    say "Installing:$missing"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    # shellcheck disable=SC2086
    apt-get install -y -q --no-install-recommends $missing
}

build_project() {
    if [ ! -f build/CMakeCache.txt ]; then
        cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=Release
    fi
    cmake --build build
}

webengine_environment() {
    # Chromium's sandbox cannot start as root; the closed network makes its
    # background services fail noisily, so they stay off.
    if [ "$(id -u)" -eq 0 ]; then
        export QTWEBENGINE_DISABLE_SANDBOX=1
    fi
    : "${QTWEBENGINE_CHROMIUM_FLAGS:=--disable-background-networking --disable-component-update --no-first-run --disable-sync}"
    export QTWEBENGINE_CHROMIUM_FLAGS
}
