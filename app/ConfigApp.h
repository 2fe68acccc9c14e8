#pragma once

namespace tavrenode {

// The application: prepares the platform, names the settings store after the running
// executable, runs the configuration window until it closes.
class ConfigApp {
public:
    int run(int argc, char **argv);
};

} // namespace tavrenode
