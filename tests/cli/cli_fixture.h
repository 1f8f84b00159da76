// ventaro-cli run as a process against the simulator in this process.
//
// Each test gets its own settings and runtime folders for the tool
// (XDG_CONFIG_HOME, XDG_RUNTIME_DIR), with COM2 pointed at the simulator's
// pseudo-terminal. The tool runs with no DISPLAY and no QT_QPA_PLATFORM, as
// it would from cron. The windowed program, run here on the offscreen
// platform against a second simulator with the same configuration, gives
// the files the tool must write.
#pragma once

#include "sim/simulator.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <string_view>
#include <vector>

namespace ventaro::testing {

using namespace std::chrono_literals;

inline std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

QByteArray ReadFile(const QString& path);
void WriteFile(const QString& path, const QByteArray& bytes);

// The tool's own settings and runtime folders.
class CliHome {
  public:
    CliHome();
    QString Path(const QString& name) const { return dir_.path() + QLatin1Char('/') + name; }
    QString SettingsFile() const { return Path(QStringLiteral("config/Ventaro/Ventaro.conf")); }
    void Set(const QString& key, const QString& value);  // "PortDevices/COM2", "Ventaro/Baud"

  private:
    QTemporaryDir dir_;
    friend class CliProcess;
};

struct CliResult {
    bool finished = false;
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// One run of the tool; reads its output as it comes.
class CliProcess {
  public:
    CliProcess(const CliHome& home, const QStringList& args);
    ~CliProcess();
    // What standard error has shown so far (runs the event loop).
    QByteArray ErrSoFar();
    void Signal(int signal);
    CliResult Finish(std::chrono::milliseconds limit = 60s);

  private:
    QProcess process_;
    QByteArray err_;
};

CliResult RunCli(const CliHome& home, const QStringList& args);

// What the windowed program writes for the same instrument.
enum class WindowedCommand { GetRecords, GetPgm, GetAsciiPgm };
QByteArray WindowedFile(const brenvix::SimConfig& config, WindowedCommand command,
                        bool answerYes = false);

class CliTest : public ::testing::Test {
  public:
    void StartSim(brenvix::SimConfig config = {});
    // "{dev}" becomes the simulator's device, "{home}/x" a path in the home.
    CliResult Run(const QStringList& args);
    QStringList Expand(const QStringList& args) const;
    // Everything the instrument received after the start-up break-in.
    std::vector<uint8_t> Sent() const;
    // Waits until the instrument has received exactly these bytes after the break-in.
    bool SentIs(const std::vector<uint8_t>& bytes) const;

    CliHome home_;
    std::unique_ptr<brenvix::Simulator> sim_;
    QString device_;
};

}  // namespace ventaro::testing
