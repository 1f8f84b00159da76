#include "app/settings.h"

#include "app/main_window.h"
#include "serial/comm_port.h"
#include "serial/serial_state.h"

namespace ventaro {

QString LastDirectory;

// Until the store exists every start is a first start.
void LoadSettings(TMainForm&) {
    PortIndex = kDefaultPortIndex;
    BaudIndex = kDefaultBaudIndex;
    BitsIndex = kDefaultBitsIndex;
    ParityIndex = kDefaultParityIndex;
}

void SaveSettings(TMainForm&) {}

}  // namespace ventaro
