// The command line of ventaro-cli, parsed into what the run needs.
//
// Parsing is a plain function over the argument list: no file, port or
// settings are touched, so every rule is testable with strings alone.
// Options may come before or after the command; "--name value" and
// "--name=value" both work; "--" ends the options. Values are checked
// against the same tables the windowed program offers (a baud rate that is
// not among its six is bad usage, not a surprise on the line).
#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>

namespace ventaro::cli {

enum class Command {
    GetRecords,
    GetPgm,
    GetAsciiPgm,
    SendPgm,
    Operate,
    ExitOperate,
    Checksum,
    Version,
    SetTime,
    EraseRecords,
    Ports,
};

struct Options {
    Command command = Command::Ports;
    QString file;
    // --port: a port name selects its index; a device path overrides the
    // device of the selected name for this run.
    std::optional<int> portIndex;
    QString portDevice;
    std::optional<int> baudIndex;
    std::optional<int> parityIndex;
    std::optional<int> bitsIndex;
    QString csvFile;  // get-records only: the same records as CSV
    bool yes = false;
    bool quiet = false;
};

enum class ParseStatus { Run, Help, BadUsage };

struct Parsed {
    ParseStatus status = ParseStatus::BadUsage;
    Options options;
    QString error;  // what was wrong, for BadUsage
};

// args without the program name.
Parsed ParseArguments(const QStringList& args);

QString UsageText();

bool TakesFile(Command command);
// The byte a one-key command sends, if it is one.
std::optional<uint8_t> CommandByte(Command command);

}  // namespace ventaro::cli
