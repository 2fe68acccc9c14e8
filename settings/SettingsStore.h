#pragma once

#include "ModuleSettings.h"

#include <QString>

namespace tavrenode {

// Remembers the last-used settings per user, under
//   <company>/<application name>/"Tavrenode Prog"/<entry>.
// On Windows that is HKEY_CURRENT_USER\Software\...; elsewhere QSettings' native per-user
// file, $XDG_CONFIG_HOME/<company>/<application name>.conf, kept private to its owner (it
// holds the PIN) and replaced atomically on every save.
//
// Failures are not reported: an entry that cannot be read takes its default, a save that
// cannot be written leaves the previous store as it was.
class SettingsStore {
public:
    static constexpr auto kCompany = u"Tavrenode Config";
    static constexpr auto kSection = u"Tavrenode Prog";

    SettingsStore(QString company, QString application);

    // Reads every entry into settings; absent or unreadable entries take their defaults.
    // Values are passed on unchecked: an index outside its list stays as it is.
    void load(ModuleSettings &settings) const;
    // The same for another program that only looks: the store is neither created nor made
    // private, and nothing in it changes.
    void read(ModuleSettings &settings) const;
    void save(const ModuleSettings &settings) const;

    // Where the store lives: a file path, or a registry path on Windows.
    [[nodiscard]] QString location() const;

    // The settings a first run opens with.
    [[nodiscard]] static ModuleSettings defaults();

private:
    QString m_company;
    QString m_application;
};

// The running executable's file name without its directory and extension, which names the
// store, so a renamed copy of the tool keeps settings of its own.
[[nodiscard]] QString applicationNameFromExecutable(const QString &executablePath);

} // namespace tavrenode
