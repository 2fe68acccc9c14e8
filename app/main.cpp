#include "ConfigApp.h"

int main(int argc, char **argv) {
    tavrenode::ConfigApp app(argc, argv);
    return app.run();
}
