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

# Debian's source packages, which the Windows build takes Qt from: a deb-src
# entry beside each deb entry of this release the machine already uses, with
# its own mirror, suites and keyring, so a machine that reaches Debian through
# a mirror or proxy of its own gets its sources the same way.
ensure_deb_src() {
    apt-cache showsrc qt6-base 2>/dev/null | grep -q '^Version:' && return 0
    local sudo=() entries
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    entries=$(debian_entries | sed 's/^deb /deb-src /')
    if [ -z "$entries" ]; then
        echo "No deb entry for Debian $(. /etc/os-release && echo "$VERSION_CODENAME") in /etc/apt: cannot add its sources" >&2
        return 1
    fi
    printf '%s\n' "$entries" | "${sudo[@]}" tee /etc/apt/sources.list.d/morvane-deb-src.list >/dev/null
    "${sudo[@]}" apt-get update >&2
}

# The deb entries of this machine's release (its own suite, -updates and
# -security), one line each, from its apt sources in either format.
debian_entries() {
    deb_entries "$(. /etc/os-release && echo "$VERSION_CODENAME")" \
        /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources
}

# Prints, one line each, the deb entries of release CODENAME in the apt
# source files given, one-line (.list) or deb822 (.sources).
deb_entries() {
    local codename=$1 file files=()
    shift
    for file in "$@"; do [ -f "$file" ] && files+=("$file"); done
    [ ${#files[@]} -eq 0 ] && return 0
    awk -v codename="$codename" '
        function wanted(suite) {
            return suite == codename || suite == codename "-updates" || suite == codename "-security"
        }
        function emit(options, uri, suite, components) {
            if (wanted(suite) && !seen[options " " uri " " suite " " components]++)
                print "deb " options (options == "" ? "" : " ") uri " " suite " " components
        }
        function flush(   n, u, s, i, j, uris, suites, options) {
            if (types ~ /(^| )deb( |$)/ && enabled != "no") {
                options = signed == "" ? "" : "[signed-by=" signed "]"
                n = split(uri_list, uris, " "); s = split(suite_list, suites, " ")
                for (i = 1; i <= n; i++) for (j = 1; j <= s; j++) emit(options, uris[i], suites[j], component_list)
            }
            types = uri_list = suite_list = component_list = signed = enabled = ""
        }
        FNR == 1 { if (deb822) flush(); deb822 = FILENAME ~ /\.sources$/ }
        deb822 && /^[ \t]*$/ { flush(); next }
        deb822 && /^#/ { next }
        deb822 {
            field = tolower($1); value = $0; sub(/^[^:]*:[ \t]*/, "", value)
            if (field == "types:") types = value
            else if (field == "uris:") uri_list = value
            else if (field == "suites:") suite_list = value
            else if (field == "components:") component_list = value
            else if (field == "signed-by:") signed = value ~ /BEGIN/ ? "" : value
            else if (field == "enabled:") enabled = tolower(value)
            next
        }
        $1 == "deb" {
            options = ""
            line = $0; sub(/^deb[ \t]+/, "", line)
            if (line ~ /^\[/) { options = substr(line, 1, index(line, "]")); line = substr(line, index(line, "]") + 1) }
            n = split(line, word, /[ \t]+/); first = word[1] == "" ? 2 : 1
            components = ""
            for (i = first + 2; i <= n; i++) components = components (components == "" ? "" : " ") word[i]
            emit(options, word[first], word[first + 1], components)
        }
        END { if (deb822) flush() }
    ' "${files[@]}"
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
