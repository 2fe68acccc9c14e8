#include "AboutMenu.h"
#include "FormTemplates.h"
#include "TextView.h"

#include <QContextMenuEvent>
#include <QMenu>
#include <QWidget>

namespace tavrenode {

namespace {

// A right click that no control took reaches the window itself.
class BackgroundMenu final : public QObject {
public:
    BackgroundMenu(QWidget &window, std::function<void()> showAbout)
        : QObject(&window)
        , m_window(window)
        , m_showAbout(std::move(showAbout)) {}

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched != &m_window || event->type() != QEvent::ContextMenu)
            return false;
        QMenu menu(&m_window);
        menu.addAction(toQString(strings::kAboutMenuItem), this, [this] { m_showAbout(); });
        menu.exec(static_cast<QContextMenuEvent *>(event)->globalPos());
        return true;
    }

private:
    QWidget &m_window;
    std::function<void()> m_showAbout;
};

} // namespace

void installAboutMenu(QWidget &window, std::function<void()> showAbout) {
    window.installEventFilter(new BackgroundMenu(window, std::move(showAbout)));
}

} // namespace tavrenode
