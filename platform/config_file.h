// Where the per-user settings live, and the port-name-to-device map.
//
// One INI file, $XDG_CONFIG_HOME/Ventaro/Ventaro.conf (~/.config when the
// variable is unset): section [Ventaro] holds the program's settings and
// section [PortDevices] says which device each port name stands for
// (COM2=/dev/ttyUSB0). A name with no entry is the machine's n-th on-board
// port: COMn is /dev/ttyS(n-1). An override set in this process (the
// command-line tool's --port /dev/...) comes before both and is never saved.
#pragma once

#include <QString>

namespace ventaro::plat {

QString SettingsFilePath();
QString DefaultPortDevice(const QString& portName);
QString PortDevice(const QString& portName);
// False when the settings file could not be written.
bool SetPortDevice(const QString& portName, const QString& device);
// For this process only, never written to the settings file; an empty
// device removes the override. Main thread only.
void OverridePortDevice(const QString& portName, const QString& device);

}  // namespace ventaro::plat
