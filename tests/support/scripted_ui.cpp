#include "tests/support/scripted_ui.h"

#include <QCoreApplication>

namespace ventaro::testing {

plat::Answer ScriptedUi::MessageBox(const QString& text, bool yesNo) {
    messages.push_back({text, yesNo});
    if (!yesNo) {
        return plat::Answer::Ok;
    }
    if (answers.empty()) {
        return plat::Answer::No;
    }
    plat::Answer answer = answers.front();
    answers.pop_front();
    return answer;
}

std::optional<QString> ScriptedUi::NextFile(const plat::FileRequest& request) {
    fileRequests.push_back(request);
    if (files.empty()) {
        return std::nullopt;
    }
    // Taken apart by hand: GCC's -O3 misreads a copied optional<QString> as uninitialised.
    const bool chosen = files.front().has_value();
    const QString name = chosen ? *files.front() : QString();
    files.pop_front();
    if (!chosen) {
        return std::nullopt;
    }
    return name;
}

std::optional<QString> ScriptedUi::OpenFileName(const plat::FileRequest& request) {
    return NextFile(request);
}

std::optional<QString> ScriptedUi::SaveFileName(const plat::FileRequest& request) {
    return NextFile(request);
}

std::optional<QFont> ScriptedUi::ChooseFont(const QFont&, int minPoints, int maxPoints) {
    if (!font) {
        return std::nullopt;
    }
    QFont chosen = *font;
    chosen.setPointSize(std::clamp(chosen.pointSize(), minPoints, maxPoints));
    return chosen;
}

void ScriptedUi::ProcessEvents() {
    QCoreApplication::processEvents();
}

ScriptedUi& InstallScriptedUi() {
    auto ui = std::make_unique<ScriptedUi>();
    ScriptedUi& ref = *ui;
    plat::SetUi(std::move(ui));
    return ref;
}

}  // namespace ventaro::testing
