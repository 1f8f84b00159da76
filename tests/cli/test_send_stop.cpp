// Send Pgm told to end midway (only the command-line tool's interrupt can
// do it): the send stops at the next byte and still gives everything back.
#include "device/program_send.h"
#include "serial/receive_thread.h"
#include "serial/serial_state.h"
#include "tests/cli/cli_fixture.h"
#include "tests/support/app_harness.h"

#include <thread>

namespace ventaro::testing {
namespace {

TEST(SendStop, EndsAtTheNextByteAndRunsTheClosingSteps) {
    AppHarness app;
    app.Start();
    ASSERT_TRUE(app.sim.WaitForReceived(1, 5s));
    const QString path = app.home.Path("long.pgm");
    WriteFile(path, QByteArray(300, 'X'));
    app.ui->files.push_back(path);
    std::thread stopper([&] {
        app.sim.WaitFor([&] { return app.sim.StoredProgram().size() >= 10; }, 30s);
        SetApplicationTerminated(true);
    });
    TransferOutcome outcome = RunProgramSend();
    stopper.join();
    const size_t stored = app.sim.StoredProgram().size();
    SetApplicationTerminated(false);
    EXPECT_EQ(outcome, TransferOutcome::Interrupted);
    EXPECT_GE(stored, 10u);
    EXPECT_LE(stored, 12u);  // the byte under way when told, and no more
    // The closing steps: the port back with the receive thread, the window as before.
    EXPECT_EQ(PortReady.load(), 1);
    EXPECT_FALSE(ReadThread->Suspended());
    EXPECT_TRUE(app.form->Memo1->isEnabled());
    EXPECT_EQ(app.Panel(2), " ");
    EXPECT_EQ(app.ui->beeps, 1);
    app.sim.Send(Bytes("after"));
    EXPECT_TRUE(WaitUntil([&] { return app.TerminalText().endsWith("after"); }));
}

}  // namespace
}  // namespace ventaro::testing
