#!/usr/bin/env bash
# Builds the Debian package of a finished build into a scratch folder and
# checks it: the files it holds, its control fields, that lintian,
# appstreamcli, desktop-file-validate, groff and man accept what it installs,
# that the manual page names every command and option tessaly-cli's help
# lists, that the backup units are sound and name the installed tessaly-cli,
# and that the bash completion completes commands, options and accounts.
#
#   check-package.sh CPACK BUILD_DIR WORK_DIR GUI
#
# Exits 77 (skipped) when a tool it needs is missing, after the checks it
# could make; `make deps` installs them all.
set -euo pipefail

cpack=$1 build=$2 work=$3 gui=$4
missing=()
need() { command -v "$1" >/dev/null || { missing+=("$1"); return 1; }; }
fail() { echo "FAILED: $*" >&2; exit 1; }

for tool in dpkg-deb dpkg-shlibdeps; do
    need "$tool" || { echo "SKIPPED: $tool is missing (make deps installs it)"; exit 77; }
done
[[ -e $build/man/tessaly-cli.1.gz ]] ||
    { echo "SKIPPED: no manual pages were written (scdoc is missing: make deps installs it)"; exit 77; }

rm -rf "$work"
mkdir -p "$work/home/.config" "$work/home/.cache" "$work/runtime"
chmod 700 "$work/runtime"
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_CACHE_HOME=$work/home/.cache
export XDG_DATA_HOME=$work/home/.local/share XDG_RUNTIME_DIR=$work/runtime
export LC_ALL=C.UTF-8 QT_QPA_PLATFORM=offscreen
unset TESSALY_FLICKR_ENDPOINT TESSALY_UPDATE_FEED

# The package and its files.
"$cpack" -G DEB -B "$work/out" --config "$build/CPackConfig.cmake" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack could not build the package"; }
debs=("$work"/out/tessaly_*_amd64.deb)
[[ ${#debs[@]} == 1 && -f ${debs[0]} ]] || fail "no single tessaly_VERSION_amd64.deb: ${debs[*]}"
deb=${debs[0]}
echo "built $(basename "$deb") ($(stat -c %s "$deb") bytes)"
dpkg-deb -c "$deb" | awk '{ print $6 }' | sed 's|^\./||' | grep -v '/$' >"$work/files"
cat "$work/files"

expected=(usr/bin/tessaly-cli usr/libexec/tessaly/fakeflickr
    usr/share/man/man1/tessaly-cli.1.gz usr/share/bash-completion/completions/tessaly-cli
    usr/lib/systemd/user/tessaly-backup.service usr/lib/systemd/user/tessaly-backup.timer
    usr/share/doc/tessaly/copyright usr/share/doc/tessaly/changelog.gz)
if [[ $gui == ON ]]; then
    expected+=(usr/bin/tessaly usr/share/man/man1/tessaly.1.gz usr/share/applications/tessaly.desktop
        usr/share/metainfo/org.example.tessaly.metainfo.xml
        usr/share/icons/hicolor/48x48/apps/tessaly.png usr/share/icons/hicolor/scalable/apps/tessaly.svg)
fi
for file in "${expected[@]}"; do
    grep -qx "$file" "$work/files" || fail "the package lacks $file"
done
if grep -v '^usr/' "$work/files" || grep '^usr/local/' "$work/files"; then
    fail "the package holds files outside /usr or in /usr/local"
fi
control=$(dpkg-deb -f "$deb")
for field in "Package: tessaly" "Section: graphics" "Maintainer: Tessaly Developers <tessaly@example.org>"; do
    grep -qx "$field" <<<"$control" || fail "the control file lacks '$field'"
done
grep -q "^Depends: .*libqt6core6" <<<"$control" || fail "no dependencies from the shared libraries"
[[ $(dpkg-deb -f "$deb" Description | wc -l) -gt 3 ]] || fail "no long description"

root=$work/root
dpkg-deb -x "$deb" "$root"
grep -qx "ExecStart=/usr/bin/tessaly-cli sync --exif --files" "$root/usr/lib/systemd/user/tessaly-backup.service" ||
    fail "the backup service does not start the installed tessaly-cli"

# The manual pages: every command of the help has its section, and every
# option of a command is described (starts a paragraph) there or among the
# common options; no warnings from groff or man.
cli=$build/bin/tessaly-cli
page=$root/usr/share/man/man1/tessaly-cli.1.gz
commands=$("$cli" --help | awk '/^Commands:/ { on = 1; next } on && NF == 0 { exit } on { print $1 }')
[[ -n $commands ]] || fail "tessaly-cli --help lists no commands"
roff=$(zcat "$page")
common=$(awk '/^\.S[HS]/ { on = ($0 == ".SH COMMON OPTIONS") } on && /^\\fB--/' <<<"$roff")
for command in $commands; do
    grep -qx ".SS $command" <<<"$roff" || fail "tessaly-cli(1) has no section for the command $command"
    described=$(awk -v name="$command" '/^\.S[HS]/ { on = ($0 == ".SS " name) } on && /^\\fB--/' <<<"$roff")
    for option in $("$cli" "$command" --help | grep -o '\[--[a-z0-9-]*' | tr -d '['); do
        grep -qF -- "\\fB$option\\fR" <<<"$described$common" ||
            fail "tessaly-cli(1) does not describe $option of $command"
    done
done
pages=("$page")
if [[ $gui == ON ]]; then
    pages+=("$root/usr/share/man/man1/tessaly.1.gz")
    text=$(zcat "${pages[1]}")
    for option in $("$build/bin/tessaly" --help 2>/dev/null | grep -o -- '--[a-z][a-z-]*' | sort -u); do
        grep -qF -- "\\fB$option\\fR" <<<"$text" || fail "tessaly(1) does not name $option"
    done
fi
for manual in "${pages[@]}"; do
    if need groff; then
        warnings=$(zcat "$manual" | groff -man -ww -z 2>&1) || true
        [[ -z $warnings ]] || fail "groff warns of $(basename "$manual"): $warnings"
    fi
    if need man; then
        warnings=$(MANWIDTH=80 man --warnings -E UTF-8 -l -Tutf8 -Z "$manual" 2>&1 >/dev/null) || true
        [[ -z $warnings ]] || fail "man warns of $(basename "$manual"): $warnings"
    fi
done

# Debian's and freedesktop.org's validators.
if need lintian; then
    status=0
    report=$(lintian --fail-on error "$deb" 2>&1) || status=$?
    grep -v "root privileges" <<<"$report" || true
    ((status == 0)) || fail "lintian reports errors"
fi
if [[ $gui == ON ]]; then
    if need desktop-file-validate; then
        desktop-file-validate "$root/usr/share/applications/tessaly.desktop" ||
            fail "desktop-file-validate reports errors"
    fi
    if need appstreamcli; then
        appstreamcli validate --no-net "$root/usr/share/metainfo/org.example.tessaly.metainfo.xml" &&
            appstreamcli validate-tree --no-net "$root" || fail "appstreamcli reports errors"
    fi
fi

# The units, with the service pointed at this build's tessaly-cli.
if need systemd-analyze; then
    mkdir "$work/units"
    cp "$root"/usr/lib/systemd/user/tessaly-backup.* "$work/units/"
    sed -i "s|^ExecStart=/usr/bin/tessaly-cli|ExecStart=$cli|" "$work/units/tessaly-backup.service"
    systemd-analyze verify --user --man=no "$work/units/tessaly-backup.timer" "$work/units/tessaly-backup.service" ||
        fail "systemd-analyze rejects the backup units"
fi

# The completion, with this build's tessaly-cli and two accounts.
PATH=$build/bin:$PATH
"$cli" add-account anna --location "$work/pictures" >/dev/null
"$cli" add-account bob --location "$work/pictures" >/dev/null
# shellcheck source=/dev/null
source "$root/usr/share/bash-completion/completions/tessaly-cli"
completes() {
    local want=$1
    shift
    COMP_WORDS=("$@")
    COMP_CWORD=$(($# - 1))
    COMPREPLY=()
    _tessaly_cli
    [[ "${COMPREPLY[*]}" == "$want" ]] || fail "completing '$*' gives '${COMPREPLY[*]}', not '$want'"
}
completes "$(echo $commands) help --help --version" tessaly-cli ""
completes "sync" tessaly-cli sy
completes "$("$cli" sync --help | grep -o '\[--[a-z0-9-]*' | tr -d '[' | xargs) --help" tessaly-cli sync --
completes "anna bob" tessaly-cli status --account ""
completes "bob" tessaly-cli sync --account = b
completes "text json csv" tessaly-cli search --format ""
completes "" tessaly-cli show ""

if ((${#missing[@]})); then
    echo "SKIPPED: not checked with $(printf '%s\n' "${missing[@]}" | sort -u | xargs): missing (make deps installs them)"
    exit 77
fi
rm -rf "$work"
echo "the package holds and installs what it should"
