#!/bin/bash
# Fails on any complaint of desktop-file-validate or appstreamcli, warnings too.
# Usage: validate-desktop-files.sh DESKTOP-ENTRY METAINFO
set -u
status=0
out=$(desktop-file-validate "$1" 2>&1) || status=1
[[ -z $out ]] || { echo "$out"; status=1; }
appstreamcli validate --no-net --pedantic --no-color "$2" || status=1
exit $status
