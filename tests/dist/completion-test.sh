#!/usr/bin/env bash
# Completes zep command lines as bash does, with the completion that is installed, and checks a word
# that each must offer.
set -uo pipefail
zep_dir=$1 completion=$2
source /usr/share/bash-completion/bash_completion
source "$completion"
PATH=$zep_dir:$PATH
cd "$(mktemp -d)" || exit 1
trap 'rm -rf "$PWD"' EXIT
zep db demo demo.zdb >/dev/null || exit 1
touch app.s19

offered() {
    COMP_LINE=$1 COMP_POINT=${#1}
    read -r -a COMP_WORDS <<<"$1"
    [[ $1 == *" " ]] && COMP_WORDS+=("")
    COMP_CWORD=$((${#COMP_WORDS[@]} - 1))
    COMPREPLY=()
    _zep zep
    echo " ${COMPREPLY[*]} "
}

status=0
check() {
    local got
    got=$(offered "$1")
    [[ $got == *" $2 "* ]] || { echo "FAIL: '$1' offers '$got', not '$2'"; status=1; }
}
check "zep "                                     db
check "zep --lang fr co"                         convert
check "zep db s"                                 save
check "zep db save demo.zdb "                    a20
check "zep db save demo.zdb c"                   c1
check "zep db save demo.zdb a20 "                app.s19
check "zep db save demo.zdb a20 out.s --f"       --format
check "zep db copy demo.zdb a20 demo.zdb --into " h11
check "zep convert app.s19 out.h86 --to "        kwp
check "zep --answer "                            cancel
check "zep info "                                app.s19
exit $status
