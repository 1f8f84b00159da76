#include "platform/port_description.h"

namespace ventaro::plat {

QString DescribeSerialPort(const QSerialPortInfo& port) {
    const QString description = port.description();
    const QString maker = port.manufacturer();
    if (maker.isEmpty() || description.contains(maker)) {
        return description;
    }
    return description.isEmpty() ? maker : description + QStringLiteral(", ") + maker;
}

}  // namespace ventaro::plat
