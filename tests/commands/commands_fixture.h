// The windowed program and the simulator, with helpers for the transfers.
#pragma once

#include "serial/serial_state.h"
#include "tests/support/app_harness.h"

#include <QFile>

#include <gtest/gtest.h>

namespace ventaro::testing {

inline std::vector<uint8_t> Bytes(std::string_view text) {
    return {text.begin(), text.end()};
}

inline QByteArray ReadFile(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class Transfers : public ::testing::Test {
  protected:
    void StartApp(brenvix::SimConfig config = {}) {
        app_ = std::make_unique<AppHarness>(std::move(config));
        app_->Start();
        ASSERT_TRUE(app_->sim.WaitForReceived(1, 5s));
        QObject::connect(app_->form->StatusBar1, &TStatusBar::PanelChanged, app_->form,
                         [this](int panel, const QString& text) {
                             if (panel == 2) {
                                 panelTexts_ << text;
                             }
                         });
    }
    // Everything the instrument received after the start-up byte.
    std::vector<uint8_t> Sent() const {
        auto all = app_->sim.ReceivedBytes();
        return {all.begin() + 1, all.end()};
    }
    QStringList Messages() const {
        QStringList texts;
        for (const auto& m : app_->ui->messages) {
            texts << m.text;
        }
        return texts;
    }
    bool CaptureEnded() {
        return WaitUntil(
            [&] {
                return CaptureMode.load() == CaptureKind::Terminal &&
                       app_->form->Memo1->isEnabled();
            },
            20s);
    }

    std::unique_ptr<AppHarness> app_;
    QStringList panelTexts_;
};

}  // namespace ventaro::testing
