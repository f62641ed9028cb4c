# Debian packages the build, the tests and the editor need. Sourced by ./test and ./run.
TALVEX_PACKAGES=(
    cmake g++ clang libclang-rt-dev pkg-config
    qt6-base-dev qt6-serialport-dev libhidapi-dev libudev-dev # qt6-base-dev brings Qt Network too
    libgtest-dev libgmock-dev libbenchmark-dev
    fonts-liberation fonts-droid-fallback xvfb xauth
    locales-all # the tests read numbers under German and French locales
    libmosquitto-dev nlohmann-json3-dev mosquitto # talvex-bridge: MQTT client, JSON; the tests' broker
)
# ./test also cross-builds the plain core and its suites for Windows and runs them
# under Wine; GoogleTest's source is built there with the cross compiler.
TALVEX_WINDOWS_TOOLS=(g++-mingw-w64-x86-64-posix wine64 googletest)
# ./package: CPack's dependency scan (dpkg-shlibdeps), the manual pages, the
# icon's PNG sizes, and the package check.
TALVEX_PACKAGE_TOOLS=(dpkg-dev file help2man librsvg2-bin gzip lintian desktop-file-utils)

ensure_packages() {
    local missing=()
    for p in "${TALVEX_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    if [ "$(id -u)" -eq 0 ]; then
        echo "Installing: ${missing[*]}"
        apt-get update -qq
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
    else
        echo "Missing packages. Run as root:"
        echo "  apt-get install -y ${missing[*]}"
        exit 1
    fi
}
