#include "WindowMenu.h"

#include <QShortcut>
#include <QWidget>

namespace tavrenode {

void installShortcuts(QWidget &window, const std::vector<WindowCommand> &commands) {
    for (const WindowCommand &command : commands) {
        if (!command.shortcut.isEmpty())
            QObject::connect(new QShortcut(command.shortcut, &window), &QShortcut::activated,
                             &window, command.run);
    }
}

} // namespace tavrenode
