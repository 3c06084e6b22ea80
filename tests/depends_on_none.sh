#!/bin/sh
# depends_on_none.sh FOLDER LIBRARY NAME OTHER_LIBRARY [NAME OTHER_LIBRARY ...]
# Fails when a source of FOLDER includes a header of folder NAME, or when
# LIBRARY needs a symbol that OTHER_LIBRARY defines (its own, strong
# definitions: inline functions and templates are everyone's).
folder=$1 library=$2
shift 2
needed=$(mktemp)
trap 'rm -f "$needed"' EXIT
nm --undefined-only --format=posix "$library" | awk '$2 == "U" { print $1 }' | sort -u >"$needed"
status=0
while [ $# -ge 2 ]; do
    name=$1 other=$2
    shift 2
    if grep -rnE "#include [\"<]$name/" "$folder"; then
        echo "$folder includes headers of $name/"
        status=1
    fi
    found=$(nm --defined-only --format=posix "$other" | awk '$2 ~ /^[TDBR]$/ { print $1 }' | sort -u |
        comm -12 "$needed" -)
    if [ -n "$found" ]; then
        echo "$library needs symbols of $other:"
        echo "$found"
        status=1
    fi
done
exit $status
