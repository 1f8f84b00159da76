// `ports`: what each port name stands for, and what the machine has.
#include "cli/commands.h"
#include "platform/port_description.h"

#include "platform/config_file.h"
#include "serial/comm_port.h"
#include "serial/serial_state.h"

#include <QFileInfo>
#include <QSerialPortInfo>

#include <algorithm>

namespace ventaro::cli {
namespace {

QString NamesAndDevices() {
    QString text;
    for (int i = 0; i < int(kPortNames.size()); ++i) {
        const QString name = QLatin1String(kPortNames[size_t(i)]);
        const QString device = plat::PortDevice(name);
        text += QStringLiteral("%1 %2  %3%4\n")
                    .arg(i == PortIndex ? QStringLiteral("*") : QStringLiteral(" "), name, device,
                         QFileInfo::exists(device) ? QString() : QStringLiteral("  (not present)"));
    }
    return text;
}

QString MachineDevices() {
    QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    std::sort(ports.begin(), ports.end(),
              [](const auto& a, const auto& b) { return a.systemLocation() < b.systemLocation(); });
    QString text;
    for (const QSerialPortInfo& port : ports) {
        const QString description = plat::DescribeSerialPort(port);
        text += QStringLiteral("  ") + port.systemLocation();
        if (!description.isEmpty()) {
            text += QStringLiteral("  (") + description + QLatin1Char(')');
        }
        text += QLatin1Char('\n');
    }
    return text.isEmpty() ? QStringLiteral("  (none)\n") : text;
}

}  // namespace

int ListPorts(const Sink& out) {
    const QString text = NamesAndDevices() +
                         QStringLiteral(
                             "(* the port used: the stored setting, or --port)\n\n"
                             "Serial devices found on this machine:\n") +
                         MachineDevices();
    out.write(text.toLocal8Bit());
    return kExitOk;
}

}  // namespace ventaro::cli
