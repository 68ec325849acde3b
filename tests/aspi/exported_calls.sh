#!/bin/sh
# Fails unless the library's exported functions are exactly the layer's two calls.
exported=$(nm -D --defined-only "$1" | awk '$2 == "T" && $3 !~ /^_/ {print $3}' | sort | tr '\n' ' ')
echo "exported: $exported"
[ "$exported" = "GetASPI32SupportInfo SendASPI32Command " ]
