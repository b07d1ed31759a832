# bash completion for tarnwell(1)

# A word of the command line as the shell will pass it: quotes and backslashes removed.
_tarnwell_dequote() {
    local word=$1 out='' quote='' c i
    for ((i = 0; i < ${#word}; i++)); do
        c=${word:i:1}
        if [[ $quote == "'" ]]; then
            if [[ $c == "'" ]]; then quote=''; else out+=$c; fi
        elif [[ $c == \\ && $quote != '"' ]]; then
            out+=${word:i+1:1}
            ((i++))
        elif [[ $c == \\ && $quote == '"' && ${word:i+1:1} == [\$\`\"\\] ]]; then
            out+=${word:i+1:1}
            ((i++))
        elif [[ $c == '"' || ($c == "'" && -z $quote) ]]; then
            if [[ $quote == "$c" ]]; then quote=''; else quote=$c; fi
        else
            out+=$c
        fi
    done
    [[ $word == \~ || $word == \~/* ]] && out=$HOME${out:1}
    printf '%s' "$out"
}

# Prints one field of each line the program lists, e.g. `_tarnwell_field 3 accounts list`. Only
# for a program folder that exists: the program would make a missing one.
_tarnwell_field() {
    local field=$1
    shift
    local folder=${_tarnwell_home:-${TARNWELL_HOME:-}}
    if [[ -z $folder ]]; then
        folder=${XDG_DATA_HOME:-}
        [[ $folder == /* ]] || folder=$HOME/.local/share
        folder+=/tarnwell
    fi
    [[ -d $folder ]] || return 0
    local -a home=()
    [[ -n $_tarnwell_home ]] && home=(--home "$_tarnwell_home")
    "$_tarnwell_program" "${home[@]}" "$@" 2>/dev/null | cut -f "$field"
}

# Offers the words of a list, one per line, that begin with the current word; words with blanks
# are quoted by readline as file names are.
_tarnwell_offer() {
    local prefix line
    prefix=$(_tarnwell_dequote "$cur")
    while IFS= read -r line; do
        [[ -n $line && $line == "$prefix"* ]] && COMPREPLY+=("$line")
    done <<<"$1"
    if [[ ${#COMPREPLY[@]} -gt 0 ]]; then
        compopt -o filenames 2>/dev/null
    fi
    return 0
}

# Offers the words of a blank-separated list that begin with the current word.
_tarnwell_words() {
    mapfile -t COMPREPLY < <(compgen -W "$1" -- "$cur")
}

# Offers the folders (-d) or files (-f) whose names begin with the current word.
_tarnwell_files() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen "$1" -- "$cur")
}

# Offers a comma-separated list: the items after the last comma of the current word.
_tarnwell_offer_list() {
    local done=''
    [[ $cur == *,* ]] && done=${cur%,*},
    local item
    for item in $1; do
        [[ $done$item == "$cur"* ]] && COMPREPLY+=("$done$item")
    done
    compopt -o nospace 2>/dev/null
}

_tarnwell() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev='' i
    # COMP_WORDBREAKS splits --option=value into three words.
    local -a words=()
    for ((i = 0; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == '=' && ${#words[@]} -gt 0 ]]; then
            words[${#words[@]} - 1]+='='
            if ((i + 1 < COMP_CWORD)); then
                ((i++))
                words[${#words[@]} - 1]+=${COMP_WORDS[i]}
            fi
        else
            words+=("${COMP_WORDS[i]}")
        fi
    done
    if [[ $cur == '=' ]]; then
        cur=''
    fi
    if [[ ${words[${#words[@]} - 1]} == --*= ]]; then
        prev=${words[${#words[@]} - 1]%=}
        unset 'words[${#words[@]}-1]'
    elif ((${#words[@]} > 1)); then
        prev=${words[${#words[@]} - 1]}
    fi

    local _tarnwell_program _tarnwell_home=''
    _tarnwell_program=$(_tarnwell_dequote "${words[0]}")

    local conditions='contains contains-word does-not-contain equals does-not-equal starts-with
        does-not-start-with ends-with does-not-end-with is-present is-missing is-blank
        is-not-blank starts-with-a-number is-mostly-numbers is-numeric is-uppercase'
    # The options that take a value, with the values to offer; free text has none.
    local -A option_values=(
        [--pop3-security]='tls starttls none' [--smtp-security]='tls starttls none'
        [--active]='yes no' [--interval]=manual [--pin-pop3]=none [--pin-smtp]=none
        [--condition]=$conditions [--user-condition]="$conditions none"
        [--domain-condition]="$conditions none" [--action]='accept mark kill complain error-message'
        [--home]='' [--maildir]='' [--mbox]='' [--recipients]='' [--headers]=''
        [--description]='' [--name]='' [--email]='' [--pop3]='' [--user]='' [--smtp]=''
        [--timeout]='' [--domain]='' [--pattern]='' [--header]='' [--address]=''
        [--mailing-list]='' [--copy-to]='' [--days]=''
    )
    local switches='/ONCE --once --quiet /SUSPENDED SUSPEND --suspended /APPDELAY /OPEN OPEN
        --open ABOUT SETTINGS RESUME --headless'

    # The command, its subcommand and the operands after it; options and their values are left out.
    local command='' subcommand='' word
    local -a operands=()
    for ((i = 1; i < ${#words[@]}; i++)); do
        word=${words[i]}
        if [[ $word == --home ]]; then
            ((i++))
            [[ -z $command ]] && _tarnwell_home=$(_tarnwell_dequote "${words[i]}")
        elif [[ $word == --home=* ]]; then
            [[ -z $command ]] && _tarnwell_home=$(_tarnwell_dequote "${word#--home=}")
        elif [[ -n $word && -n ${option_values[$word]+set} ]]; then
            ((i++))
        elif [[ $word == -?* ]]; then
            :
        elif [[ -z $command ]]; then
            command=$word
        elif [[ -z $subcommand && $command != classify && $command != /* ]]; then
            subcommand=$word
        else
            operands+=("$(_tarnwell_dequote "$word")")
        fi
    done

    COMPREPLY=()
    [[ ${prev^^} == /APPDELAY ]] && return 0
    case $prev in
        --home | --maildir)
            _tarnwell_files -d
            return 0
            ;;
        --mbox)
            _tarnwell_files -f
            return 0
            ;;
        --recipients)
            _tarnwell_offer_list 'sender reply-to abuse postmaster webmaster'
            return 0
            ;;
        --headers)
            _tarnwell_offer_list 'Cc Comments Errors-To From Message-Id Received Reply-To
                Return-Path Sender To X-Complain-To'
            return 0
            ;;
        --action)
            [[ $subcommand == set ]] && option_values[--action]+=' ignore'
            ;;
    esac
    if [[ -n $prev && -n ${option_values[$prev]+set} ]]; then
        _tarnwell_words "${option_values[$prev]}"
        return 0
    fi

    local account_options='--description --name --email --pop3 --user --smtp --smtp-auth
        --no-smtp-auth --spa --no-spa --pop3-security --smtp-security --pin-pop3 --pin-smtp
        --timeout --interval --active --password-stdin'
    local action_options='--action --recipients --case'
    # What to offer for an option (options) and for anything else: values, the account
    # descriptions (first operand of a command that names an account), or files.
    local options='' values='' descriptions='' files=''
    local -i position=${#operands[@]}

    case $command in
        '')
            values="classify accounts filters killed live log settings demo --home --version
                $switches"
            options=$values
            ;;
        accounts)
            case $subcommand in
                '') values='list show add set remove test' ;;
                list) options='--json' ;;
                show) options='--json' descriptions=1 ;;
                set) options=$account_options descriptions=1 ;;
                remove) options='--delete-killed-mail' descriptions=1 ;;
                test) descriptions=1 ;;
                add)
                    options=$account_options
                    ((position == 0)) && values='pop3'
                    ;;
            esac
            ;;
        filters)
            local kind=${operands[0]:-}
            case $subcommand in
                '') values='list add set remove block unblock blocked' ;;
                list)
                    options='--json'
                    ((position == 0)) && values='sender friend subject text country header'
                    ;;
                add | set)
                    case $kind in
                        sender) options="--user-condition --user --domain-condition --domain
                            --headers $action_options" ;;
                        subject | text) options="--condition --pattern $action_options" ;;
                        header) options="--header --condition --pattern --address-only
                            $action_options" ;;
                        friend) options='--address --domain --mailing-list' ;;
                        country) options='--action' ;;
                    esac
                    if [[ $subcommand == set && -n $options ]]; then
                        options+=' --no-case'
                        [[ $kind == header ]] && options+=' --no-address-only'
                    fi
                    if ((position == 0)); then
                        values='sender subject text header friend'
                        [[ $subcommand == set ]] && values+=' country'
                    elif [[ $subcommand == set ]] && ((position == 1)); then
                        values=$(_tarnwell_field 2 filters list "$kind")
                    fi
                    ;;
                remove)
                    if ((position == 0)); then
                        values='sender friend subject text header'
                    elif ((position == 1)); then
                        values=$(_tarnwell_field 2 filters list "$kind")
                    fi
                    ;;
                unblock) values=$(_tarnwell_field 1 filters blocked) ;;
                blocked) options='--json' ;;
            esac
            ;;
        killed)
            case $subcommand in
                '') values='list show rescue delete purge' ;;
                list) options='--json' descriptions=1 ;;
                show | delete) descriptions=1 ;;
                rescue)
                    options='--include-headers --copy-to --maildir --mbox'
                    descriptions=1
                    ;;
                purge) options='--days' ;;
            esac
            # After the account its file numbers: one for show, any number for rescue and delete.
            if [[ -n $descriptions ]] && ((position > 0)); then
                if [[ $subcommand != show ]] || ((position == 1)); then
                    values=$(_tarnwell_field 2 killed list "${operands[0]}")
                fi
            fi
            ;;
        live)
            case $subcommand in
                '') values='list' ;;
                list) options='--json' descriptions=1 ;;
            esac
            ;;
        log) options='-f --follow' ;;
        settings)
            case $subcommand in
                '') values='list get set' ;;
                list) options='--json' ;;
                get | set) ((position == 0)) && values=$(_tarnwell_field 1 settings list) ;;
            esac
            ;;
        classify)
            options='--log --exit-status --maildir --mbox -'
            files=-f
            ;;
        demo) options='--keep --desktop' ;;
        *) values="$switches --home" options=$values ;;
    esac
    # Only the first operand is the account.
    ((position > 0)) && descriptions=''

    if [[ $cur == -* && -n $options ]]; then
        _tarnwell_words "$options --help"
    elif [[ -n $descriptions ]]; then
        _tarnwell_offer "$(_tarnwell_field 3 accounts list)"
    elif [[ -n $files ]]; then
        _tarnwell_files "$files"
    else
        _tarnwell_words "$values"
    fi
    return 0
}

complete -F _tarnwell tarnwell
