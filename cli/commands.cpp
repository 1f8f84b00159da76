#include "cli/commands.h"

#include "device/program_capture.h"
#include "device/program_send.h"
#include "device/record_retrieval.h"
#include "serial/serial_state.h"
#include "serial/terminal_view.h"
#include "viewer/records_csv.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTimer>

#include <fcntl.h>
#include <unistd.h>
#include <cerrno>
#include <chrono>
#include <cstring>

namespace ventaro::cli {
namespace {

using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// A one-key command's answer has ended after this long without a byte; a
// chatty instrument is cut off after the limit.
constexpr auto kQuietPeriod = 1000ms;
constexpr auto kAnswerLimit = 5000ms;
// Before the command: whatever is still coming in (the rest of a block from
// a download cut short, an answer to the break-in) is not its answer.
constexpr auto kSettlePeriod = 300ms;
constexpr auto kSettleLimit = 2000ms;
constexpr auto kEventSlice = 20ms;

// Runs the event loop for a while: the receive thread's hand-offs are
// queued calls, and they run here.
void RunEventsFor(std::chrono::milliseconds duration) {
    QEventLoop loop;
    QTimer::singleShot(duration, &loop, &QEventLoop::quit);
    loop.exec();
}

void WaitForQuiet(std::chrono::milliseconds quiet, std::chrono::milliseconds limit) {
    const auto start = Clock::now();
    auto last = start;
    uint32_t seen = BytesReceived.load();
    while (!ApplicationTerminated()) {
        RunEventsFor(kEventSlice);
        const auto now = Clock::now();
        if (const uint32_t count = BytesReceived.load(); count != seen) {
            seen = count;
            last = now;
        }
        if (now - last >= quiet || now - start >= limit) {
            return;
        }
    }
}

// Why a file could not be used, as the system puts it; empty if it can be.
QString FileReason(const QString& path, bool writing) {
    const QByteArray local = path.toLocal8Bit();
    if (!writing) {
        const int fd = ::open(local.constData(), O_RDONLY | O_CLOEXEC);
        if (fd >= 0) {
            ::close(fd);
            return {};
        }
        return QString::fromLocal8Bit(std::strerror(errno));
    }
    const QFileInfo info(path);
    if (info.isDir()) {
        return QString::fromLocal8Bit(std::strerror(EISDIR));
    }
    // Asked without creating or emptying anything.
    const QByteArray target = info.exists() ? local : info.absolutePath().toLocal8Bit();
    const int mode = info.exists() ? W_OK : (W_OK | X_OK);
    if (::access(target.constData(), mode) == 0) {
        return {};
    }
    return QString::fromLocal8Bit(std::strerror(errno));
}

int FileFailure(ConsoleView& view, const QString& path, bool writing) {
    const QString reason = FileReason(path, writing);
    if (!reason.isEmpty()) {
        view.Message(QStringLiteral("%1: %2").arg(path, reason));
    }
    return kExitFile;
}

// A regular file left empty was not written at all (a full disk); devices
// and pipes (/dev/stdout) cannot be judged by their size.
bool WrittenOut(ConsoleView& view, const QString& path) {
    const QFileInfo info(path);
    if (info.isFile() && info.size() == 0) {
        view.Message(QStringLiteral("%1 could not be written.").arg(path));
        return false;
    }
    return true;
}

int ForOutcome(TransferOutcome outcome, ConsoleView& view, const QString& path, bool writing) {
    switch (outcome) {
        case TransferOutcome::Done:
            return kExitOk;
        case TransferOutcome::Busy:
        case TransferOutcome::Refused:
            return kExitRefused;  // the message has been shown
        case TransferOutcome::FileError:
            return FileFailure(view, path, writing);
        case TransferOutcome::GaveUp:
            return kExitGaveUp;
        case TransferOutcome::Interrupted:
            return kExitInterrupted;
        case TransferOutcome::Cancelled:
            break;
    }
    return kExitUsage;  // no file was given: cannot happen past the parser
}

// The records text file as CSV, beside it; false (the user told) when it could not be made.
bool WriteCsv(ConsoleView& view, const QString& textPath, const QString& csvPath) {
    QFile text(textPath);
    if (!text.open(QIODevice::ReadOnly)) {
        view.Message(QStringLiteral("Cannot read %1 to make the CSV file.").arg(textPath));
        return false;
    }
    const QByteArray bytes = text.readAll();
    RecordsTextError error;
    const auto csv =
        RecordsTextToCsv(std::string_view(bytes.constData(), size_t(bytes.size())), &error);
    if (!csv) {
        view.Message(
            QStringLiteral("No CSV file: %1").arg(QString::fromStdString(error.Message())));
        return false;
    }
    QSaveFile out(csvPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(csv->data(), qint64(csv->size())) < 0 ||
        !out.commit()) {
        view.Message(QStringLiteral("Cannot write %1: %2").arg(csvPath, out.errorString()));
        return false;
    }
    return true;
}

int GetRecords(ConsoleView& view, const QString& path, const QString& csvPath) {
    const DownloadResult result = RunRecordsDownload();
    int code = ForOutcome(result.outcome, view, path, true);
    const bool wrote = result.outcome == TransferOutcome::Done ||
                       result.outcome == TransferOutcome::GaveUp ||
                       result.outcome == TransferOutcome::Interrupted;
    if (wrote && !csvPath.isEmpty() && !WriteCsv(view, path, csvPath) && code == kExitOk) {
        code = kExitFile;
    }
    const QString kept = QStringLiteral("%1 keeps the %2 records received.")
                             .arg(result.path.isEmpty() ? path : result.path)
                             .arg(result.records);
    if (result.outcome == TransferOutcome::GaveUp) {
        view.Message(QStringLiteral("The download gave up after repeated errors; ") + kept);
    } else if (result.outcome == TransferOutcome::Interrupted) {
        view.Message(QStringLiteral("Interrupted; ") + kept);
    } else if (code == kExitOk) {
        if (result.records < result.expected) {
            view.Message(QStringLiteral("Only %1 of %2 records were received: the Brenvix ended "
                                        "the transfer early.")
                             .arg(result.records)
                             .arg(result.expected));
        }
        if (!WrittenOut(view, path)) {
            return kExitFile;
        }
    }
    return code;
}

int GetProgram(ConsoleView& view, const CaptureRequest& request, const QString& path) {
    const TransferOutcome outcome = RunProgramCapture(request);
    if (outcome != TransferOutcome::Done) {
        return ForOutcome(outcome, view, path, true);
    }
    // The capture ends on the receive thread once the instrument falls silent.
    while (CaptureMode.load() != CaptureKind::Terminal && !ApplicationTerminated()) {
        RunEventsFor(kEventSlice);
    }
    if (ApplicationTerminated()) {
        // Closing the port writes what the capture holds.
        view.Message(QStringLiteral("Interrupted; %1 keeps what was received.").arg(path));
        return kExitInterrupted;
    }
    return WrittenOut(view, path) ? kExitOk : kExitFile;
}

int SendProgram(ConsoleView& view, const QString& path) {
    const TransferOutcome outcome = RunProgramSend();
    if (outcome == TransferOutcome::Interrupted) {
        view.Message(QStringLiteral("Interrupted; the rest of %1 was not sent.").arg(path));
    }
    return ForOutcome(outcome, view, path, false);
}

// The byte goes out as the menu command sends it; the answer is whatever
// the terminal shows until the line falls quiet.
int OneKey(ConsoleView& view, Command command, bool yes) {
    WaitForQuiet(kSettlePeriod, kSettleLimit);
    view.SetAnswerMode(true);
    View()->MoveCaretToEnd();
    plat::TransmitCommChar(CommHandle, *CommandByte(command));
    WaitForQuiet(kQuietPeriod, kAnswerLimit);
    bool declined = false;
    // Leaving operate mode is a question; unanswered, the instrument would
    // take the next byte it sees as the answer.
    if (command == Command::ExitOperate && view.Answer().find("(Y/N) ?") != std::string::npos &&
        !ApplicationTerminated()) {
        plat::TransmitCommChar(CommHandle, yes ? 'Y' : 'N');
        WaitForQuiet(kQuietPeriod, kAnswerLimit);
        declined = !yes;
    }
    view.SetAnswerMode(false);
    if (ApplicationTerminated()) {
        return kExitInterrupted;
    }
    if (view.Answer().empty()) {
        view.Message(QStringLiteral("The Brenvix is not responding"));
        return kExitRefused;
    }
    if (declined) {
        view.Message(
            QStringLiteral("Answered N: the Brenvix stays in operate mode; give --yes "
                           "to answer Y."));
        return kExitRefused;
    }
    return kExitOk;
}

}  // namespace

int RunInstrumentCommand(ConsoleView& view, const Options& options) {
    switch (options.command) {
        case Command::GetRecords:
            return GetRecords(view, options.file, options.csvFile);
        case Command::GetPgm:
            return GetProgram(view, GetPgmRequest(), options.file);
        case Command::GetAsciiPgm:
            return GetProgram(view, GetAsciiPgmRequest(), options.file);
        case Command::SendPgm:
            return SendProgram(view, options.file);
        case Command::Ports:
            return kExitUsage;  // needs no port: not run here
        default:
            return OneKey(view, options.command, options.yes);
    }
}

}  // namespace ventaro::cli
