#!/usr/bin/env bash
# Whole update passes of the program against pyftpdlib on 127.0.0.1, one row per outcome (see
# update_pass.py). Debian's python3 carries pyftpdlib.
set -euo pipefail
exec /usr/bin/python3 "$(dirname "$0")/update_pass.py" "$1"
