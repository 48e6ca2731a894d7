#!/usr/bin/env bash
# Makes the Debian packages from a build with `cpack -G DEB` in a folder of its
# own and checks each one: exactly the expected files, its control fields
# (with the libraries its programs link and the tools they run) and lintian's
# verdict, which must hold no error and no warning that the package does not
# override.
# Usage: deb.sh BUILD_DIR
# The environment holds what the build was configured with: PACKAGE_VERSION,
# QUORVIA_AGENT_PATH, QUORVIA_DAEMON_PATH, QUORVIA_DBUS_POLICY_DIR,
# QUORVIA_DBUS_SYSTEM_SERVICES_DIR, QUORVIA_SYSTEMD_UNIT_DIR,
# QUORVIA_AUTOSTART_DIR and QUORVIA_WITH_CA (1 when a CA file is installed).
set -euo pipefail
build=$(cd "$1" && pwd)

work=$(mktemp -d "${TMPDIR:-/tmp}/packaging-deb.XXXXXX")
# cpack's staging install leaves its install manifests in the build folder;
# the build keeps the ones it had before.
manifests=(install_manifest_quorvia.txt install_manifest_olvenka.txt)
mkdir "$work/manifests"
for m in "${manifests[@]}"; do
  if [ -e "$build/$m" ]; then cp -p "$build/$m" "$work/manifests/"; fi
done
restore() {
  for m in "${manifests[@]}"; do
    if [ -e "$work/manifests/$m" ]; then cp -p "$work/manifests/$m" "$build/$m"; else rm -f "$build/$m"; fi
  done
  rm -rf "$work"
}
trap restore EXIT

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

if ! cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1; then
  cat "$work/cpack.log"
  exit 1
fi

arch=$(dpkg --print-architecture)
version=$PACKAGE_VERSION
policy=$QUORVIA_DBUS_POLICY_DIR

quorvia_files=(
  /usr/bin/quorvia-cloud-print-configurator
  "$QUORVIA_AGENT_PATH"
  "$QUORVIA_DAEMON_PATH"
  "$policy/com.quorvia.cloud.print.daemon.conf"
  "$policy/com.quorvia.cloud.print.agent.conf"
  "$QUORVIA_DBUS_SYSTEM_SERVICES_DIR/com.quorvia.cloud.print.daemon.service"
  "$QUORVIA_SYSTEMD_UNIT_DIR/quorvia-cloud-print-deamon.service"
  "$QUORVIA_AUTOSTART_DIR/quorvia-cloud-print-agent.desktop"
  /usr/share/applications/quorvia-cloud-print-configurator.desktop
  /usr/share/icons/hicolor/scalable/apps/quorvia-cloud-print-configurator.svg
  /usr/share/ppd/tqp/TQP.ppd
  /usr/share/man/man1/quorvia-cloud-print-configurator.1.gz
  /usr/share/man/man8/quorvia-cloud-print-deamon.8.gz
  /usr/share/doc/quorvia-cloud-print/copyright
  /usr/share/doc/quorvia-cloud-print/changelog.gz
  /usr/share/lintian/overrides/quorvia-cloud-print
)
if [ "$QUORVIA_WITH_CA" = 1 ]; then
  quorvia_files+=(/usr/share/quorvia-cloud-print-configurator/cert/CA.pem)
fi
quorvia_programs=(/usr/bin/quorvia-cloud-print-configurator "$QUORVIA_AGENT_PATH" "$QUORVIA_DAEMON_PATH")
quorvia_tools=(cups-client cups-ppdc dbus procps)

olvenka_files=(
  /usr/bin/olvenka-cloud-printer-client
  "$policy/com.olvenka.cloud.printer.conf"
  /usr/share/ppd/olvenka-cloud-printer/RZP.ppd
  /usr/share/applications/olvenka-cloud-printer-client.desktop
  /usr/share/icons/hicolor/scalable/apps/olvenka-cloud-printer-client.svg
  /usr/share/man/man1/olvenka-cloud-printer-client.1.gz
  /usr/share/doc/olvenka-cloud-printer-client/copyright
  /usr/share/doc/olvenka-cloud-printer-client/changelog.gz
)
olvenka_programs=(/usr/bin/olvenka-cloud-printer-client)
olvenka_tools=(cups-client cups-daemon dbus libqt5sql5-sqlite libqt5svg5)

# The package names in a relation field, alone, versioned or as alternatives.
relation_names() { # field
  tr ',|' '\n\n' <<<"$1" | sed 's/(.*//; s/^ *//; s/ *$//' | sort -u
}

# The packages on this machine that hold the libraries a program links, in
# the folders of the machine's own architecture.
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)
linked_packages() { # program
  local patterns=() lib
  for lib in $(objdump -p "$1" | awk '$1 == "NEEDED" { print $2 }'); do
    patterns+=("*/$multiarch/$lib")
  done
  dpkg -S "${patterns[@]}" | grep -E '^[^ ]+: /' | sed 's/[:,].*//' | sort -u
}

check_package() { # name files-var programs-var tools-var
  local name=$1
  local -n files=$2 programs=$3 tools=$4
  local deb="$work/out/${name}_${version}_${arch}.deb"
  echo "== $name"
  if [ ! -f "$deb" ]; then
    fail "$name: no $(basename "$deb")"
    ls "$work/out"
    return
  fi

  # Exactly the expected files, whatever folders hold them.
  dpkg-deb -c "$deb" | awk '$1 !~ /^d/ { sub(/^\./, "", $NF); print $NF }' | sort >"$work/$name.files"
  printf '%s\n' "${files[@]}" | sort >"$work/$name.expected"
  if ! diff -u "$work/$name.expected" "$work/$name.files"; then
    fail "$name: the file list differs from the expected one (- missing, + unexpected)"
  fi
  local p mode
  for p in "${programs[@]}"; do
    mode=$(dpkg-deb -c "$deb" | awk -v f=".$p" '$NF == f { print $1, $2 }')
    [ "$mode" = "-rwxr-xr-x root/root" ] || fail "$name: $p is '$mode', not an executable of root"
  done

  # Control fields.
  local field value
  for field in Package Version Architecture Maintainer Section Priority Homepage Description Depends; do
    value=$(dpkg-deb -f "$deb" "$field")
    [ -n "$value" ] || fail "$name: no $field field"
  done
  [ "$(dpkg-deb -f "$deb" Package)" = "$name" ] || fail "$name: Package is $(dpkg-deb -f "$deb" Package)"
  [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "$name: Version is $(dpkg-deb -f "$deb" Version)"
  [ "$(dpkg-deb -f "$deb" Architecture)" = "$arch" ] || fail "$name: Architecture is not $arch"
  local depends
  depends=$(dpkg-deb -f "$deb" Depends)
  echo "Depends: $depends"
  mkdir -p "$work/$name"
  dpkg-deb -x "$deb" "$work/$name"
  local needed=()
  for p in "${programs[@]}"; do
    mapfile -t -O "${#needed[@]}" needed < <(linked_packages "$work/$name$p")
  done
  [ "${#needed[@]}" -gt 0 ] || fail "$name: found no linked library"
  relation_names "$depends" >"$work/$name.depends"
  for p in $(printf '%s\n' "${needed[@]}" "${tools[@]}" | sort -u); do
    grep -qFx -- "$p" "$work/$name.depends" || fail "$name: Depends lacks $p"
  done

  # Lintian, with no settings of the user's; the package's overrides apply.
  if ! lintian --no-cfg --fail-on error,warning --display-info "$deb" >"$work/$name.lintian" 2>&1; then
    fail "$name: lintian reports errors or warnings"
  fi
  grep -v '^running with root privileges' "$work/$name.lintian" || true
}

check_package quorvia-cloud-print quorvia_files quorvia_programs quorvia_tools
check_package olvenka-cloud-printer-client olvenka_files olvenka_programs olvenka_tools

# Nothing else: no test program, benchmark or demo tool comes in a package of
# its own.
extra=$(cd "$work/out" && ls ./*.deb | grep -v -e "quorvia-cloud-print_" -e "olvenka-cloud-printer-client_" || true)
[ -z "$extra" ] || fail "unexpected packages: $extra"

if [ "$failures" -gt 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "Both packages are complete and lintian-clean."
