// tavrenode-config as it ships, with the first-paint probe on its window.
#include "ConfigApp.h"
#include "ConfigDialog.h"
#include "FirstPaintProbe.h"

int main(int argc, char **argv) {
    tavrenode::ConfigApp app(argc, argv);
    if (app.window())
        tavrenode::FirstPaintProbe::install(*app.window());
    return app.run();
}
