#pragma once
// The command line's own reading of its arguments. One table names every
// option, its value and what it does; it gives the Japanese help, the
// errors in the program's words and the list that says whether a start
// needs a window. A negative amount ("-5") is an argument, not an option.

#include <QString>
#include <QStringList>
#include <cstdint>
#include <map>
#include <stdexcept>
#include <vector>

struct CommandOption {
    const char* name;   // long name, without "--"
    char shortName;     // 0: none
    const char* value;  // the value's name in the help; nullptr: a switch
    const char* help;   // what it does, in Japanese
    const char* parent; // the command it goes with; nullptr: a command (or help, version)
    const char* args;   // a command's arguments after its value, for the help; nullptr: none
    int argCount;       // how many arguments the command takes after its value
};

const std::vector<CommandOption>& commandOptions();

// Bad input on the command line: the message is the program's, in
// Japanese; the command exits 2.
class UsageError : public std::runtime_error {
public:
    explicit UsageError(const QString& message) : std::runtime_error(message.toStdString()) {}
};

class CommandArgs {
public:
    // `arguments` without the program's name. Throws UsageError for an
    // unknown option, a missing value, two commands at once, an option
    // without its command, or a command with too few or too many arguments.
    static CommandArgs parse(const QStringList& arguments);

    bool isSet(const QString& name) const { return values_.count(name) != 0; }
    // The value given last; empty for a switch or an option not given.
    QString value(const QString& name) const;
    const QStringList& positional() const { return positional_; }
    // The command given ("csv", "help", …), or empty: the windows start.
    QString command() const { return command_; }

private:
    std::map<QString, QString> values_;
    QStringList positional_;
    QString command_;
};

// The help that --help prints.
QString commandHelp();

// True when the arguments hold one of the table's options, or any option
// that is not one of Qt's own: such a start shows no window (an error is
// printed, too, without a display).
bool namesCommandOption(int argc, char** argv);

// An amount as typed on the command line: digits with or without grouping
// commas ("1490", "1,490"), a leading minus sign allowed, full-width forms
// read as half-width. False for anything else or beyond 64 bits.
bool readAmount(const QString& text, int64_t& value);

// readAmount for the value of `option`; throws UsageError naming the option
// and the text when it is not an amount.
int64_t amountArgument(const char* option, const QString& text);
