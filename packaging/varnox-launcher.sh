#!/bin/sh
# Starts varnox from its program folder, where config.txt and the tree pictures live.
here=$(dirname "$(readlink -f "$0")")
exec "$here/../lib/varnox/varnox" "$@"
