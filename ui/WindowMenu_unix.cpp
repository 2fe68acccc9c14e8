#include "WindowMenu.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWidget>

namespace tavrenode {

namespace {

// A right click that no control took reaches the window itself.
class BackgroundMenu final : public QObject {
public:
    BackgroundMenu(QWidget &window, std::vector<WindowCommand> commands)
        : QObject(&window)
        , m_window(window)
        , m_commands(std::move(commands)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != &m_window || event->type() != QEvent::ContextMenu)
            return false;
        QMenu menu(&m_window);
        for (const WindowCommand &command : m_commands) {
            if (command.text.isEmpty())
                menu.addSeparator();
            else
                menu.addAction(command.text, this, command.run)->setShortcut(command.shortcut);
        }
        menu.exec(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }

private:
    QWidget &m_window;
    std::vector<WindowCommand> m_commands;
};

} // namespace

void installWindowMenu(QWidget &window, std::vector<WindowCommand> commands) {
    installShortcuts(window, commands);
    window.installEventFilter(new BackgroundMenu(window, std::move(commands)));
}

} // namespace tavrenode
