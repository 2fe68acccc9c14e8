#pragma once

#include "BluetoothLinks.h"
#include "ProgrammingTransfer.h"

#include <atomic>
#include <functional>
#include <optional>

#include <QDialog>

class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace tavrenode {

// "Program over Bluetooth...": the paired modules that offer a serial port, a search that
// adds the modules nearby as they appear, a PIN for pairing a new one, and a button that
// programs the chosen module with the window's current settings. The window does the
// programming (program); this dialog only says which module and how to pair it.
class BluetoothDialog final : public QDialog {
    Q_OBJECT

public:
    // What the window's run gave; none when the form was refused before anything was sent.
    using Program = std::function<std::optional<TransferOutcome>(const BluetoothTarget &)>;

    BluetoothDialog(const BluetoothLinks &links, Program program, const QString &lastAddress,
                    QWidget *parent = nullptr);
    ~BluetoothDialog() override;

    // The module programmed last, to offer first next time.
    [[nodiscard]] QString programmedAddress() const { return m_programmed; }

    // The search, for as long as BlueZ takes to find what is nearby; the dialog stays
    // usable meanwhile. Called again while it runs (the button says Stop then), it stops
    // it; Close ends it too.
    void findModules();
    void programChosen();

    void reject() override;

private:
    void listPaired();
    void add(const FoundModule &module);
    void choiceChanged();
    void setWorking(bool working);

    const BluetoothLinks &m_links;
    Program m_program;
    QString m_programmed;
    QTreeWidget *m_modules = nullptr;
    QPushButton *m_find = nullptr;
    QProgressBar *m_searching = nullptr;
    QLineEdit *m_pin = nullptr;
    QCheckBox *m_keepPaired = nullptr;
    QLabel *m_status = nullptr;
    QPushButton *m_programButton = nullptr;
    QPushButton *m_close = nullptr;
    std::atomic<bool> m_cancel = false;
    bool m_busy = false;
    bool m_searchRunning = false;
    bool m_closeWhenDone = false;
};

} // namespace tavrenode
