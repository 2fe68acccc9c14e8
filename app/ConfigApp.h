#pragma once

#include <memory>

namespace tavrenode {

class ConfigDialog;

// The application: prepares the platform, names the settings store after the running
// executable and builds the configuration window; run() shows it until it closes.
class ConfigApp {
public:
    ConfigApp(int &argc, char **argv);
    ~ConfigApp();
    ConfigApp(const ConfigApp &) = delete;
    ConfigApp &operator=(const ConfigApp &) = delete;

    // The window, or null when the platform could not be prepared (the user has been told).
    [[nodiscard]] ConfigDialog *window() const;
    // The process's exit code.
    int run();

private:
    struct Parts;
    std::unique_ptr<Parts> m_parts;
};

} // namespace tavrenode
