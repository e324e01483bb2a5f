# bash completion for tidemark-send
_tidemark_send() {
    local cur prev
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    case $prev in
        --body-file | --ca-file | --attach)
            COMPREPLY=($(compgen -f -- "$cur"))
            return
            ;;
        --encoding)
            COMPREPLY=($(compgen -W 'utf-8 cp932' -- "$cur"))
            return
            ;;
        --security)
            COMPREPLY=($(compgen -W 'none starttls tls' -- "$cur"))
            return
            ;;
        --charset)
            COMPREPLY=($(compgen -W 'auto iso-2022-jp utf-8' -- "$cur"))
            return
            ;;
        --imap-security)
            COMPREPLY=($(compgen -W 'tls starttls' -- "$cur"))
            return
            ;;
        --smtp | --imap-host)
            COMPREPLY=($(compgen -A hostname -- "$cur"))
            return
            ;;
        --auth-method)
            COMPREPLY=($(compgen -W 'password oauth' -- "$cur"))
            return
            ;;
        --oauth-provider)
            COMPREPLY=($(compgen -W 'microsoft microsoft: google' -- "$cur"))
            return
            ;;
        --password-command | --oauth-token-command)
            COMPREPLY=($(compgen -c -- "$cur"))
            return
            ;;
        --to | --cc | --bcc | --subject | --port | --user-id | --name | --email | \
            --auth-user | --timeout | --data-timeout | --imap-port | --imap-user | --sent-folder | \
            --oauth-authorize-url | --oauth-token-url | --oauth-client-id | --oauth-client-secret | \
            --oauth-scope)
            return
            ;;
    esac
    COMPREPLY=($(compgen -W '--to --cc --bcc --subject --body-file --attach --smtp --port --user-id
        --name --email --encoding --charset --security --auth-user --password-command --ca-file
        --strict --timeout --data-timeout --save-sent --imap-host --imap-port --imap-security
        --imap-user --sent-folder --auth-method --oauth-token-command --oauth-sign-in --no-browser
        --oauth-provider --oauth-authorize-url --oauth-token-url --oauth-client-id
        --oauth-client-secret --oauth-scope --verbose --help --version' -- "$cur"))
}
complete -o filenames -F _tidemark_send tidemark-send
