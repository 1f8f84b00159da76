#include "cli/arguments.h"

#include "serial/comm_port.h"

#include <array>

namespace ventaro::cli {
namespace {

struct CommandInfo {
    const char* name;
    Command command;
    bool takesFile;
    int byte;  // -1: not a one-key command
};

constexpr std::array<CommandInfo, 11> kCommands = {{
    {"get-records", Command::GetRecords, true, -1},
    {"get-pgm", Command::GetPgm, true, -1},
    {"get-ascii-pgm", Command::GetAsciiPgm, true, -1},
    {"send-pgm", Command::SendPgm, true, -1},
    {"operate", Command::Operate, false, 0x0F},
    {"exit-operate", Command::ExitOperate, false, 0x18},
    {"checksum", Command::Checksum, false, 0x10},
    {"version", Command::Version, false, 0x16},
    {"set-time", Command::SetTime, false, 0x14},
    {"erase-records", Command::EraseRecords, false, 0x05},
    {"ports", Command::Ports, false, -1},
}};

const CommandInfo* FindCommand(const QString& name) {
    for (const CommandInfo& info : kCommands) {
        if (name == QLatin1String(info.name)) {
            return &info;
        }
    }
    return nullptr;
}

const CommandInfo& InfoOf(Command command) {
    for (const CommandInfo& info : kCommands) {
        if (info.command == command) {
            return info;
        }
    }
    return kCommands.back();
}

template <size_t N>
std::optional<int> IndexIn(const std::array<const char*, N>& table, const QString& value) {
    for (size_t i = 0; i < N; ++i) {
        if (value == QLatin1String(table[i])) {
            return int(i);
        }
    }
    return std::nullopt;
}

// "COM1" to "COM8", in any case.
std::optional<int> PortNameIndex(const QString& value) {
    return IndexIn(kPortNames, value.toUpper());
}

class Parser {
  public:
    explicit Parser(const QStringList& args) : args_(args) {}

    Parsed Run() {
        QStringList positional;
        bool optionsEnded = false;
        for (at_ = 0; at_ < args_.size(); ++at_) {
            const QString& arg = args_[at_];
            if (!optionsEnded && arg == QLatin1String("--")) {
                optionsEnded = true;
            } else if (!optionsEnded && arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
                if (!Option(arg)) {
                    return result_;
                }
                if (result_.status == ParseStatus::Help) {
                    return result_;
                }
            } else {
                positional << arg;
            }
        }
        Positional(positional);
        return result_;
    }

  private:
    bool Fail(const QString& error) {
        result_.status = ParseStatus::BadUsage;
        result_.error = error;
        return false;
    }

    // The value of an option: after "=", or the next argument.
    std::optional<QString> Value(const QString& name, const std::optional<QString>& attached) {
        if (attached) {
            return attached;
        }
        if (at_ + 1 >= args_.size()) {
            Fail(QStringLiteral("%1 needs a value").arg(name));
            return std::nullopt;
        }
        return args_[++at_];
    }

    bool Option(const QString& arg) {
        QString name = arg;
        std::optional<QString> attached;
        if (const qsizetype eq = arg.indexOf(QLatin1Char('=')); eq > 0) {
            name = arg.left(eq);
            attached = arg.mid(eq + 1);
        }
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            result_.status = ParseStatus::Help;
            return true;
        }
        if (name == QLatin1String("--yes") || name == QLatin1String("--quiet")) {
            if (attached) {
                return Fail(QStringLiteral("%1 takes no value").arg(name));
            }
            (name == QLatin1String("--yes") ? options_.yes : options_.quiet) = true;
            return true;
        }
        if (name == QLatin1String("--csv")) {
            auto value = Value(name, attached);
            if (value && value->isEmpty()) {
                return Fail(QStringLiteral("--csv needs a FILE"));
            }
            return value && (options_.csvFile = *value, true);
        }
        if (name == QLatin1String("--port")) {
            auto value = Value(name, attached);
            return value && Port(*value);
        }
        if (name == QLatin1String("--baud")) {
            auto value = Value(name, attached);
            return value && Indexed(options_.baudIndex, IndexIn(kBaudRates, *value),
                                    QStringLiteral("--baud takes 1200, 2400, 4800, 9600, 38400 "
                                                   "or 115200, not \"%1\"")
                                        .arg(*value));
        }
        if (name == QLatin1String("--parity")) {
            auto value = Value(name, attached);
            return value &&
                   Indexed(options_.parityIndex, IndexIn(kParityLetters, value->toUpper()),
                           QStringLiteral("--parity takes N, O or E, not \"%1\"").arg(*value));
        }
        if (name == QLatin1String("--bits")) {
            auto value = Value(name, attached);
            return value && Indexed(options_.bitsIndex, IndexIn(kDataBits, *value),
                                    QStringLiteral("--bits takes 8 or 7, not \"%1\"").arg(*value));
        }
        return Fail(QStringLiteral("unknown option %1").arg(name));
    }

    bool Indexed(std::optional<int>& slot, std::optional<int> index, const QString& error) {
        if (!index) {
            return Fail(error);
        }
        slot = index;
        return true;
    }

    bool Port(const QString& value) {
        if (auto index = PortNameIndex(value)) {
            options_.portIndex = index;
            options_.portDevice.clear();
            return true;
        }
        if (value.contains(QLatin1Char('/'))) {
            options_.portIndex.reset();
            options_.portDevice = value;
            return true;
        }
        return Fail(
            QStringLiteral("--port takes COM1 to COM8 or a device path such as /dev/ttyUSB0, not "
                           "\"%1\"")
                .arg(value));
    }

    void Positional(const QStringList& positional) {
        if (positional.isEmpty()) {
            Fail(QStringLiteral("no command given"));
            return;
        }
        const CommandInfo* info = FindCommand(positional[0]);
        if (!info) {
            Fail(QStringLiteral("unknown command \"%1\"").arg(positional[0]));
            return;
        }
        const qsizetype wanted = info->takesFile ? 2 : 1;
        if (positional.size() < wanted || (info->takesFile && positional[1].isEmpty())) {
            Fail(QStringLiteral("%1 needs a FILE").arg(QLatin1String(info->name)));
            return;
        }
        if (positional.size() > wanted) {
            Fail(QStringLiteral("unexpected argument \"%1\"").arg(positional[wanted]));
            return;
        }
        if (!options_.csvFile.isEmpty() && info->command != Command::GetRecords) {
            Fail(QStringLiteral("--csv goes with get-records only"));
            return;
        }
        options_.command = info->command;
        if (info->takesFile) {
            options_.file = positional[1];
        }
        result_.status = ParseStatus::Run;
        result_.options = options_;
    }

    const QStringList& args_;
    qsizetype at_ = 0;
    Options options_;
    Parsed result_;
};

}  // namespace

Parsed ParseArguments(const QStringList& args) {
    return Parser(args).Run();
}

bool TakesFile(Command command) {
    return InfoOf(command).takesFile;
}

std::optional<uint8_t> CommandByte(Command command) {
    const int byte = InfoOf(command).byte;
    return byte < 0 ? std::nullopt : std::optional<uint8_t>(uint8_t(byte));
}

QString UsageText() {
    return QStringLiteral(
        "Usage: ventaro-cli [--port NAME|DEVICE] [--baud N] [--parity N|O|E] [--bits 8|7]\n"
        "                   [--yes] [--quiet] COMMAND [FILE]\n"
        "\n"
        "Commands:\n"
        "  get-records FILE    download the stored records into a text file\n"
        "  get-pgm FILE        save the user program to FILE\n"
        "  get-ascii-pgm FILE  save the user program's ASCII listing to FILE\n"
        "  send-pgm FILE       load the user program in FILE into the instrument\n"
        "  operate             run the user program\n"
        "  exit-operate        leave operate mode (the instrument's question is answered\n"
        "                      N, or Y with --yes)\n"
        "  checksum            report the user program's checksum\n"
        "  version             report the firmware version\n"
        "  set-time            begin setting the clock (prints the instrument's prompt)\n"
        "  erase-records       erase the stored records (no confirmation is asked)\n"
        "  ports               list the port names, their devices and the serial devices\n"
        "                      found on this machine\n"
        "\n"
        "Options:\n"
        "  --port NAME|DEVICE  COM1 to COM8 (their devices come from the settings file's\n"
        "                      [PortDevices]), or a device path such as /dev/ttyUSB0\n"
        "  --baud N            1200, 2400, 4800, 9600, 38400 or 115200\n"
        "  --parity N|O|E      --bits 8|7: the line settings (default: those stored by\n"
        "                      the windowed program)\n"
        "  --csv FILE          with get-records: also write the records as CSV to FILE\n"
        "  --yes               answer Yes when the instrument is in operate mode\n"
        "  --quiet             show no terminal text and no progress (errors still show)\n"
        "\n"
        "The instrument's answers to one-key commands go to standard output; terminal\n"
        "text, progress and messages go to standard error.\n"
        "\n"
        "Exit codes: 0 success; 1 the instrument refused or did not respond; 2 bad usage;\n"
        "3 the port could not be opened; 4 the file could not be opened or written;\n"
        "5 a records download gave up; 130 interrupted.\n");
}

}  // namespace ventaro::cli
