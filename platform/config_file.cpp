#include "platform/config_file.h"

#include <QDir>
#include <QSettings>

namespace ventaro::plat {
namespace {
const QString kDevicesGroup = QStringLiteral("PortDevices");
}

QString SettingsFilePath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty()) {
        base = QDir::homePath() + QStringLiteral("/.config");
    }
    return base + QStringLiteral("/Ventaro/Ventaro.conf");
}

QString DefaultPortDevice(const QString& portName) {
    if (portName.startsWith(QStringLiteral("COM"))) {
        bool ok = false;
        int n = portName.mid(3).toInt(&ok);
        if (ok && n >= 1) {
            return QStringLiteral("/dev/ttyS%1").arg(n - 1);
        }
    }
    return portName;
}

QString PortDevice(const QString& portName) {
    QSettings settings(SettingsFilePath(), QSettings::IniFormat);
    QString device = settings.value(kDevicesGroup + QLatin1Char('/') + portName).toString();
    return device.isEmpty() ? DefaultPortDevice(portName) : device;
}

bool SetPortDevice(const QString& portName, const QString& device) {
    QSettings settings(SettingsFilePath(), QSettings::IniFormat);
    settings.setValue(kDevicesGroup + QLatin1Char('/') + portName, device);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

}  // namespace ventaro::plat
