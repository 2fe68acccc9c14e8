#include "AboutMenu.h"
#include "FormTemplates.h"
#include "TextView.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWidget>
#include <qt_windows.h>

namespace tavrenode {

namespace {

// The About item's command in the window's system menu.
constexpr UINT kAboutCommand = 0x0010;

class SystemMenuItem final : public QObject, public QAbstractNativeEventFilter {
public:
    SystemMenuItem(QWidget &window, std::function<void()> showAbout)
        : QObject(&window)
        , m_window(window)
        , m_showAbout(std::move(showAbout)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~SystemMenuItem() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    SystemMenuItem(const SystemMenuItem &) = delete;
    SystemMenuItem &operator=(const SystemMenuItem &) = delete;

    bool nativeEventFilter(const QByteArray & /*eventType*/, void *message,
                           qintptr *result) override {
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_SYSCOMMAND || (msg->wParam & 0xFFF0) != kAboutCommand ||
            msg->hwnd != reinterpret_cast<HWND>(m_window.winId()))
            return false;
        m_showAbout();
        *result = 0;
        return true;
    }

private:
    QWidget &m_window;
    std::function<void()> m_showAbout;
};

} // namespace

void installAboutMenu(QWidget &window, std::function<void()> showAbout) {
    if (HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE)) {
        const QString item = toQString(strings::kAboutMenuItem);
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, kAboutCommand, reinterpret_cast<LPCWSTR>(item.utf16()));
    }
    new SystemMenuItem(window, std::move(showAbout));
}

} // namespace tavrenode
