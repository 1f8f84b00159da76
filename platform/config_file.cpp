#include "platform/config_file.h"

#include <QDir>
#include <QHash>
#include <QSettings>

namespace ventaro::plat {
namespace {
const QString kDevicesGroup = QStringLiteral("PortDevices");

QHash<QString, QString>& Overrides() {
    static QHash<QString, QString> overrides;
    return overrides;
}
}  // namespace

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
    if (auto it = Overrides().constFind(portName); it != Overrides().constEnd()) {
        return it.value();
    }
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

void OverridePortDevice(const QString& portName, const QString& device) {
    if (device.isEmpty()) {
        Overrides().remove(portName);
    } else {
        Overrides().insert(portName, device);
    }
}

}  // namespace ventaro::plat
