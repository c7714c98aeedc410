#!/usr/bin/env bash
# Builds the Debian package, checks it with lintian, installs it and uses it from the installed
# paths only (help, a month's remittance and return import on a fresh folder, the program
# started from its desktop entry's Exec line, the backup archives' default application), then
# purges it and checks that nothing of it is left. Run as root or with sudo.
set -euo pipefail
cd "$(dirname "$0")/.."
SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO="sudo"
start=$(date +%s)
scripts/package.sh
deb=$(ls dist/tolmare_*_*.deb)
lintian --fail-on error,warning --display-info dist/tolmare_*.changes
echo "package built and checked in $(($(date +%s) - start)) s"

DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq "./$deb"
files=$(dpkg-query -L tolmare | sort)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export HOME="$work/home" TOLMARE_ENGINE_CONFIG="$work/engine.ini" XDG_DATA_DIRS=/usr/share
mkdir -p "$HOME"
cd "$work"
/usr/bin/tolmare-cli --help | grep >/dev/null '^Comandos:'
/usr/bin/tolmare-cli --version
dados="$work/Dados"
/usr/bin/tolmare-cli --dados "$dados" --criar-pasta demonstracao --retorno "$work/RET0726.TXT"
/usr/bin/tolmare-cli --dados "$dados" remessa --data 10/07/2026 --arquivo "$work/ARQ_PREVI.TXT"
grep -c $'\r' "$work/ARQ_PREVI.TXT" >/dev/null
/usr/bin/tolmare-cli --dados "$dados" retorno --arquivo "$work/RET0726.TXT" --mes 07/2026 \
  | grep >/dev/null 'RETORNO IMPORTADO'
# A DLLPath in the engine's file still wins over the private folder.
mkdir "$work/dll"
cp /usr/lib/tolmare/TBLSCN.DLL "$work/dll/"
printf 'DLLPath=%s\n' "$work/dll" >"$TOLMARE_ENGINE_CONFIG"
LD_DEBUG=files /usr/bin/tolmare-cli --dados "$dados" verificar 2>&1 \
  | grep >/dev/null "file=$work/dll/TBLSCN.DLL"

# The program from the desktop entry's Exec line, on the demonstration folder: its main
# window ("Tolmare", at least 660 pixels wide: not the start-up status window) must show.
printf '[Aliases]\nTolmare=%s\n' "$dados" >"$TOLMARE_ENGINE_CONFIG"
exec_line=$(sed -n 's/^Exec=//p' /usr/share/applications/org.tolmare.Tolmare.desktop)
command="${exec_line%% %f}"
xvfb-run -a sh -c "$command & pid=\$!
  for i in \$(seq 1 60); do
    if xwininfo -root -tree | grep '\"Tolmare\"' | grep -Eq ' ([6-9][0-9]{2}|[1-9][0-9]{3})x'; then
      kill \$pid; exit 0
    fi
    sleep 0.5
  done
  kill \$pid; exit 1"
echo "main window shown from: $exec_line"
default=$(xdg-mime query default application/x-tolmare-backup)
[ "$default" = org.tolmare.Tolmare.desktop ] || { echo "default for .bck: '$default'"; exit 1; }

cd /
DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y -qq tolmare
left=""
for f in $files; do
  [ -f "$f" ] || [ -L "$f" ] && left+="$f "
done
if [ -e /usr/lib/tolmare ]; then left+="/usr/lib/tolmare "; fi
if dpkg-query -W -f='${Status}' tolmare 2>/dev/null | grep -qv 'not-installed'; then
  left+="(dpkg still lists tolmare) "
fi
if [ -n "$left" ]; then
  echo "left behind after purge: $left"; exit 1
fi
[ -z "$(xdg-mime query default application/x-tolmare-backup)" ] || { echo "still the default for .bck"; exit 1; }
echo "installed, used and purged: nothing left; $(($(date +%s) - start)) s in all"
