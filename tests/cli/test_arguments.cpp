// The command line and the stored line settings: strings in, choices out.
#include "cli/arguments.h"
#include "cli/line_settings.h"
#include "platform/config_file.h"
#include "serial/serial_state.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace ventaro::cli {
namespace {

struct ParseCase {
    const char* name;
    QStringList args;
    ParseStatus status;
    Command command = Command::Ports;
    QString file = {};
    int port = -1;  // -1: not given
    QString device = {};
    int baud = -1, parity = -1, bits = -1;
    bool yes = false, quiet = false;
    const char* error = "";  // a part of the error text
};

class Parse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(Parse, GivesTheChoicesOrSaysWhatIsWrong) {
    const ParseCase& c = GetParam();
    const Parsed parsed = ParseArguments(c.args);
    ASSERT_EQ(parsed.status, c.status) << parsed.error.toStdString();
    if (c.status == ParseStatus::BadUsage) {
        EXPECT_TRUE(parsed.error.contains(QLatin1String(c.error))) << parsed.error.toStdString();
        return;
    }
    if (c.status == ParseStatus::Help) {
        return;
    }
    const Options& o = parsed.options;
    EXPECT_EQ(o.command, c.command);
    EXPECT_EQ(o.file, c.file);
    EXPECT_EQ(o.portIndex.value_or(-1), c.port);
    EXPECT_EQ(o.portDevice, c.device);
    EXPECT_EQ(o.baudIndex.value_or(-1), c.baud);
    EXPECT_EQ(o.parityIndex.value_or(-1), c.parity);
    EXPECT_EQ(o.bitsIndex.value_or(-1), c.bits);
    EXPECT_EQ(o.yes, c.yes);
    EXPECT_EQ(o.quiet, c.quiet);
}

using S = ParseStatus;
using C = Command;

INSTANTIATE_TEST_SUITE_P(
    Table, Parse,
    ::testing::Values(
        ParseCase{"Records", {"get-records", "r.txt"}, S::Run, C::GetRecords, "r.txt"},
        ParseCase{"AllOptions",
                  {"--port", "COM3", "--baud", "115200", "--parity", "E", "--bits", "7", "--yes",
                   "--quiet", "get-pgm", "p.pgm"},
                  S::Run,
                  C::GetPgm,
                  "p.pgm",
                  2,
                  {},
                  5,
                  2,
                  1,
                  true,
                  true},
        ParseCase{"EqualsForm",
                  {"--baud=1200", "--parity=o", "--port=com8", "send-pgm", "x"},
                  S::Run,
                  C::SendPgm,
                  "x",
                  7,
                  {},
                  0,
                  1},
        ParseCase{"OptionsAfterTheCommand",
                  {"get-ascii-pgm", "a.asc", "--bits", "8"},
                  S::Run,
                  C::GetAsciiPgm,
                  "a.asc",
                  -1,
                  {},
                  -1,
                  -1,
                  0},
        ParseCase{"DevicePath",
                  {"--port", "/dev/ttyUSB0", "version"},
                  S::Run,
                  C::Version,
                  {},
                  -1,
                  "/dev/ttyUSB0"},
        ParseCase{"LastPortWins",
                  {"--port", "/dev/ttyUSB0", "--port", "COM1", "checksum"},
                  S::Run,
                  C::Checksum,
                  {},
                  0},
        ParseCase{"FileAfterDoubleDash",
                  {"get-records", "--", "--odd-name"},
                  S::Run,
                  C::GetRecords,
                  "--odd-name"},
        ParseCase{"OneKeyCommands", {"erase-records"}, S::Run, C::EraseRecords},
        ParseCase{"CsvWithRecords",
                  {"--csv", "r.csv", "get-records", "r.txt"},
                  S::Run,
                  C::GetRecords,
                  "r.txt"},
        ParseCase{"CsvWithAnotherCommand",
                  {"--csv", "p.csv", "get-pgm", "p.pgm"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "--csv goes with get-records"},
        ParseCase{"CsvWithoutAFile",
                  {"get-records", "r.txt", "--csv="},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "--csv needs a FILE"},
        ParseCase{"Ports", {"ports"}, S::Run, C::Ports},
        ParseCase{"Help", {"version", "--help"}, S::Help},
        ParseCase{"NoCommand",
                  {"--yes"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "no command"},
        ParseCase{"UnknownCommand",
                  {"dance"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "unknown command"},
        ParseCase{"MissingFile",
                  {"get-records"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "needs a FILE"},
        ParseCase{"EmptyFile",
                  {"send-pgm", ""},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "needs a FILE"},
        ParseCase{"FileToAOneKeyCommand",
                  {"version", "v.txt"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "unexpected argument"},
        ParseCase{"BaudNotInTheTable",
                  {"--baud", "19200", "version"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "--baud"},
        ParseCase{"BaudNotANumber",
                  {"--baud", "fast", "version"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "--baud"},
        ParseCase{"Parity",
                  {"--parity", "M", "version"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "--parity"},
        ParseCase{"Bits",
                  {"--bits", "5", "version"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "--bits"},
        ParseCase{"PortNine",
                  {"--port", "COM9", "version"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "--port"},
        ParseCase{"ValueMissing",
                  {"version", "--port"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "needs a value"},
        ParseCase{"FlagWithValue",
                  {"--yes=no", "version"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "takes no value"},
        ParseCase{"UnknownOption",
                  {"--fast", "version"},
                  S::BadUsage,
                  C::Ports,
                  {},
                  -1,
                  {},
                  -1,
                  -1,
                  -1,
                  false,
                  false,
                  "unknown option"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CommandBytes, OneKeyCommandsSendTheirControlByte) {
    EXPECT_EQ(CommandByte(Command::Operate), 0x0F);
    EXPECT_EQ(CommandByte(Command::ExitOperate), 0x18);
    EXPECT_EQ(CommandByte(Command::SetTime), 0x14);
    EXPECT_EQ(CommandByte(Command::Checksum), 0x10);
    EXPECT_EQ(CommandByte(Command::Version), 0x16);
    EXPECT_EQ(CommandByte(Command::EraseRecords), 0x05);
    EXPECT_FALSE(CommandByte(Command::GetRecords));
    EXPECT_FALSE(CommandByte(Command::Ports));
}

// The indices the windowed program stored, read the way it reads them.
struct StoredCase {
    const char* name;
    const char* port;  // nullptr: not in the file
    const char* baud;
    const char* bits;
    const char* parity;
    LineIndices want;
};

class Stored : public ::testing::TestWithParam<StoredCase> {};

TEST_P(Stored, BadOrMissingValuesTakeTheDefaults) {
    const StoredCase& c = GetParam();
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QDir().mkpath(dir.path() + QStringLiteral("/Ventaro"));
    {
        QSettings settings(plat::SettingsFilePath(), QSettings::IniFormat);
        const std::pair<const char*, const char*> values[] = {
            {"Port", c.port}, {"Baud", c.baud}, {"Bits", c.bits}, {"Parity", c.parity}};
        for (const auto& [key, value] : values) {
            if (value) {
                settings.setValue(QStringLiteral("Ventaro/") + QLatin1String(key),
                                  QString::fromLatin1(value));
            }
        }
    }
    const LineIndices got = StoredLineIndices();
    EXPECT_EQ(got.port, c.want.port);
    EXPECT_EQ(got.baud, c.want.baud);
    EXPECT_EQ(got.bits, c.want.bits);
    EXPECT_EQ(got.parity, c.want.parity);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Stored,
    ::testing::Values(StoredCase{"Missing", nullptr, nullptr, nullptr, nullptr, {1, 3, 0, 0}},
                      StoredCase{"Valid", "7", "5", "1", "2", {7, 5, 1, 2}},
                      StoredCase{"OutOfRange", "8", "6", "2", "3", {1, 3, 0, 0}},
                      StoredCase{"Negative", "-1", "-1", "-1", "-1", {1, 3, 0, 0}},
                      StoredCase{"NotNumbers", "COM3", "9600", "x", "N", {1, 3, 0, 0}},
                      StoredCase{"Zero", "0", "0", "0", "0", {0, 0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(LineChoice, CommandLineGoesOverTheStoredSettingsAndADeviceIsNeverSaved) {
    QTemporaryDir dir;
    qputenv("XDG_CONFIG_HOME", dir.path().toUtf8());
    QDir().mkpath(dir.path() + QStringLiteral("/Ventaro"));
    {
        QSettings settings(plat::SettingsFilePath(), QSettings::IniFormat);
        settings.setValue(QStringLiteral("Ventaro/Port"), 4);
        settings.setValue(QStringLiteral("Ventaro/Baud"), 0);
        settings.setValue(QStringLiteral("PortDevices/COM5"), QStringLiteral("/dev/ttyACM0"));
    }
    Options options;
    options.baudIndex = 5;
    options.portDevice = QStringLiteral("/dev/ttyUSB3");
    ApplyLineChoice(options);
    EXPECT_EQ(PortIndex, 4);
    EXPECT_EQ(BaudIndex, 5);
    EXPECT_EQ(plat::PortDevice(QStringLiteral("COM5")), QStringLiteral("/dev/ttyUSB3"));
    plat::OverridePortDevice(QStringLiteral("COM5"), QString());
    EXPECT_EQ(plat::PortDevice(QStringLiteral("COM5")), QStringLiteral("/dev/ttyACM0"));
}

}  // namespace
}  // namespace ventaro::cli
