// The per-user settings: loaded once as the window is created, saved once as
// it closes through its close path.
#pragma once

#include <QString>

#include <stdexcept>

namespace ventaro {

class TMainForm;

// A save that could not write; its text is the one the user is shown.
class SettingsError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The folder of the file last chosen in a transfer's file dialog.
extern QString LastDirectory;

void LoadSettings(TMainForm& form);
void SaveSettings(TMainForm& form);  // throws SettingsError

}  // namespace ventaro
