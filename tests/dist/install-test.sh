#!/usr/bin/env bash
# Installs Tarnwell into a temporary folder as `make install DESTDIR=...` does and checks the
# installed tree: its files, the installed program on its installed data, the manual page against
# the program's own help texts, the bash and zsh completions and the systemd units.
#   install-test.sh BUILD-FOLDER SOURCE-FOLDER
set -euo pipefail

build=$(realpath "$1")
source_dir=$(realpath "$2")
here=$(dirname "$(realpath "$0")")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

# Failures are counted in a file, since some checks run in subshells.
fail() {
    echo "FAIL: $*" | tee -a "$tmp/failures" >&2
}

# Nothing may lead the installed program to the source tree or to a program folder of its own.
unset TARNWELL_DATA_DIR TARNWELL_HOME XDG_DATA_HOME XDG_RUNTIME_DIR
export HOME=$tmp/home
mkdir -p "$HOME"
cd "$tmp"

# --- The installed tree, for the default prefix and for /usr ---------------------------------

expected_files() { # PREFIX ZSH-FOLDER
    printf '%s\n' "$1/bin/tarnwell" "$1/share/man/man1/tarnwell.1" \
        "$1/share/bash-completion/completions/tarnwell" "$1/share/zsh/$2/_tarnwell" \
        "$1/lib/systemd/user/tarnwell.service" \
        "$1/share/doc/tarnwell/README.md" \
        "$1/share/doc/tarnwell/examples/tarnwell-once.service" \
        "$1/share/doc/tarnwell/examples/tarnwell-once.timer"
    (cd "$source_dir/data" && find . -type f) | sed "s|^\.|$1/share/tarnwell|"
}

for case in '/usr/local site-functions' '/usr vendor-completions'; do
    read -r prefix zsh_folder <<<"$case"
    root=$tmp/root${prefix//\//_}
    DESTDIR=$root cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" ||
        { cat "$tmp/install.log" >&2; exit 1; }
    diff <(expected_files "$prefix" "$zsh_folder" | sort) \
        <(cd "$root" && find . -type f | sed 's|^\.||' | sort) ||
        fail "the files installed under $prefix (< expected, > installed)"
    diff -r "$source_dir/data" "$root$prefix/share/tarnwell" || fail "the data files under $prefix"
    [[ -x $root$prefix/bin/tarnwell ]] || fail "$prefix/bin/tarnwell is not executable"
    for unit in lib/systemd/user/tarnwell.service share/doc/tarnwell/examples/tarnwell-once.service; do
        grep -q "^ExecStart=$prefix/bin/tarnwell " "$root$prefix/$unit" ||
            fail "$unit does not run $prefix/bin/tarnwell: $(grep '^ExecStart=' "$root$prefix/$unit")"
    done
done

installed=$tmp/root_usr_local/usr/local
program=$installed/bin/tarnwell
man_page=$installed/share/man/man1/tarnwell.1
bash_completion=$installed/share/bash-completion/completions/tarnwell
zsh_completion=$installed/share/zsh/site-functions/_tarnwell

# --- The installed program runs on the installed data ------------------------------------------

[[ $("$program" --version) == "Tarnwell "[0-9]* ]] || fail "--version: $("$program" --version)"
# A new program folder gets every installed data file, this one too.
echo marker >"$installed/share/tarnwell/Complaints/Installed marker.txt"
classify_home=$tmp/classify-home
"$program" --home "$classify_home" filters block tk >/dev/null
printf 'From: offers@shop.tk\nTo: pat@example.com\nSubject: Offer\n\nText\n' >offer.eml
result=$("$program" --home "$classify_home" classify offer.eml)
[[ $result == $'offer.eml\tSpam\tSent from or via Tokelau' ]] || fail "classify: $result"
[[ -f "$classify_home/Complaints/Installed marker.txt" ]] ||
    fail "the program folder's data files do not come from $installed/share/tarnwell"

# --- The manual page ---------------------------------------------------------------------------

warnings=$(groff -man -ww -z "$man_page" 2>&1)
[[ -z $warnings ]] || fail "groff warns about the manual page: $warnings"

# The page's source with the escapes of hyphens, fonts and dots undone.
page=$(sed -e 's/\\-/-/g' -e 's/\\f[BIRP]//g' -e 's/\\&//g' "$man_page")
# The lines of the page from a heading (".SH NAME" or ".SS NAME") to the next one.
section() {
    awk -v head="$1" '/^\.S[HS] / { inside = ($0 == head) } inside' <<<"$page"
}
has_word() { # WORD TEXT
    grep -qE -- "(^|[^A-Za-z0-9-])$1([^A-Za-z0-9-]|$)" <<<"$2"
}
# The options a help text names: words that begin with - or -- after a blank or a bracket.
options_of() {
    grep -oE -- '(^|[ [(|,])--?[a-z][a-z0-9-]*' <<<"$1" | sed 's/^[ [(|,]//' | sort -u
}
# The subcommands of a command's usage lines ("filters block|unblock" gives both).
subcommands_of() { # COMMAND HELP
    sed -nE "s/^(Usage:)? +tarnwell (\[--home DIR\] )?$1 ([a-z|]+)( .*)?$/\3/p" <<<"$2" |
        tr '|' '\n' | sort -u
}

top_help=$("$program" --help)
commands=$(sed -n '/^Commands:/,/^Options:/p' <<<"$top_help" | sed -nE 's/^  ([a-z]+) .*/\1/p')
[[ $(wc -w <<<"$commands") -ge 8 ]] || fail "too few commands in --help: $commands"
for option in $(options_of "$(sed -n '/^Options:/,$p' <<<"$top_help")"); do
    has_word "$option" "$(section '.SH OPTIONS')" || fail "OPTIONS lacks $option"
done
# The switches are the first words of the comma-separated names at the start of a help line.
switches=$("$program" --headless --help | sed -nE 's/^  ([^ ].*)/\1/p' | sed -E 's/   .*//' |
    tr ',' '\n' | awk '{ print $1 }')
[[ $switches == *"/ONCE"* ]] || fail "no switches in --headless --help"
for switch in $switches; do
    has_word "$switch" "$(section '.SH SWITCHES')" || fail "SWITCHES lacks $switch"
done
declare -A command_help
for command in $commands; do
    command_help[$command]=$("$program" "$command" --help)
    text=$(section ".SS $command")
    [[ -n $text ]] || { fail "COMMANDS has no section $command"; continue; }
    for option in $(options_of "${command_help[$command]}"); do
        [[ $option == --home ]] && continue
        has_word "$option" "$text" || fail "the section $command lacks $option"
    done
    for subcommand in $(subcommands_of "$command" "${command_help[$command]}"); do
        grep -qE "tarnwell $command ([a-z]+\|)*$subcommand(\|[a-z]+)*( |\"|$)" <<<"$text" ||
            fail "the section $command has no synopsis of $command $subcommand"
    done
done

# The completions ask the program on the PATH for accounts, filters and settings.
export PATH=$installed/bin:$PATH

# --- bash completion ---------------------------------------------------------------------------

accounts_home=$tmp/accounts-home
for description in 'Home Mail' Work; do
    echo secret | "$program" --home "$accounts_home" accounts add pop3 --description "$description" \
        --name 'Pat Doe' --email pat@example.com --pop3 127.0.0.1 --user pat --smtp 127.0.0.1 \
        --password-stdin >/dev/null
done

# What the completion function offers for the words of a line, the last one being completed,
# one per line. It must not print errors into the line being edited.
complete_words() {
    bash --norc --noprofile -c 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
        _tarnwell; printf "%s\n" "${COMPREPLY[@]}"' _ "$bash_completion" "$@" 2>"$tmp/errors"
    [[ ! -s $tmp/errors ]] || fail "bash completing \"$*\" writes: $(cat "$tmp/errors")"
}
expect_completion() { # EXPECTED WORD... (EXPECTED separated by |)
    local expected=$1 got
    shift
    got=$(complete_words "$@" | paste -sd '|')
    [[ $got == "$expected" ]] || fail "bash completes \"$*\" to \"$got\", not \"$expected\""
}

h=(--home "$accounts_home")
expect_completion 'accounts' tarnwell acc
expect_completion 'Home Mail|Work' tarnwell "${h[@]}" accounts show ''
expect_completion 'Home Mail' tarnwell "${h[@]}" accounts set Ho
expect_completion 'Home Mail' tarnwell "${h[@]}" accounts remove '"Home M'
expect_completion 'Home Mail' tarnwell "${h[@]}" killed list "'Home M"
expect_completion 'Home Mail' tarnwell "${h[@]}" live list 'Home\ M'
expect_completion 'Work' tarnwell --home = "$accounts_home" killed list W
expect_completion '--pop3-security' tarnwell "${h[@]}" accounts set Work --pop3-s
expect_completion 'tls|starttls|none' tarnwell "${h[@]}" accounts set Work --smtp-security ''
expect_completion 'tls|starttls|none' tarnwell "${h[@]}" accounts add pop3 --smtp-security = ''
expect_completion 'Logging' tarnwell "${h[@]}" settings get Loggi
expect_completion '1|2|3|4' tarnwell "${h[@]}" filters set header ''
expect_completion '--quiet' tarnwell /ONCE --q
expect_completion 'abuse,postmaster' tarnwell filters add subject --recipients abuse,p
# Completing must not make a program folder.
expect_completion '' tarnwell --home "$tmp/no-folder" accounts show ''
[[ ! -e $tmp/no-folder ]] || fail "completing made the program folder $tmp/no-folder"

# Every command, subcommand and option of the help texts is offered.
offered=$(complete_words tarnwell '')
for command in $commands; do
    grep -qx -- "$command" <<<"$offered" || fail "bash does not offer the command $command"
done
for switch in $switches; do
    grep -qx -- "$switch" <<<"$offered" || fail "bash does not offer the switch $switch"
done
for command in $commands; do
    expected=$(subcommands_of "$command" "${command_help[$command]}")
    [[ -z $expected ]] && continue
    got=$(complete_words tarnwell "$command" '' | sort -u)
    [[ $got == "$expected" ]] ||
        fail "bash offers the subcommands ${got//$'\n'/ } of $command, not ${expected//$'\n'/ }"
done
# Lines that end in an option, by command, whose offers together hold all of its options.
declare -A probes=(
    [accounts]='accounts list -|accounts show Work -|accounts add pop3 -|accounts set Work -|accounts remove -'
    [filters]='filters list -|filters blocked -|filters add sender -|filters add subject -|filters add header -|filters add friend -|filters set header 1 -|filters set text 2 -'
    [killed]='killed list -|killed rescue Work 1 -|killed purge -'
    [live]='live list -'
    [log]='log -'
    [settings]='settings list -'
    [classify]='classify -'
    [demo]='demo -'
)
for command in $commands; do
    [[ -n ${probes[$command]:-} ]] || { fail "no completion probes for $command"; continue; }
    offered=''
    IFS='|' read -ra lines <<<"${probes[$command]}"
    for line in "${lines[@]}"; do
        read -ra words <<<"$line"
        offered+=$(complete_words tarnwell "${h[@]}" "${words[@]}")$'\n'
    done
    for option in $(options_of "${command_help[$command]}"); do
        [[ $option == --home ]] && continue
        grep -qx -- "$option" <<<"$offered" || fail "bash does not offer $option of $command"
    done
done

# bash-completion finds the installed file by the data folders of the prefix.
if [[ -r /usr/share/bash-completion/bash_completion ]]; then
    loaded=$(XDG_DATA_DIRS=$installed/share bash --norc --noprofile -c \
        'source /usr/share/bash-completion/bash_completion
         __load_completion tarnwell && complete -p tarnwell' 2>&1)
    [[ $loaded == 'complete -F _tarnwell tarnwell' ]] || fail "bash-completion loads: $loaded"
else
    fail "bash-completion is not installed (scripts/install-deps.sh installs it)"
fi

# --- Completion in the line editors of bash and zsh, with the quoting they do ------------------

zsh -n "$zsh_completion" || fail "zsh finds syntax errors in _tarnwell"

cat >"$tmp/bashrc" <<EOF
PS1='READY> '
source '$bash_completion'
bind 'set bell-style none'
bind -x '"\C-t": printf "%s\n" "\$READLINE_LINE" >"\$TARNWELL_LINE_FILE"'
EOF
mkdir -p "$tmp/zsh"
cat >"$tmp/zsh/.zshrc" <<EOF
PS1='READY> '
fpath=('${zsh_completion%/*}' \$fpath)
autoload -Uz compinit && compinit -u -d "$tmp/zsh/.zcompdump"
tarnwell-line() { print -r -- "\$BUFFER" >"\$TARNWELL_LINE_FILE" }
zle -N tarnwell-line
bindkey '^T' tarnwell-line
EOF
edit_line() { # SHELL LINE: prints the line after Tab
    case $1 in
        bash) python3 "$here/complete_line.py" "$2" bash --noprofile --rcfile "$tmp/bashrc" -i ;;
        zsh) ZDOTDIR=$tmp/zsh python3 "$here/complete_line.py" "$2" zsh -d -i ;;
    esac
}
# Each line: what is typed after "tarnwell ", ">", the line after Tab (and a blank); HOME
# stands for the program folder with the two accounts.
while IFS='>' read -r typed completed; do
    typed="tarnwell ${typed//HOME/$accounts_home}"
    completed="tarnwell ${completed//HOME/$accounts_home} "
    for shell in bash zsh; do
        got=$(edit_line "$shell" "$typed") || { fail "$shell did not complete \"$typed\""; continue; }
        [[ $got == "$completed" ]] || fail "$shell completes \"$typed\" to \"$got\", not \"$completed\""
    done
done <<'EOF'
acc>accounts
--home HOME accounts show Ho>--home HOME accounts show Home\ Mail
--home=HOME killed list "Home>--home=HOME killed list "Home Mail"
--home HOME filters set hea>--home HOME filters set header
--home HOME filters set country >--home HOME filters set country 1
--home HOME settings get Loggi>--home HOME settings get Logging
EOF

# --- The systemd units -------------------------------------------------------------------------

if command -v systemd-analyze >/dev/null; then
    # The units run the program where DESTDIR put it, and their manual page is the installed one.
    mkdir -p "$tmp/units" "$tmp/runtime"
    for unit in "$installed"/lib/systemd/user/* "$installed"/share/doc/tarnwell/examples/*; do
        sed "s|^ExecStart=/usr/local/|ExecStart=$installed/|" "$unit" >"$tmp/units/${unit##*/}"
    done
    if ! report=$(XDG_RUNTIME_DIR=$tmp/runtime MANPATH=$installed/share/man \
        systemd-analyze --user verify "$tmp"/units/* 2>&1) || [[ -n $report ]]; then
        fail "systemd-analyze verify: $report"
    fi
else
    echo "systemd-analyze is missing: the systemd units are not verified"
fi

if [[ -s $tmp/failures ]]; then
    echo "$(wc -l <"$tmp/failures") failures" >&2
    exit 1
fi
echo "installed tree, manual page, completions and units checked"
