#!/usr/bin/env bash
# Builds the Debian package from the build tree BUILD, checks it with lintian, unpacks it with
# dpkg -x into a temporary root and runs the tools from there: the CLI's --version, its plot
# (its drawing module) and its bash completion, the Python module imported by Debian's python3
# from the unpacked dist-packages, and the program's --screenshot as an ordinary user, for whom
# the unpacked program folder is not writable. Fails when lintian reports an error or a warning,
# or the package misses a file or a dependency.
# Usage: test-package.sh BUILD VERSION REVISION [PYTHON_ENV]
# PYTHON_ENV: VAR=VALUE words the interpreter needs to load the module as built (the sanitizer's
# run-time of a sanitizer build).
set -euo pipefail
build=$(cd "$1" && pwd)
version=$2
revision=$3
python_env=${4:-}
deb=$build/k-tav-px-ms-vista_${version}-${revision}_amd64.deb
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "package test: $*" >&2; exit 1; }

rm -f "$deb"
(cd "$build" && cpack -G DEB >"$tmp/cpack.log" 2>&1) || { cat "$tmp/cpack.log" >&2; fail "cpack failed"; }
[ -f "$deb" ] || fail "no $deb"
lintian --fail-on error,warning "$deb" >"$tmp/lintian.log" 2>&1 || { cat "$tmp/lintian.log" >&2; fail "lintian"; }

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6core6 libqt6widgets6 libqt6serialport6 qt6-qpa-plugins libc6; do
    grep -q "$lib" <<<"$depends" || fail "Depends lacks $lib: $depends"
done

root=$tmp/root
dpkg -x "$deb" "$root"
doc=usr/share/doc/k-tav-px-ms-vista
for file in usr/bin/k-tav-px-ms-vista usr/bin/k-tav-cli usr/bin/k-tav-sim \
            usr/share/man/man1/k-tav-px-ms-vista.1.gz usr/share/man/man1/k-tav-cli.1.gz \
            usr/share/man/man1/k-tav-sim.1.gz usr/share/bash-completion/completions/k-tav-cli \
            $doc/copyright $doc/changelog.Debian.gz \
            usr/share/applications/org.ktav.PxMsVista.desktop \
            usr/share/applications/org.ktav.PxMsVista.Touch.desktop \
            usr/share/icons/hicolor/scalable/apps/org.ktav.PxMsVista.svg \
            usr/share/metainfo/org.ktav.PxMsVista.metainfo.xml \
            usr/lib/systemd/system/k-tav-publish@.service \
            usr/lib/python3/dist-packages/ktav/__init__.py \
            usr/lib/python3/dist-packages/ktav/__init__.pyi; do
    [ -s "$root/$file" ] || fail "the package misses /$file"
done
grep -q '^Exec=k-tav-px-ms-vista --touch$' "$root/usr/share/applications/org.ktav.PxMsVista.Touch.desktop" ||
    fail "the touch entry does not start the touch surface"
rsvg-convert -w 64 -h 64 "$root/usr/share/icons/hicolor/scalable/apps/org.ktav.PxMsVista.svg" \
    -o "$tmp/icon.png" || fail "the icon does not render"

for exe in k-tav-cli k-tav-sim; do
    got=$("$root/usr/bin/$exe" --version)
    [ "$got" = "$exe $version" ] || fail "$exe --version says '$got'"
done
# plot finds its drawing module in the package's private library folder: a recording made with
# the unpacked simulator and tool, drawn by the unpacked tool.
"$root/usr/bin/k-tav-sim" --tcp 127.0.0.1:0 >"$tmp/sim.out" 2>&1 &
sim=$!
trap 'kill "$sim" 2>/dev/null || true; rm -rf "$tmp"' EXIT
for _ in $(seq 100); do grep -q '^READY' "$tmp/sim.out" && break; sleep 0.1; done
port=$(sed -n 's/^TCP .*:\([0-9]*\)$/\1/p' "$tmp/sim.out")
"$root/usr/bin/k-tav-cli" record --tcp "127.0.0.1:$port" --dir "$tmp" --count 5 \
    --out "$tmp/rec.dat" 2>/dev/null || fail "the unpacked k-tav-cli cannot record"
# The module with its stub and marker, imported from the unpacked dist-packages alone.
python_dir=$root/usr/lib/python3/dist-packages
[ -f "$python_dir/ktav/py.typed" ] && ls "$python_dir"/ktav/_ktav.cpython-*.so >/dev/null ||
    fail "the package misses the module's extension or py.typed"
# shellcheck disable=SC2086  # PYTHON_ENV is words
env $python_env PYTHONPATH="$python_dir" PYTHONDONTWRITEBYTECODE=1 HOME="$tmp" /usr/bin/python3 -c "
import ktav
assert ktav.__file__.startswith('$python_dir/')
with ktav.Pair(tcp='127.0.0.1:$port') as pair:
    assert pair.run_array(3).size == 3
" || fail "the unpacked module cannot be imported or cannot reach the simulator"
kill "$sim"
wait "$sim" || true
"$root/usr/bin/k-tav-cli" plot "$tmp/rec.dat" --out "$tmp/rec.png" && [ -s "$tmp/rec.png" ] ||
    fail "the unpacked k-tav-cli cannot plot"
[ -f "$root/usr/lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/k-tav-px-ms-vista/ktav-mqtt.so" ] ||
    fail "publish's MQTT module is not in the package"
got=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/k-tav-px-ms-vista" --version 2>/dev/null)
[ "$got" = "K-TAV-PX-MS-Vista $version" ] || fail "k-tav-px-ms-vista --version says '$got'"
zgrep -q "$version" "$root/usr/share/man/man1/k-tav-cli.1.gz" || fail "the manual page lacks the version"
zgrep -q -- "-upper" "$root/usr/share/man/man1/k-tav-cli.1.gz" || fail "the manual page lacks the options"
zcat "$root/$doc/changelog.Debian.gz" | sed -n 1p | grep -qF "($version-$revision)" ||
    fail "the changelog's latest entry is not $version-$revision"

# The bash completion offers what the tool's --help lists: every option after "-", every command
# first; file names after an option or a command that takes a file, folders after --dir, the
# words of --target and of linearize (past an option's value), nothing after a number.
mkdir -p "$tmp/files/folder"
touch "$tmp/files/rec.dat"
offered() {  # the sorted words the completion offers at the end of the line "k-tav-cli $1"
    (cd "$tmp/files" && bash -c '
        source /usr/share/bash-completion/bash_completion
        source "$1"
        COMP_LINE="k-tav-cli $2" COMP_POINT=$((10 + ${#2}))
        read -ra COMP_WORDS <<<"$COMP_LINE"
        [[ $COMP_LINE == *" " ]] && COMP_WORDS+=("")
        COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
        _k_tav_cli k-tav-cli "${COMP_WORDS[-1]}" "${COMP_WORDS[-2]}"
        printf "%s\n" "${COMPREPLY[@]}" | sort | paste -sd " "' _ \
        "$root/usr/share/bash-completion/completions/k-tav-cli" "$1")
}
help=$("$root/usr/bin/k-tav-cli" --help)
options=$(grep -oE '^  (-[a-z], )?--[a-z-]+' <<<"$help" | grep -oE -- '-[-a-z]+' | sort | paste -sd " ")
commands=$(sed -n '/^Commands/,/^$/s/^  \([a-z][-a-z]*\).*/\1/p' <<<"$help" | sort | paste -sd " ")
[ "$(wc -w <<<"$commands")" -ge 15 ] || fail "--help lists only the commands '$commands'"
while IFS='|' read -r line want; do
    got=$(offered "$line")
    [ "$got" = "$want" ] || fail "completion of 'k-tav-cli $line' offers '$got', not '$want'"
done <<CASES
-|$options
|$commands
--out |folder rec.dat
--width 400 plot |folder rec.dat
stats rec.dat |
--dir |folder
--target |eeprom ram
--tcp 127.0.0.1 linearize |master off slave
run --count |
CASES

# The program as an ordinary user: its folder is not writable, so the settings go to the user's
# configuration folder, and the status log says so once. As root, nobody stands in for the user.
home=$tmp/home
mkdir -p "$home"
chmod 755 "$tmp"
run_as=()
if [ "$(id -u)" = 0 ]; then
    chown 65534:65534 "$home"
    run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
fi
env -i PATH=/usr/bin:/bin HOME="$home" XDG_CONFIG_HOME="$home/.config" XDG_RUNTIME_DIR="$home" \
    QT_QPA_PLATFORM=offscreen KTAV_COM1="$tmp/no-such-port" \
    "${run_as[@]}" "$root/usr/bin/k-tav-px-ms-vista" --log "$home/status.log" \
    --screenshot "$home/shot.png" || fail "the unpacked program failed"
[ -s "$home/shot.png" ] || fail "no screenshot"
notes=$(grep -c "Program folder not writable: settings kept in $home/.config/" "$home/status.log" || true)
[ "$notes" = 1 ] || fail "the fallback is noted $notes times in the status log"
[ -s "$home/.config/K-TAV-PX-MS-Vista/PX-MS-Vista.ini" ] || fail "no settings file in the user's folder"
echo "package test: $(basename "$deb") passed"
