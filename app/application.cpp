#include "app/application.h"

#include "about/about_dialog.h"
#include "app/main_window.h"
#include "platform/ui_services.h"
#include "serial/comm_port.h"
#include "serial/comm_properties.h"
#include "serial/receive_thread.h"
#include "serial/serial_state.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>

#include <unistd.h>
#include <exception>

namespace ventaro {
namespace {

const QByteArray kShowRequest = "show\n";

void ListenForSecondStarts(QLocalServer& server) {
    const QString path = InstanceSocketPath();
    QLocalServer::removeServer(path);
    server.setSocketOptions(QLocalServer::UserAccessOption);
    if (!server.listen(path)) {
        return;  // no guard, but the program still runs
    }
    QObject::connect(&server, &QLocalServer::newConnection, &server, [&server] {
        while (QLocalSocket* peer = server.nextPendingConnection()) {
            QObject::connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            if (MainForm) {
                MainForm->RestoreAndRaise();
            }
        }
    });
}

}  // namespace

QString WithFullStop(const QString& text) {
    if (!text.isEmpty() && text.back() > QLatin1Char('.')) {
        return text + QLatin1Char('.');
    }
    return text;
}

QString InstanceSocketPath() {
    QString dir = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (dir.isEmpty() || !QDir(dir).exists()) {
        dir = QDir::tempPath();
    }
    return dir + QStringLiteral("/ventaro-%1.sock").arg(::getuid());
}

VentaroApplication::VentaroApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName(QStringLiteral("Ventaro"));
    setApplicationDisplayName(QStringLiteral("Ventaro"));
    setApplicationVersion(QStringLiteral("0.15 Beta"));
    setDesktopFileName(QStringLiteral("ventaro"));
}

bool VentaroApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& error) {
        plat::Ui().ErrorBox(WithFullStop(QString::fromUtf8(error.what())));
    }
    return false;
}

bool SignalRunningInstance() {
    QLocalSocket socket;
    socket.connectToServer(InstanceSocketPath());
    if (!socket.waitForConnected(1000)) {
        return false;
    }
    socket.write(kShowRequest);
    socket.waitForBytesWritten(1000);
    socket.disconnectFromServer();
    return true;
}

TMainForm* CreateForms() {
    auto* form = new TMainForm();
    form->FormCreate();
    // The dialog copies the indices the main window has just loaded.
    PropDlg = new TPropDlg(form);
    PropDlg->FormCreate();
    AboutDlg = new TAboutDlg(form);
    return form;
}

int RunVentaro(VentaroApplication& app) {
    QLocalServer guard;
    ListenForSecondStarts(guard);
    try {
        TMainForm* form = CreateForms();
        app.exec();
        ShutDownAfterExit();
        delete form;  // and the dialogs it owns
        MainForm = nullptr;
        PropDlg = nullptr;
        AboutDlg = nullptr;
    } catch (const std::exception& error) {
        plat::Ui().ErrorBox(WithFullStop(QString::fromUtf8(error.what())));
    }
    return 0;
}

void ShutDownAfterExit() {
    StopReadThread();
}

}  // namespace ventaro
