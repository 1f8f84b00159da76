#include "app/application.h"
#include "app/version.h"

#include <QIcon>

#include <cstdio>
#include <cstring>

namespace {

bool AskedForVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--version") == 0) {
            return true;
        }
    }
    return false;
}

void PrintVersion() {
    using namespace ventaro::version;
    std::printf("%s %s\n", kProductName, kProductVersion);
    std::printf("%s (%s), file version %s\n", kFileDescription, kInternalName, kFileVersion);
    std::printf("%s\n", kLegalCopyright);
}

}  // namespace

int main(int argc, char** argv) {
    // Answered before the application object exists: it needs no display and
    // must not touch the settings, the instance guard or the port.
    if (AskedForVersion(argc, argv)) {
        PrintVersion();
        return 0;
    }
    ventaro::VentaroApplication app(argc, argv);
    app.setWindowIcon(QIcon(QStringLiteral(":/ventaro/ventaro.png")));
    if (ventaro::SignalRunningInstance()) {
        return 0;
    }
    return ventaro::RunVentaro(app);
}
