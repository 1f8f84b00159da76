#include "cli/console_view.h"

#include "serial/codepage.h"

#include <QCoreApplication>

#include <unistd.h>
#include <cerrno>
#include <utility>

namespace ventaro::cli {
namespace {

const QByteArray kEraseLine = "\r\x1b[K";

}  // namespace

Sink FdSink(int fd) {
    auto write = [fd](const QByteArray& bytes) {
        const char* at = bytes.constData();
        size_t left = size_t(bytes.size());
        while (left > 0) {
            const ssize_t n = ::write(fd, at, left);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return;  // a closed pipe: nothing more can be shown
            }
            at += n;
            left -= size_t(n);
        }
    };
    return {write, ::isatty(fd) == 1};
}

QByteArray ConsoleText::Next(std::string_view bytes) {
    QByteArray lines;
    lines.reserve(qsizetype(bytes.size()));
    for (char c : bytes) {
        const bool lfAfterCr = c == '\n' && afterCr_;
        afterCr_ = c == '\r';
        if (!lfAfterCr) {
            lines.append(c == '\r' ? '\n' : c);
        }
    }
    return FromWindows1252(std::string_view(lines.constData(), size_t(lines.size()))).toLocal8Bit();
}

ConsoleView::ConsoleView(Sink err, Sink out, bool quiet)
    : err_(std::move(err)), out_(std::move(out)), quiet_(quiet) {}

void ConsoleView::ShowText(std::string_view bytes, bool) {
    Terminal(bytes);
}

void ConsoleView::ShowReceivedText(std::string_view bytes) {
    Terminal(bytes);
}

void ConsoleView::Terminal(std::string_view bytes) {
    if (answerMode_) {
        answer_.append(bytes);
        const QByteArray text = outText_.Next(bytes);
        if (!text.isEmpty()) {
            out_.write(text);
            outMidLine_ = !text.endsWith('\n');
        }
        return;
    }
    if (quiet_) {
        return;
    }
    const QByteArray text = errText_.Next(bytes);
    if (text.isEmpty()) {
        return;
    }
    EraseProgress();
    err_.write(text);
    midLine_ = !text.endsWith('\n');
    ShowProgress();
}

void ConsoleView::SetPanel(int panel, const QString& text) {
    if (panel != 2) {
        return;
    }
    if (text.trimmed().isEmpty()) {  // the panel is cleared: nothing runs
        progress_.clear();
        lastPrinted_.clear();
        EraseProgress();
        return;
    }
    if (quiet_) {
        return;
    }
    progress_ = text;
    ShowProgress();
}

// Only at the start of a line: a send echoes its text a byte at a time, and
// the progress waits for the line to end rather than cut it up.
void ConsoleView::ShowProgress() {
    if (midLine_ || progress_.isEmpty()) {
        return;
    }
    if (err_.terminal) {
        err_.write(QByteArray("\r") + progress_.toLocal8Bit() + "\x1b[K");
        progressShown_ = true;
        return;
    }
    // A log gets a line per change, not one per byte of a send.
    if (progress_ != lastPrinted_) {
        err_.write(progress_.toLocal8Bit() + '\n');
        lastPrinted_ = progress_;
    }
}

void ConsoleView::Message(const QString& text) {
    EraseProgress();
    EndLine();
    QString lines = text;
    lines.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    err_.write(lines.toLocal8Bit() + '\n');
    if (err_.terminal) {
        ShowProgress();
    }
}

void ConsoleView::SetAnswerMode(bool on) {
    answerMode_ = on;
}

void ConsoleView::Finish() {
    EraseProgress();
    EndLine();
    if (outMidLine_) {
        out_.write("\n");
        outMidLine_ = false;
    }
}

void ConsoleView::EraseProgress() {
    if (err_.terminal && progressShown_) {
        err_.write(kEraseLine);
        progressShown_ = false;
    }
}

void ConsoleView::EndLine() {
    if (midLine_) {
        err_.write("\n");
        midLine_ = false;
    }
}

ConsoleUi::ConsoleUi(ConsoleView& view, QString file, bool yes)
    : view_(view), file_(std::move(file)), yes_(yes) {}

plat::Answer ConsoleUi::MessageBox(const QString& text, bool yesNo) {
    view_.Message(text);
    if (!yesNo) {
        return plat::Answer::Ok;
    }
    view_.Message(yes_ ? QStringLiteral("Answered Yes (--yes).")
                       : QStringLiteral("Answered No; give --yes to answer Yes."));
    return yes_ ? plat::Answer::Yes : plat::Answer::No;
}

void ConsoleUi::ErrorBox(const QString& text) {
    view_.Message(text);
}

std::optional<QString> ConsoleUi::OpenFileName(const plat::FileRequest&) {
    return file_.isEmpty() ? std::nullopt : std::optional<QString>(file_);
}

std::optional<QString> ConsoleUi::SaveFileName(const plat::FileRequest&) {
    return file_.isEmpty() ? std::nullopt : std::optional<QString>(file_);
}

void ConsoleUi::ProcessEvents() {
    QCoreApplication::processEvents();
}

}  // namespace ventaro::cli
