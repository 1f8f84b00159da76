#include "app/settings.h"

#include "app/main_window.h"
#include "platform/config_file.h"
#include "serial/comm_port.h"
#include "serial/serial_state.h"

#include <QEvent>
#include <QFile>
#include <QFont>
#include <QFontInfo>

#include <sys/stat.h>
#include <algorithm>
#include <optional>

namespace ventaro {

QString LastDirectory;

namespace {

const QString kSection = QStringLiteral("Ventaro");
const QString kDesignFontName = QStringLiteral("Courier New");
constexpr int kDesignFontPoints = 8;

SettingsError Failure(const char* format, const QString& name) {
    return SettingsError(QString::fromLatin1(format).arg(name).toStdString());
}

// The identity of the file now at path, if there is one.
std::optional<ino_t> FileIdentity(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return std::nullopt;
    }
    return info.st_ino;
}

// Gives the window the stored outer size once the frame around it is known.
// Before the window is on screen there is no frame, so the load sets the
// client size to the outer size; left at that, every close and start would
// add one frame to the size.
class OuterSizeFitter : public QObject {
  public:
    OuterSizeFitter(QWidget* window, QSize outer)
        : QObject(window), window_(window), outer_(outer), client_(window->size()) {
        window->installEventFilter(this);
    }

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        const QEvent::Type type = event->type();
        if (watched == window_ &&
            (type == QEvent::Show || type == QEvent::Move || type == QEvent::Resize)) {
            Fit();
        }
        return false;
    }

  private:
    void Fit() {
        if (window_->size() != client_) {
            Done();  // the user has sized the window: it is theirs now
            return;
        }
        const QSize frame = window_->frameGeometry().size() - window_->size();
        if (frame == QSize(0, 0)) {
            return;  // no frame yet (or none at all)
        }
        Done();
        window_->resize(outer_ - frame);
    }
    void Done() {
        window_->removeEventFilter(this);
        deleteLater();
    }

    QWidget* window_;
    QSize outer_;
    QSize client_;
};

void ApplyOuterBounds(QWidget& window, const QRect& outer) {
    window.move(outer.topLeft());  // a window's position is its frame's
    window.resize(outer.size());
    new OuterSizeFitter(&window, outer.size());
}

// Reads that cannot fail: a missing or mistyped value takes the fallback.
int IntegerOr(const SettingsStore& store, const QString& name, int fallback) {
    try {
        return store.ReadInteger(name);
    } catch (const SettingsError&) {
        return fallback;
    }
}

bool BoolOr(const SettingsStore& store, const QString& name, bool fallback) {
    try {
        return store.ReadBool(name);
    } catch (const SettingsError&) {
        return fallback;
    }
}

QString StringOr(const SettingsStore& store, const QString& name, const QString& fallback) {
    try {
        return store.ReadString(name);
    } catch (const SettingsError&) {
        return fallback;
    }
}

template <size_t N>
int IndexOr(const SettingsStore& store, const QString& name, const std::array<const char*, N>&,
            int fallback) {
    const int index = IntegerOr(store, name, fallback);
    return (index >= 0 && size_t(index) < N) ? index : fallback;
}

void SetDefaultIndices() {
    PortIndex = kDefaultPortIndex;
    BaudIndex = kDefaultBaudIndex;
    BitsIndex = kDefaultBitsIndex;
    ParityIndex = kDefaultParityIndex;
}

void LoadIndices(const SettingsStore& store) {
    PortIndex = IndexOr(store, QStringLiteral("Port"), kPortNames, kDefaultPortIndex);
    BaudIndex = IndexOr(store, QStringLiteral("Baud"), kBaudRates, kDefaultBaudIndex);
    BitsIndex = IndexOr(store, QStringLiteral("Bits"), kDataBits, kDefaultBitsIndex);
    ParityIndex = IndexOr(store, QStringLiteral("Parity"), kParityLetters, kDefaultParityIndex);
}

// Applied as read, without a look at the screen; only values no window
// could have are brought within what the window system's arithmetic takes.
int Coordinate(const SettingsStore& store, const QString& name, int fallback) {
    return std::clamp(IntegerOr(store, name, fallback), -QWIDGETSIZE_MAX, QWIDGETSIZE_MAX);
}

void LoadBounds(const SettingsStore& store, TMainForm& form) {
    const int top = Coordinate(store, QStringLiteral("FormTop"), kDesignTop);
    const int left = Coordinate(store, QStringLiteral("FormLeft"), kDesignLeft);
    const int height = std::max(0, Coordinate(store, QStringLiteral("FormHeight"), kDesignHeight));
    const int width = std::max(0, Coordinate(store, QStringLiteral("FormWidth"), kDesignWidth));
    ApplyOuterBounds(form, QRect(left, top, width, height));
}

// The scroll bars stay as designed until the Word Wrap command is used.
void LoadWordWrap(const SettingsStore& store, TMainForm& form) {
    const bool wrap = BoolOr(store, QStringLiteral("WordWrap"), true);
    form.WordWrap->setChecked(wrap);
    form.Memo1->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

// A new font with the stored face and size; style and the rest as a new
// font has them. A face this machine lacks falls back to a fixed-pitch one.
void LoadFont(const SettingsStore& store, TMainForm& form) {
    QFont font;
    const QString name = StringOr(store, QStringLiteral("FontName"), kDesignFontName);
    if (!name.isEmpty()) {
        font.setFamily(name);
        font.setStyleHint(QFont::TypeWriter);
    }
    const int points = IntegerOr(store, QStringLiteral("FontSize"), kDesignFontPoints);
    font.setPointSize(std::clamp(points, TMainForm::kFontMinPoints, TMainForm::kFontMaxPoints));
    form.Memo1->setFont(font);
}

int PointSize(const QFont& font) {
    return font.pointSize() > 0 ? font.pointSize() : QFontInfo(font).pointSize();
}

}  // namespace

SettingsStore::SettingsStore(const QString& filePath) : settings_(filePath, QSettings::IniFormat) {
    // Never write the file in place: a failed write must leave the old one.
    settings_.setAtomicSyncRequired(true);
}

bool SettingsStore::OpenKey(bool create) {
    return create || settings_.childGroups().contains(kSection);
}

QVariant SettingsStore::Value(const QString& name) const {
    return settings_.value(kSection + QLatin1Char('/') + name);
}

int SettingsStore::ReadInteger(const QString& name) const {
    const QVariant value = Value(name);
    if (!value.isValid()) {
        throw Failure("Failed to get data for '%1'", name);
    }
    // From the file every value is text; a value this process wrote itself
    // comes back from QSettings' cache with the type it was written with.
    bool ok = false;
    int number = 0;
    switch (value.typeId()) {
        case QMetaType::QString:
            number = value.toString().trimmed().toInt(&ok);
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            number = value.toInt(&ok);
            ok = ok && value.toLongLong() == number;
            break;
        default:
            break;
    }
    if (!ok) {
        throw Failure("Invalid data type for '%1'", name);
    }
    return number;
}

bool SettingsStore::ReadBool(const QString& name) const {
    return ReadInteger(name) != 0;
}

QString SettingsStore::ReadString(const QString& name) const {
    const QVariant value = Value(name);
    if (!value.isValid()) {
        return QString();
    }
    // An unquoted comma turns INI text into a list: not a text any more.
    if (value.typeId() != QMetaType::QString) {
        throw Failure("Invalid data type for '%1'", name);
    }
    return value.toString();
}

void SettingsStore::WriteInteger(const QString& name, int value) {
    settings_.setValue(kSection + QLatin1Char('/') + name, value);
    written_.push_back(name);
}

void SettingsStore::WriteBool(const QString& name, bool value) {
    WriteInteger(name, value ? 1 : 0);
}

void SettingsStore::WriteString(const QString& name, const QString& value) {
    settings_.setValue(kSection + QLatin1Char('/') + name, value);
    written_.push_back(name);
}

void SettingsStore::Commit() {
    const std::optional<ino_t> before = FileIdentity(settings_.fileName());
    settings_.sync();
    bool stored = settings_.status() == QSettings::NoError;
    if (settings_.status() == QSettings::FormatError) {
        // The status keeps the first error, here from reading a damaged file,
        // and so hides whether the write failed. The file is replaced whole
        // or not at all: a new file in its place means the write landed.
        const std::optional<ino_t> after = FileIdentity(settings_.fileName());
        stored = after && after != before;
    }
    if (!stored) {
        throw Failure("Failed to set data for '%1'",
                      written_.isEmpty() ? kSection : written_.front());
    }
}

void LoadSettings(TMainForm& form) {
    SettingsStore store(plat::SettingsFilePath());
    if (!store.OpenKey(false)) {
        SetDefaultIndices();
        ApplyOuterBounds(form, QRect(kDesignLeft, kDesignTop, kDesignWidth, kDesignHeight));
        return;
    }
    LoadIndices(store);
    LoadBounds(store, form);
    LoadWordWrap(store, form);
    LoadFont(store, form);
    LastDirectory = StringOr(store, QStringLiteral("LastDirectory"), QString());
    form.OpenDialog.initialDirectory = LastDirectory;
    form.SaveDialog.initialDirectory = LastDirectory;
}

void SaveSettings(TMainForm& form) {
    SettingsStore store(plat::SettingsFilePath());
    store.OpenKey(true);
    store.WriteInteger(QStringLiteral("Port"), PortIndex);
    store.WriteInteger(QStringLiteral("Baud"), BaudIndex);
    store.WriteInteger(QStringLiteral("Parity"), ParityIndex);
    store.WriteInteger(QStringLiteral("Bits"), BitsIndex);
    const QRect outer = form.frameGeometry();
    store.WriteInteger(QStringLiteral("FormTop"), outer.top());
    store.WriteInteger(QStringLiteral("FormLeft"), outer.left());
    store.WriteInteger(QStringLiteral("FormHeight"), outer.height());
    store.WriteInteger(QStringLiteral("FormWidth"), outer.width());
    store.WriteBool(QStringLiteral("WordWrap"), form.WordWrap->isChecked());
    const QFont font = form.Memo1->font();
    store.WriteString(QStringLiteral("FontName"), font.family());
    store.WriteInteger(QStringLiteral("FontSize"), PointSize(font));
    store.WriteString(QStringLiteral("LastDirectory"), LastDirectory);
    store.Commit();
}

}  // namespace ventaro
