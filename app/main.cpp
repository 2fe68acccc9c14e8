#include "ConfigApp.h"

int main(int argc, char **argv) {
    return tavrenode::ConfigApp().run(argc, argv);
}
