#!/usr/bin/env bash
# Writes the bash completion of k-tav-cli: TEMPLATE with its line @TABLES@ replaced by the
# commands, options, option values and command arguments that `CLI --help` lists, so that the
# completion offers what the tool takes. Usage: make-completion.sh CLI TEMPLATE OUTPUT
set -euo pipefail
cli=$1 template=$2 output=$3

# --help's notation: an option line "  -h, --help" or "  --out <FILE>  description"; a command
# line "  stats FILE   description" or "  linearize    off|master|slave: description" in the
# blocks that begin with "Commands".
tables=$("$cli" --help | awk '
    /^Options:/ { block = "options"; next }
    /^Commands/ { block = "commands"; next }
    /^[^ ]/ || /^$/ { block = ""; next }
    block == "options" && match($0, /^  (-[a-zA-Z], )?--[a-z][a-z0-9-]*( <[^>]*>)?/) {
        option = substr($0, 3, RLENGTH - 2)
        value = ""
        if (match(option, / <[^>]*>$/)) {
            value = substr(option, RSTART + 2, RLENGTH - 3)
            option = substr(option, 1, RSTART - 1)
        }
        count = split(option, names, ", ")
        for (i = 1; i <= count; i++) {
            options = options " " names[i]
            if (value != "") values = values " [" names[i] "]='\''" value "'\''"
        }
    }
    block == "commands" && /^  [a-z]/ {
        commands = commands " " $1
        if ($0 ~ /^  [a-z][a-z-]* [A-Z]+  /) arguments = arguments " [" $1 "]=" $2
        else if ($2 ~ /^[a-z]+(\|[a-z]+)+:$/)
            arguments = arguments " [" $1 "]='\''" substr($2, 1, length($2) - 1) "'\''"
    }
    END {
        print "    local commands=(" substr(commands, 2) ")"
        print "    local options=(" substr(options, 2) ")"
        print "    local -A option_value=(" substr(values, 2) ")"
        print "    local -A command_argument=(" substr(arguments, 2) ")"
    }')
[[ $tables == *"commands=(identify"* ]] || { echo "make-completion: no commands in $cli --help" >&2; exit 1; }
TABLES=$tables awk '$1 == "@TABLES@" { print ENVIRON["TABLES"]; next } { print }' "$template" >"$output"
