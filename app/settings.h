// The per-user settings: loaded once as the window is created, saved once as
// it closes through its close path.
//
// How it works:
// - Section [Ventaro] of the settings file (plat::SettingsFilePath(), the
//   same file whose [PortDevices] section maps port names to devices) holds
//   twelve values. INI values are untyped text, so SettingsStore decides what
//   an integer and a boolean are: a missing value or one that does not parse
//   is an error, while a missing text reads as empty.
// - QSettings does the file work. Its sync() writes a temporary file and
//   renames it over the old one, so a crash or a full disk leaves the previous
//   settings whole; a failed write surfaces as SettingsError at Commit.
// - The load never fails: a value that cannot be read takes its default, an
//   index outside its table the default index, so a damaged file costs only
//   the damaged values.
// - Window bounds are the outer frame. The frame's size is known only once
//   the window is on screen, so the load sets the size as if there were no
//   frame and corrects it when the frame appears, unless the user has resized
//   the window by then.
#pragma once

#include <QSettings>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <stdexcept>

namespace ventaro {

class TMainForm;

// A read or a save that failed; its text is the one the user is shown.
class SettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The folder of the file last chosen in a transfer's file dialog.
extern QString LastDirectory;

// One section of one settings file.
class SettingsStore {
  public:
    explicit SettingsStore(const QString& filePath);

    // Without create: false when the section does not exist yet. With create
    // it always opens; the section comes into being at Commit.
    bool OpenKey(bool create);

    int ReadInteger(const QString& name) const;  // throws SettingsError
    bool ReadBool(const QString& name) const;    // throws SettingsError
    QString ReadString(const QString& name) const;

    void WriteInteger(const QString& name, int value);
    void WriteBool(const QString& name, bool value);
    void WriteString(const QString& name, const QString& value);
    // Puts the written values on disk, whole or not at all. Throws
    // SettingsError naming the first value that is not there afterwards.
    void Commit();

  private:
    QVariant Value(const QString& name) const;

    QSettings settings_;
    QStringList written_;  // names, in the order written
};

void LoadSettings(TMainForm& form);
void SaveSettings(TMainForm& form);  // throws SettingsError

}  // namespace ventaro
