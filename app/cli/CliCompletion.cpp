#include "app/cli/CliCompletion.h"

#include "core/shared/FileFormats.h"

#include <QRegularExpression>

namespace keskor {

namespace {

QString optionName(const QString& name) {
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

/// What the value of an option is: "file", "dir" or "-".
QString valueKind(const QCommandLineOption& option) {
    const QString value = option.valueName();
    if (value == u"F" || value == u"FILE") {
        return QStringLiteral("file");
    }
    return value == u"DIR" ? QStringLiteral("dir") : QStringLiteral("-");
}

/// The shell patterns of the database names, for a case statement: "*.pswd|*.pswe".
QString databasePatterns(const QString& separator) {
    QStringList patterns;
    for (const QString& extension : FileFormats::SUPPORTED_EXTENSIONS()) {
        patterns.append(u'*' + extension.toLower());
    }
    return patterns.join(separator);
}

QString singleQuoted(QString text) {
    return u'\'' + text.replace(u'\'', QStringLiteral("'\\''")) + u'\'';
}

const char* const kBash =
    R"(# bash completion for keskor-cli, written by keskor-cli --completion bash.

# Adds the names of the files (file), database files and folders (db) or folders (dir) that
# start with $2 to COMPREPLY.
_keskor_cli_files() {
    local name
    compopt -o filenames 2>/dev/null
    if [[ $1 == dir ]]; then
        mapfile -t -O "${#COMPREPLY[@]}" COMPREPLY < <(compgen -d -- "$2")
        return 0
    fi
    while IFS= read -r name; do
        if [[ $1 == db && ! -d $name ]]; then
            case ${name,,} in
            @DB@) ;;
            *) continue ;;
            esac
        fi
        COMPREPLY+=("$name")
    done < <(compgen -f -- "$2")
}

_keskor_cli() {
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    local commands='@COMMANDS@'
    local options='' values='' files='' dirs='' patterns=()
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        COMPREPLY=($(compgen -W "$commands help --help --version" -- "$cur"))
        return 0
    fi
    case ${COMP_WORDS[1]} in
@CASES@    help)
        ((COMP_CWORD == 2)) && COMPREPLY=($(compgen -W "$commands" -- "$cur"))
        return 0
        ;;
    *) return 0 ;;
    esac
    if [[ $prev == -* && " $values " == *" $prev "* ]]; then
        if [[ " $files " == *" $prev "* ]]; then
            _keskor_cli_files file "$cur"
        elif [[ " $dirs " == *" $prev "* ]]; then
            _keskor_cli_files dir "$cur"
        fi
        return 0
    fi
    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return 0
    fi
    # The arguments before this one; an option's value is none of them.
    local words=() i
    for ((i = 2; i < COMP_CWORD; i++)); do
        if [[ ${COMP_WORDS[i]} == -* ]]; then
            [[ " $values " == *" ${COMP_WORDS[i]} "* ]] && ((i++))
        else
            words+=("${COMP_WORDS[i]}")
        fi
    done
    # Every way of writing the arguments that fits those so far proposes its next word.
    local n=${#words[@]} pattern rule rules choices=() kinds=' '
    for pattern in "${patterns[@]}"; do
        read -ra rules <<<"$pattern"
        ((n < ${#rules[@]})) || continue
        for ((i = 0; i < n; i++)); do
            rule=${rules[i]}
            [[ $rule != =* || "|${rule#=}|" == *"|${words[i]}|"* ]] || continue 2
        done
        rule=${rules[n]}
        if [[ $rule == =* ]]; then
            rule=${rule#=}
            choices+=(${rule//|/ })
        else
            kinds+="$rule "
        fi
    done
    COMPREPLY=($(compgen -W "${choices[*]}" -- "$cur"))
    if [[ $kinds == *' file '* ]]; then
        _keskor_cli_files file "$cur"
    elif [[ $kinds == *' db '* ]]; then
        _keskor_cli_files db "$cur"
    fi
    return 0
}

complete -F _keskor_cli keskor-cli
)";

const char* const kZsh = R"(#compdef keskor-cli
# zsh completion for keskor-cli, written by keskor-cli --completion zsh.

# The next argument of a command, from the ways of writing its arguments ($@): "=a|b" for one
# of those words, "db" for a database file, "file", "dir", "-" for anything.
_keskor_cli_arguments() {
    local -a typed rules choices
    local word pattern rule i fits file=0 db=0 dir=0
    for word in "${(@)words[1,CURRENT-1]}"; do
        [[ $word == -* ]] || typed+=("$word")
    done
    for pattern in "$@"; do
        rules=(${=pattern})
        (( ${#typed} < ${#rules} )) || continue
        fits=1
        for (( i = 1; i <= ${#typed}; i++ )); do
            rule=$rules[i]
            if [[ $rule == =* && "|${rule#=}|" != *"|$typed[i]|"* ]]; then
                fits=0
                break
            fi
        done
        (( fits )) || continue
        rule=$rules[${#typed}+1]
        case $rule in
        =*) choices+=(${(s:|:)${rule#=}}) ;;
        file) file=1 ;;
        db) db=1 ;;
        dir) dir=1 ;;
        esac
    done
    (( ${#choices} )) && compadd -a choices
    if (( file )); then
        _files
    elif (( db )); then
        _files -g '@DB@'
    elif (( dir )); then
        _files -/
    fi
}

_keskor_cli() {
    local -a subcommands patterns
    subcommands=(
@COMMANDS@        'help:Show the help of a command.'
    )
    if (( CURRENT == 2 )); then
        _describe -t commands 'keskor-cli command' subcommands
        return
    fi
    local cmd=$words[2] context state state_descr line
    typeset -A opt_args
    shift words
    (( CURRENT-- ))
    case $cmd in
@CASES@    help)
        (( CURRENT == 2 )) && _describe -t commands 'keskor-cli command' subcommands
        return
        ;;
    *) return 1 ;;
    esac
    [[ $state == arguments ]] && _keskor_cli_arguments "${patterns[@]}"
}

_keskor_cli "$@"
)";

/// Escapes a text for the brackets and colons of an _arguments rule.
QString zshDescription(QString text) {
    static const QRegularExpression special(QStringLiteral("([\\\\\\[\\]:])"));
    return text.replace(special, QStringLiteral("\\\\1")).replace(u'\n', u' ');
}

} // namespace

CliCompletion::CliCompletion(const QList<CliCommand>& commands, OptionsOf options)
    : m_commands(commands), m_options(std::move(options)) {}

QStringList CliCompletion::patterns(const CliCommand& command) {
    QStringList result;
    for (const QString& way : command.arguments.split(QStringLiteral(" | "), Qt::SkipEmptyParts)) {
        QStringList rules;
        for (QString word : way.split(u' ', Qt::SkipEmptyParts)) {
            word.remove(u'[').remove(u']');
            if (command.argumentWords.contains(word)) {
                rules.append(u'=' + command.argumentWords.value(word).join(u'|'));
            } else if (word.front().isLower()) {
                rules.append(u'=' + word);
            } else if (word == u"DB") {
                rules.append(QStringLiteral("db"));
            } else if (word == u"FILE" || word == u"IN" || word.contains(u'.')) {
                rules.append(QStringLiteral("file"));
            } else {
                rules.append(QStringLiteral("-"));
            }
        }
        if (!rules.isEmpty()) {
            result.append(rules.join(u' '));
        }
    }
    return result;
}

QString CliCompletion::bash() const {
    QStringList names;
    QString cases;
    for (const CliCommand& command : m_commands) {
        names.append(command.name);
        QStringList options;
        QStringList values;
        QStringList files;
        QStringList dirs;
        for (const QCommandLineOption& option : m_options(command)) {
            for (const QString& name : option.names()) {
                options.append(optionName(name));
                if (!option.valueName().isEmpty()) {
                    values.append(optionName(name));
                }
                if (valueKind(option) == u"file") {
                    files.append(optionName(name));
                } else if (valueKind(option) == u"dir") {
                    dirs.append(optionName(name));
                }
            }
        }
        QStringList patterns;
        for (const QString& pattern : CliCompletion::patterns(command)) {
            patterns.append(singleQuoted(pattern));
        }
        cases += QStringLiteral("    %1)\n        options=%2\n        values=%3\n        files=%4 "
                                "dirs=%5\n        patterns=(%6)\n        ;;\n")
                     .arg(command.name, singleQuoted(options.join(u' ')),
                          singleQuoted(values.join(u' ')), singleQuoted(files.join(u' ')),
                          singleQuoted(dirs.join(u' ')), patterns.join(u' '));
    }
    return QString::fromLatin1(kBash)
        .replace(QStringLiteral("@DB@"), databasePatterns(QStringLiteral("|")))
        .replace(QStringLiteral("@COMMANDS@"), names.join(u' '))
        .replace(QStringLiteral("@CASES@"), cases);
}

QString CliCompletion::zsh() const {
    QString commands;
    QString cases;
    for (const CliCommand& command : m_commands) {
        commands +=
            QStringLiteral("        %1\n").arg(singleQuoted(command.name + u':' + command.summary));
        QStringList rules;
        for (const QCommandLineOption& option : m_options(command)) {
            const QString description = u'[' + zshDescription(option.description()) + u']';
            const QString action = valueKind(option) == u"file"  ? QStringLiteral("_files")
                                   : valueKind(option) == u"dir" ? QStringLiteral("_files -/")
                                                                 : QStringLiteral(" ");
            for (const QString& name : option.names()) {
                if (option.valueName().isEmpty()) {
                    rules.append(singleQuoted(optionName(name) + description));
                } else {
                    // A value in the same word ("--name=x", "-Lx") or in the next one.
                    rules.append(singleQuoted(
                        u'*' + optionName(name) + (name.size() == 1 ? u'+' : u'=') + description +
                        u':' + zshDescription(option.valueName()) + u':' + action));
                }
            }
        }
        rules.append(QStringLiteral("'*:: :->arguments'"));
        QStringList patterns;
        for (const QString& pattern : CliCompletion::patterns(command)) {
            patterns.append(singleQuoted(pattern));
        }
        cases += QStringLiteral("    %1)\n        patterns=(%2)\n        _arguments -s -S : \\\n"
                                "            %3 && return\n        ;;\n")
                     .arg(command.name, patterns.join(u' '),
                          rules.join(QStringLiteral(" \\\n            ")));
    }
    return QString::fromLatin1(kZsh)
        .replace(QStringLiteral("@DB@"),
                 QStringLiteral("*.(#i)(") +
                     databasePatterns(QStringLiteral("|")).remove(QStringLiteral("*.")) + u')')
        .replace(QStringLiteral("@COMMANDS@"), commands)
        .replace(QStringLiteral("@CASES@"), cases);
}

} // namespace keskor
