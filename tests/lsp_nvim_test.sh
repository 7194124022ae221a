#!/bin/bash
# End to end in the editor: headless Neovim opens the example configuration
# with a fault put in, attaches `vorn lsp` with its own LSP client and
# reads back the error on the faulty line, the hover of EmergencyPause and
# the outline of periods; compared with tests/golden/lsp/nvim.txt
# (VORN_UPDATE_EXAMPLES=1 rewrites it).  Skipped where nvim is missing.
# Usage: lsp_nvim_test.sh VORN SOURCE_DIR
set -u
vorn=$1 source=$2
if ! command -v nvim >/dev/null 2>&1; then
    echo "skipped: nvim is not installed (Debian package neovim)"
    exit 0
fi
work=$(mktemp -d) || exit 1
trap 'rm -rf "$work"' EXIT
# The fault: a day name the compiler does not know in the evening heading.
sed 's/^\[18:00\] MO TU WE TH FR$/[18:00] MO TU WE TH FX/' "$source/examples/vorn-box.cfg" >"$work/vorn-box.cfg"
cmp -s "$source/examples/vorn-box.cfg" "$work/vorn-box.cfg" && { echo "the fault was not put in"; exit 1; }
HOME=$work XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data XDG_STATE_HOME=$work/state \
    VORN=$vorn CFG=$work/vorn-box.cfg OUT=$work/out.txt \
    timeout 30 nvim --headless --clean -n -c "luafile $source/tests/lsp_nvim.lua" </dev/null >"$work/nvim.log" 2>&1
status=$?
if [ "$status" -ne 0 ]; then
    echo "nvim ended with $status"
    cat "$work/nvim.log" "$work/out.txt" 2>/dev/null
    exit 1
fi
golden=$source/tests/golden/lsp/nvim.txt
if [ "${VORN_UPDATE_EXAMPLES:-}" = 1 ]; then
    cp "$work/out.txt" "$golden"
fi
diff -u "$golden" "$work/out.txt"
