// How a serial port of this machine is described to the user: the adapter's
// description, and its maker when the description does not already say it.
#pragma once

#include <QSerialPortInfo>
#include <QString>

namespace ventaro::plat {

QString DescribeSerialPort(const QSerialPortInfo& port);

}  // namespace ventaro::plat
