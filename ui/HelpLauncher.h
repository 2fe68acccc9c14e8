#pragma once

#include <QString>

namespace tavrenode {

// Opens the tool's help at one topic. Tests put a recorder in its place.
class HelpLauncher {
public:
    virtual ~HelpLauncher() = default;
    // False when no viewer could be started.
    [[nodiscard]] virtual bool showTopic(unsigned topic) = 0;
    // Where the help is, for a user to open by hand; empty when there is none.
    [[nodiscard]] virtual QString location() const { return {}; }
};

// The HTML help page in the desktop's browser, at the anchor "topic-0x<topic in hex>".
class DesktopHelpLauncher final : public HelpLauncher {
public:
    explicit DesktopHelpLauncher(QString helpFile);
    [[nodiscard]] bool showTopic(unsigned topic) override;
    [[nodiscard]] QString location() const override { return m_helpFile; }

private:
    QString m_helpFile;
};

// The help page for the running executable: beside it, named after it (as in a build tree or
// on Windows), or where `cmake --install` puts it. Empty when there is none.
[[nodiscard]] QString findHelpFile(const QString &executablePath);

} // namespace tavrenode
