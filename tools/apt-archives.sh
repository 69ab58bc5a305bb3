#!/usr/bin/env bash
# Prints the package archives this machine's apt takes a Debian suite from: the address (URI) of
# the archive that serves SUITE on the first line, and that of SUITE-security on the second (an
# empty line when the sources have none). Both come from the machine's own sources, in the order
# apt reads them: /etc/apt/sources.list, then the *.list and deb822 *.sources files of
# /etc/apt/sources.list.d (a mirror or a proxy that a machine uses is then used here too).
#
# Usage: tools/apt-archives.sh SUITE      (e.g. bookworm)
#   KV_APT_ETC names another folder to read instead of /etc/apt (for the tests).
# Exits 1, saying so, when no source serves SUITE.
set -euo pipefail

if [ $# -ne 1 ] || [ -z "$1" ]; then
    sed -n '2,10p' "$0" | sed 's/^# \{0,1\}//'
    exit 2
fi
suite=$1
etc=${KV_APT_ETC:-/etc/apt}

# Every enabled "deb" source as lines of "URI SUITE", one-line files and deb822 files alike.
sources() {
    local file
    for file in "$etc/sources.list" "$etc"/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        # deb [options] URI SUITE COMPONENT...: the options in brackets are dropped.
        sed -e 's/#.*//' -e 's/\[[^]]*\]//' "$file" |
            awk '$1 == "deb" && NF >= 3 { print $2, $3 }'
    done
    for file in "$etc"/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # Stanzas apart by blank lines; a line starting with a space continues a field.
        awk '
            function flush(   i, j, u, s) {
                if (types ~ /(^| )deb( |$)/ && tolower(enabled) != "no") {
                    u = split(uris, uriList, " ")
                    s = split(suites, suiteList, " ")
                    for (i = 1; i <= u; i++)
                        for (j = 1; j <= s; j++)
                            print uriList[i], suiteList[j]
                }
                types = uris = suites = ""
                enabled = "yes"
            }
            BEGIN { enabled = "yes" }
            /^[ \t]*$/ { flush(); next }
            /^#/ || /^[ \t]/ { next }
            {
                field = tolower($1)
                sub(/^[^:]*:[ \t]*/, "")
                if (field == "types:") types = $0
                else if (field == "uris:") uris = $0
                else if (field == "suites:") suites = $0
                else if (field == "enabled:") enabled = $0
            }
            END { flush() }
        ' "$file"
    done
}

list=$(sources)
archive=$(awk -v s="$suite" '$2 == s { print $1; exit }' <<<"$list")
security=$(awk -v s="$suite-security" '$2 == s { print $1; exit }' <<<"$list")
if [ -z "$archive" ]; then
    echo "apt-archives: no source in $etc/sources.list or $etc/sources.list.d serves" \
        "$suite; name the archive yourself (--archive URI)" >&2
    exit 1
fi
echo "${archive%/}"
echo "${security%/}"
