#pragma once

#include <functional>

class QWidget;

namespace tavrenode {

// Offers the About item where the platform's users look for a window's own commands: in
// the window's system menu on Windows; on desktops that give a program no menu of its own,
// in a context menu on the form's background.
void installAboutMenu(QWidget &window, std::function<void()> showAbout);

} // namespace tavrenode
