#!/usr/bin/env bash
# Runs fcitx_controller_tests on a private session bus whose service directory would start a
# stand-in fcitx5 (it only leaves a file) whenever a call lets the bus start org.fcitx.Fcitx5.
# Usage: fcitx-bus-test.sh TEST_BINARY
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/services"
cat >"$work/services/org.fcitx.Fcitx5.service" <<SERVICE
[D-BUS Service]
Name=org.fcitx.Fcitx5
Exec=/usr/bin/touch $work/started
SERVICE
cat >"$work/bus.conf" <<CONF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:dir=$work</listen>
  <servicedir>$work/services</servicedir>
  <limit name="service_start_timeout">2000</limit>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
CONF
export TIDEMARK_FCITX_STARTED=$work/started
exec timeout 60 dbus-run-session --config-file="$work/bus.conf" -- "$1"
