#include "tests/cli/cli_fixture.h"

#include "serial/serial_state.h"
#include "tests/support/app_harness.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcessEnvironment>
#include <QSettings>

#include <csignal>

namespace ventaro::testing {

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

CliHome::CliHome() {
    QDir().mkpath(Path(QStringLiteral("config/Ventaro")));
    QDir().mkpath(Path(QStringLiteral("runtime")));
    QFile::setPermissions(Path(QStringLiteral("runtime")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void CliHome::Set(const QString& key, const QString& value) {
    QSettings settings(SettingsFile(), QSettings::IniFormat);
    settings.setValue(key, value);
}

CliProcess::CliProcess(const CliHome& home, const QStringList& args) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // As from cron: no display, no platform plugin asked for.
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        env.remove(QLatin1String(name));
    }
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.Path(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.Path(QStringLiteral("runtime")));
    process_.setProcessEnvironment(env);
    process_.start(QStringLiteral(VENTARO_CLI_EXE), args);
    process_.waitForStarted(10000);
}

CliProcess::~CliProcess() {
    if (process_.state() != QProcess::NotRunning) {
        process_.kill();
        process_.waitForFinished(5000);
    }
}

QByteArray CliProcess::ErrSoFar() {
    QCoreApplication::processEvents();
    err_ += process_.readAllStandardError();
    return err_;
}

void CliProcess::Signal(int signal) {
    ::kill(pid_t(process_.processId()), signal);
}

CliResult CliProcess::Finish(std::chrono::milliseconds limit) {
    CliResult result;
    result.finished = process_.waitForFinished(int(limit.count()));
    result.exitCode = process_.exitStatus() == QProcess::NormalExit ? process_.exitCode() : -1;
    result.out = process_.readAllStandardOutput();
    result.err = err_ + process_.readAllStandardError();
    return result;
}

CliResult RunCli(const CliHome& home, const QStringList& args) {
    return CliProcess(home, args).Finish();
}

QByteArray WindowedFile(const brenvix::SimConfig& config, WindowedCommand command, bool answerYes) {
    AppHarness app(config);
    app.Start();
    app.sim.WaitForReceived(1, 5s);
    const QString path = app.home.Path(QStringLiteral("windowed"));
    app.ui->files.push_back(path);
    if (answerYes) {
        app.ui->answers.push_back(plat::Answer::Yes);
    }
    switch (command) {
        case WindowedCommand::GetRecords:
            app.form->GetRecords1Click();
            break;
        case WindowedCommand::GetPgm:
        case WindowedCommand::GetAsciiPgm:
            command == WindowedCommand::GetPgm ? app.form->GetPgm1Click()
                                               : app.form->GetASCIIPgm1Click();
            EXPECT_TRUE(WaitUntil([] { return CaptureMode.load() == CaptureKind::Terminal; }, 20s));
            break;
    }
    app.Close();
    return ReadFile(path);
}

void CliTest::StartSim(brenvix::SimConfig config) {
    sim_ = std::make_unique<brenvix::Simulator>(std::move(config));
    device_ = QString::fromStdString(sim_->OpenPty());
    ASSERT_FALSE(device_.isEmpty());
    sim_->Start();
    home_.Set(QStringLiteral("PortDevices/COM2"), device_);
}

QStringList CliTest::Expand(const QStringList& args) const {
    QStringList expanded;
    for (QString arg : args) {
        arg.replace(QStringLiteral("{dev}"), device_);
        arg.replace(QStringLiteral("{home}"), home_.Path(QString()).chopped(1));
        expanded << arg;
    }
    return expanded;
}

CliResult CliTest::Run(const QStringList& args) {
    return RunCli(home_, Expand(args));
}

std::vector<uint8_t> CliTest::Sent() const {
    auto all = sim_->ReceivedBytes();
    if (all.empty() || all.front() != 0x03) {
        ADD_FAILURE() << "the run did not begin with the break-in byte";
        return all;
    }
    return {all.begin() + 1, all.end()};
}

bool CliTest::SentIs(const std::vector<uint8_t>& bytes) const {
    sim_->WaitFor([&] { return sim_->ReceivedBytes().size() >= bytes.size() + 1; }, 5s);
    return Sent() == bytes;
}

}  // namespace ventaro::testing
