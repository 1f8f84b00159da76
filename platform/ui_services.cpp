#include "platform/ui_services.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

#include <algorithm>

namespace ventaro::plat {
namespace {

const QString kCaption = QStringLiteral("Ventaro");

class DesktopUi final : public UiServices {
  public:
    Answer MessageBox(const QString& text, bool yesNo) override {
        QMessageBox box(QMessageBox::NoIcon, kCaption, text,
                        yesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::Ok,
                        QApplication::activeWindow());
        int result = box.exec();
        if (!yesNo) {
            return Answer::Ok;
        }
        return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
    }

    void ErrorBox(const QString& text) override {
        QMessageBox box(QMessageBox::Critical, kCaption, text, QMessageBox::Ok,
                        QApplication::activeWindow());
        box.exec();
    }

    std::optional<QString> OpenFileName(const FileRequest& request) override {
        return RunFileDialog(request, QFileDialog::AcceptOpen);
    }

    std::optional<QString> SaveFileName(const FileRequest& request) override {
        return RunFileDialog(request, QFileDialog::AcceptSave);
    }

    std::optional<QFont> ChooseFont(const QFont& current, int minPoints, int maxPoints) override {
        // The dialog itself knows no size limits: clamp what it gives back.
        bool ok = false;
        QFont font = QFontDialog::getFont(&ok, current, QApplication::activeWindow());
        if (!ok) {
            return std::nullopt;
        }
        if (font.pointSize() > 0) {
            font.setPointSize(std::clamp(font.pointSize(), minPoints, maxPoints));
        }
        font.setUnderline(false);
        font.setStrikeOut(false);
        return font;
    }

    void Beep() override { QApplication::beep(); }

    void SetCursor(ScreenCursor cursor) override {
        // One global cursor, not a stack: "default" always clears it.
        while (QApplication::overrideCursor()) {
            QApplication::restoreOverrideCursor();
        }
        if (cursor == ScreenCursor::Hourglass) {
            QApplication::setOverrideCursor(Qt::WaitCursor);
        }
    }

    void ProcessEvents() override { QCoreApplication::processEvents(); }

  private:
    static std::optional<QString> RunFileDialog(const FileRequest& request,
                                                QFileDialog::AcceptMode mode) {
        QFileDialog dialog(QApplication::activeWindow(), request.title, request.initialDirectory);
        dialog.setAcceptMode(mode);
        dialog.setNameFilters(request.filters);
        dialog.setFileMode(request.mustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
        dialog.setOption(QFileDialog::ReadOnly, false);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
            return std::nullopt;
        }
        return dialog.selectedFiles().constFirst();
    }
};

std::unique_ptr<UiServices>& Slot() {
    static std::unique_ptr<UiServices> services;
    return services;
}

}  // namespace

std::unique_ptr<UiServices> MakeDesktopUi() {
    return std::make_unique<DesktopUi>();
}

UiServices& Ui() {
    auto& slot = Slot();
    if (!slot) {
        slot = MakeDesktopUi();
    }
    return *slot;
}

void SetUi(std::unique_ptr<UiServices> services) {
    Slot() = std::move(services);
}

}  // namespace ventaro::plat
