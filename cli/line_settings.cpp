#include "cli/line_settings.h"

#include "platform/config_file.h"
#include "serial/comm_port.h"
#include "serial/serial_state.h"

#include <QSettings>

namespace ventaro::cli {
namespace {

template <size_t N>
int StoredIndex(const QSettings& settings, const char* key, const std::array<const char*, N>&,
                int fallback) {
    bool ok = false;
    const int index = settings.value(QStringLiteral("Ventaro/") + QLatin1String(key))
                          .toString()
                          .trimmed()
                          .toInt(&ok);
    return (ok && index >= 0 && size_t(index) < N) ? index : fallback;
}

}  // namespace

LineIndices StoredLineIndices() {
    const QSettings settings(plat::SettingsFilePath(), QSettings::IniFormat);
    LineIndices indices;
    indices.port = StoredIndex(settings, "Port", kPortNames, kDefaultPortIndex);
    indices.baud = StoredIndex(settings, "Baud", kBaudRates, kDefaultBaudIndex);
    indices.bits = StoredIndex(settings, "Bits", kDataBits, kDefaultBitsIndex);
    indices.parity = StoredIndex(settings, "Parity", kParityLetters, kDefaultParityIndex);
    return indices;
}

void ApplyLineChoice(const Options& options) {
    const LineIndices stored = StoredLineIndices();
    PortIndex = options.portIndex.value_or(stored.port);
    BaudIndex = options.baudIndex.value_or(stored.baud);
    BitsIndex = options.bitsIndex.value_or(stored.bits);
    ParityIndex = options.parityIndex.value_or(stored.parity);
    if (!options.portDevice.isEmpty()) {
        plat::OverridePortDevice(QLatin1String(PortName(PortIndex)), options.portDevice);
    }
}

}  // namespace ventaro::cli
