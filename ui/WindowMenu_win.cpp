#include "WindowMenu.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QWidget>
#include <qt_windows.h>

namespace tavrenode {

namespace {

// The commands' identifiers in the system menu: multiples of 16 (Windows keeps the low four
// bits) below the system's own, which start at 0xF000.
constexpr UINT kFirstCommand = 0x0010;
constexpr UINT kCommandStep = 0x0010;

class SystemMenuItems final : public QObject, public QAbstractNativeEventFilter {
public:
    SystemMenuItems(QWidget &window, std::vector<WindowCommand> commands)
        : QObject(&window)
        , m_window(window)
        , m_commands(std::move(commands)) {
        QCoreApplication::instance()->installNativeEventFilter(this);
    }
    ~SystemMenuItems() override { QCoreApplication::instance()->removeNativeEventFilter(this); }
    SystemMenuItems(const SystemMenuItems &) = delete;
    SystemMenuItems &operator=(const SystemMenuItems &) = delete;

    bool nativeEventFilter(const QByteArray & /*eventType*/, void *message,
                           qintptr *result) override {
        const MSG *msg = static_cast<const MSG *>(message);
        if (msg->message != WM_SYSCOMMAND || msg->hwnd != reinterpret_cast<HWND>(m_window.winId()))
            return false;
        const UINT command = UINT(msg->wParam & 0xFFF0);
        if (command < kFirstCommand || command >= kFirstCommand + kCommandStep * m_commands.size())
            return false;
        const WindowCommand &chosen = m_commands[(command - kFirstCommand) / kCommandStep];
        if (!chosen.run)
            return false;
        chosen.run();
        *result = 0;
        return true;
    }

private:
    QWidget &m_window;
    std::vector<WindowCommand> m_commands;
};

} // namespace

void installWindowMenu(QWidget &window, std::vector<WindowCommand> commands) {
    installShortcuts(window, commands);
    if (HMENU menu = GetSystemMenu(reinterpret_cast<HWND>(window.winId()), FALSE)) {
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        UINT id = kFirstCommand;
        for (const WindowCommand &command : commands) {
            if (command.text.isEmpty())
                AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            else
                AppendMenuW(menu, MF_STRING, id, reinterpret_cast<LPCWSTR>(command.text.utf16()));
            id += kCommandStep;
        }
    }
    new SystemMenuItems(window, std::move(commands));
}

} // namespace tavrenode
