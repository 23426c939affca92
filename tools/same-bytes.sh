#!/usr/bin/env bash
# Resizes one corpus with two builds of morvane-resize, the Linux one and
# the Windows one under Wine, at both precisions and several factors, and
# fails unless every file and exit status agree:
#   same-bytes.sh LINUX_PROGRAM WINDOWS_PROGRAM QT_FOR_WINDOWS
set -euo pipefail
linux=$(realpath "$1")
windows=$(realpath "$2")
qt=$3
runtime=$(dirname "$(x86_64-w64-mingw32-g++-posix -print-file-name=libstdc++-6.dll)")
threads=$(dirname "$(realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name=libwinpthread-1.dll)")")
export WINEPATH="Z:$qt/bin;Z:$runtime;Z:$threads" WINEDEBUG=-all
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/corpus"

# 120,000 coordinate lines of every form the rules take: plain decimals,
# exponents, blanks and signs, 8 decimals, 16 and more digits, values of
# 10^15 and more, exact halves, minus zero; LF or CR LF, and lines that
# fail one part in each of its own.
awk 'BEGIN {
    srand(2026)
    printf "\"\",\"mixed\",\"corpus\"\r\nl2\r\nl3\nl4\r\nl5\r\n"
    for (i = 0; i < 120000; i++) {
        line = "\"\""
        for (axis = 0; axis < 3; axis++) {
            form = int(rand() * 9)
            v = (rand() - 0.5) * 2000
            if (form == 0) n = sprintf("%.3f", v)
            else if (form == 1) n = sprintf("%.8f", v)
            else if (form == 2) n = sprintf("%.3e", v)
            else if (form == 3) n = sprintf(" %.2f\t", v)
            else if (form == 4) n = sprintf("%.2f", (rand() - 0.5) * 2e13)
            else if (form == 5) n = sprintf("%.0f", (rand() - 0.5) * 2e17)
            else if (form == 6) n = sprintf("%d.%d5", int(v), int(rand() * 10))
            else if (form == 7) n = sprintf("%+.4fE-2", v)
            else n = sprintf("-0.00%d", int(rand() * 5))
            line = line "," n
        }
        printf "%s%s", line, (rand() < 0.5 ? "\r\n" : "\n")
    }
}' > "$work/corpus/mixed.afp"
printf '"","wing","metal"\r\nl2\r\nl3\r\nl4\r\nl5\r\n"",1.234,-2.5,3.3\r\n"",0.125,0.375,1\r\n"",1.00,2.50,-0.10\r\n' \
    > "$work/corpus/wing.afp"
printf '"","bad","x"\r\nl2\r\nl3\r\nl4\r\nl5\r\n"",1,2,3\r\n"",1,two,3\r\n' > "$work/corpus/bad.afp"
printf '"","wings","metal"\r\nl2\r\n' > "$work/corpus/short.afp"
printf '' > "$work/corpus/empty.afp"

compared=0
for precision in AF99 AF5; do
    for factors in "1 1 1" "2 1.00 0.5" "-1.37 1e-3 1000" "0.1 3 2.5"; do
        read -r right fore up <<<"$factors"
        for side in linux windows; do
            rm -rf "$work/$side" && cp -r "$work/corpus" "$work/$side"
        done
        options=(--right "$right" --fore "$fore" --up "$up" --precision "$precision")
        status_linux=0 status_windows=0
        (cd "$work/linux" && "$linux" "${options[@]}" mixed.afp wing.afp bad.afp short.afp empty.afp >/dev/null 2>&1) \
            || status_linux=$?
        (cd "$work/windows" && wine "$windows" "${options[@]}" mixed.afp wing.afp bad.afp short.afp empty.afp \
            >/dev/null 2>&1) || status_windows=$?
        if [ "$status_linux" != "$status_windows" ]; then
            echo "same-bytes: exit status $status_linux on Linux, $status_windows on Windows for ${options[*]}" >&2
            exit 1
        fi
        if [ ! -f "$work/linux/mixed_new1.afp" ]; then
            echo "same-bytes: the mixed part failed for ${options[*]}, so nothing of it was compared" >&2
            exit 1
        fi
        if ! diff -r "$work/linux" "$work/windows" >/dev/null; then
            echo "same-bytes: the results differ for ${options[*]}" >&2
            diff -rq "$work/linux" "$work/windows" >&2 || true
            exit 1
        fi
        compared=$((compared + $(ls "$work/linux" | grep -c _new1)))
    done
done
echo "same-bytes: $compared new files alike, $(wc -l < "$work/corpus/mixed.afp") lines in the largest"
