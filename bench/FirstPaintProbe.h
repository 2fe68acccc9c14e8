#pragma once

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace tavrenode {

// For the start-up benchmark's programs: the window reports when its first paint is
// complete, as
//   first-paint <steady clock in ns> <width>x<height> <widgets> <children>
// on standard output, and the process ends there: <widgets> counts every widget inside the
// window, <children> lists its direct children by class, as QCheckBox=15,QComboBox=6,...
class FirstPaintProbe final : public QObject {
public:
    static void install(QWidget &window) { window.installEventFilter(new FirstPaintProbe(window)); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (watched == &m_window && event->type() == QEvent::Paint && !m_seen) {
            m_seen = true;
            // The window paints its children in the same pass; report once it has ended.
            QTimer::singleShot(0, this, [this] { report(); });
        }
        return false;
    }

private:
    explicit FirstPaintProbe(QWidget &window)
        : QObject(&window)
        , m_window(window) {}

    void report() const {
        // The steady clock is the system's monotonic clock, which the benchmark reads too.
        const auto now = std::chrono::steady_clock::now().time_since_epoch();
        std::map<std::string, int> children;
        for (const QWidget *child : m_window.findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
            ++children[child->metaObject()->className()];
        std::string census;
        for (const auto &[name, count] : children)
            census += (census.empty() ? "" : ",") + name + "=" + std::to_string(count);
        std::printf("first-paint %lld %dx%d %lld %s\n",
                    static_cast<long long>(
                        std::chrono::duration_cast<std::chrono::nanoseconds>(now).count()),
                    m_window.width(), m_window.height(),
                    static_cast<long long>(m_window.findChildren<QWidget *>().size()),
                    census.c_str());
        std::fflush(stdout);
        std::_Exit(0);
    }

    QWidget &m_window;
    bool m_seen = false;
};

} // namespace tavrenode
