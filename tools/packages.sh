# Installs the Debian packages named as arguments that are not installed yet.
# Sourced by the build scripts; needs root or sudo only when something is missing.
ensure_packages() {
    local missing=() package
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" \
            || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" apt-get update
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y --no-install-recommends "${missing[@]}"
}

# The packages every build needs; those the tests add: the Debian package's
# tools and checkers, the desktop's validators, and a font to stand for a
# system without Liberation Sans; and those the deeper checks add: clang
# with its libFuzzer and sanitizer runtimes.
BUILD_PACKAGES=(g++ cmake ninja-build qt6-base-dev qt6-qpa-plugins libacl1-dev fonts-liberation2)
TEST_PACKAGES=(dpkg-dev file lintian appstream desktop-file-utils fonts-dejavu-core)
CHECK_PACKAGES=(clang-16 libclang-rt-16-dev)
# The Windows build: MinGW-w64's POSIX-thread compilers, Wine to run its
# tests, NSIS for the installer, zip for the portable folder.
WINDOWS_PACKAGES=(g++-mingw-w64-x86-64-posix mingw-w64-tools wine64 wine nsis zip xvfb)

# Debian's source packages, which the Windows build takes Qt from.
ensure_deb_src() {
    apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Version:' && return 0
    local sudo=()
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    printf '%s\n' 'Types: deb-src' 'URIs: http://deb.debian.org/debian' 'Suites: bookworm bookworm-updates' \
        'Components: main' 'Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg' \
        | "${sudo[@]}" tee /etc/apt/sources.list.d/morvane-deb-src.sources >/dev/null
    "${sudo[@]}" apt-get update
}

# Configures a build folder once, then builds what changed:
# build_project SOURCE_DIR BUILD_DIR [CMAKE_OPTION...]
build_project() {
    local source_dir=$1 build_dir=$2
    shift 2
    if [ ! -f "$build_dir/build.ninja" ]; then
        cmake -S "$source_dir" -B "$build_dir" -G Ninja "$@"
    fi
    cmake --build "$build_dir"
}
