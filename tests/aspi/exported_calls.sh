#!/bin/sh
# Fails unless the library's dynamic symbol table defines exactly the
# layer's two calls: no other function, object, weak or unique symbol.
set -e
defined=$(nm -D --defined-only "$1" | awk '{print $NF}' | sort | tr '\n' ' ')
echo "defined: $defined"
[ "$defined" = "GetASPI32SupportInfo SendASPI32Command " ]
