#include "app/application.h"

int main(int argc, char** argv) {
    ventaro::VentaroApplication app(argc, argv);
    if (ventaro::SignalRunningInstance()) {
        return 0;
    }
    return ventaro::RunVentaro(app);
}
