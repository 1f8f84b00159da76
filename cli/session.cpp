#include "cli/session.h"

#include "cli/commands.h"
#include "cli/console_view.h"
#include "cli/line_settings.h"
#include "platform/config_file.h"
#include "serial/comm_port.h"
#include "serial/receive_thread.h"
#include "serial/serial_state.h"

namespace ventaro::cli {
namespace {

constexpr uint8_t kBreakInByte = 0x03;

void ReportPortReason(ConsoleView& view) {
    const QString name = QLatin1String(PortName(PortIndex));
    const QString device = plat::PortDevice(name);
    plat::PortError error = plat::PortError::None;
    const plat::PortHandle port = plat::OpenPort(device.toStdString(), &error);
    if (port != plat::kNoPort) {
        plat::ClosePort(port);  // it was there a moment too late
    }
    view.Message(QStringLiteral("%1 (%2): %3")
                     .arg(name, device, QString::fromLocal8Bit(plat::PortErrorText(error))));
}

// True with the port open.
bool StartLink(ConsoleView& view) {
    CaptureMode = CaptureKind::Terminal;
    CommHandle = plat::kNoPort;
    ReadThread = new TRead(false);
    ReadThread->Start();
    OpenCommPort();
    if (CommHandle.load() == plat::kNoPort) {
        ReportPortReason(view);
        return false;
    }
    // An earlier run cut short by an interrupt leaves the instrument inside
    // a records transfer or a question, deaf to commands; this ends it.
    plat::TransmitCommChar(CommHandle, kBreakInByte);
    return true;
}

}  // namespace

int Run(const Options& options) {
    ApplyLineChoice(options);
    if (options.command == Command::Ports) {
        return ListPorts(FdSink(1));
    }
    ConsoleView view(FdSink(2), FdSink(1), options.quiet);
    plat::SetUi(std::make_unique<ConsoleUi>(view, options.file, options.yes));
    SetView(&view);
    int code = kExitPort;
    if (StartLink(view)) {
        code = ApplicationTerminated() ? kExitInterrupted : RunInstrumentCommand(view, options);
    }
    CloseCommPort();
    view.Finish();
    SetView(nullptr);
    plat::SetUi(nullptr);
    return ApplicationTerminated() ? int(kExitInterrupted) : code;
}

}  // namespace ventaro::cli
