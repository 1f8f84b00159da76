// Desktop services for tests: answers come from a script, and whatever the
// program showed or asked is kept for the test to read.
#pragma once

#include "platform/ui_services.h"

#include <QStringList>

#include <deque>

namespace ventaro::testing {

struct ShownMessage {
    QString text;
    bool yesNo = false;
};

class ScriptedUi : public plat::UiServices {
  public:
    // Answers to Yes/No boxes, in order; with none left, No.
    std::deque<plat::Answer> answers;
    // Chosen files, in order; std::nullopt cancels. With none left, cancel.
    std::deque<std::optional<QString>> files;
    std::optional<QFont> font;

    std::vector<ShownMessage> messages;
    QStringList errors;
    std::vector<plat::FileRequest> fileRequests;
    int beeps = 0;
    plat::ScreenCursor cursor = plat::ScreenCursor::Default;

    plat::Answer MessageBox(const QString& text, bool yesNo) override;
    void ErrorBox(const QString& text) override { errors << text; }
    std::optional<QString> OpenFileName(const plat::FileRequest& request) override;
    std::optional<QString> SaveFileName(const plat::FileRequest& request) override;
    std::optional<QFont> ChooseFont(const QFont& current, int minPoints, int maxPoints) override;
    void Beep() override { ++beeps; }
    void SetCursor(plat::ScreenCursor c) override { cursor = c; }
    void ProcessEvents() override;

  private:
    std::optional<QString> NextFile(const plat::FileRequest& request);
};

// Installs a fresh ScriptedUi as the program's services and returns it.
ScriptedUi& InstallScriptedUi();

}  // namespace ventaro::testing
