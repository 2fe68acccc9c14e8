#pragma once

#include <functional>
#include <vector>

#include <QKeySequence>
#include <QString>

class QWidget;

namespace tavrenode {

// One of the window's own commands: its menu text, or none for a separator.
struct WindowCommand {
    QString text;
    std::function<void()> run;
    QKeySequence shortcut = {}; // works in the whole window, and the menu shows it
};

// Offers the window's own commands (the profiles, About) where the platform's users look for
// them: in the window's system menu on Windows; on desktops that give a program no menu of
// its own, in a context menu on the form's background.
// Both install the commands' shortcuts too.
void installWindowMenu(QWidget &window, std::vector<WindowCommand> commands);
void installShortcuts(QWidget &window, const std::vector<WindowCommand> &commands);

} // namespace tavrenode
