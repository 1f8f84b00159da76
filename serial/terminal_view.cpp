#include "serial/terminal_view.h"

#include <atomic>

namespace ventaro {
namespace {
TerminalView* view = nullptr;
// Written from a signal handler by the command-line tool.
std::atomic<bool> terminated{false};
}  // namespace

TerminalView* View() {
    return view;
}
void SetView(TerminalView* v) {
    view = v;
}

bool ApplicationTerminated() {
    return terminated.load();
}
void SetApplicationTerminated(bool value) {
    terminated = value;
}

}  // namespace ventaro
