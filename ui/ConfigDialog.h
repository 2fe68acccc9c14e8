#pragma once

#include "BlockProtocol.h"
#include "ConfigRecord.h"
#include "FormBuilder.h"
#include "ModuleSettings.h"
#include "ProgrammingTransfer.h"

#include <functional>
#include <optional>

#include <QDialog>

namespace tavrenode {

class BluetoothLinks;
class HelpLauncher;
class LinkFactory;
class ModuleLink;
class MessageSink;
class ProfileFileChooser;
class SettingsStore;
struct BluetoothTarget;
struct FormRefusal;

// The window's shortcut to "Program over Bluetooth...".
inline constexpr QKeyCombination kBluetoothShortcut{Qt::CTRL | Qt::Key_B};

// What the window works with, handed in so that tests can replace each one.
struct ConfigServices {
    MessageSink &messages;
    const LinkFactory &links; // what the port number leads to
    HelpLauncher &help;
    const SettingsStore &store;
    ProfileFileChooser &profiles;
    std::chrono::milliseconds portTimeout = kPortTimeout;
    // Links straight over Bluetooth, looked up when first used; none where the system has
    // them not, and then the window offers no Bluetooth command.
    std::function<const BluetoothLinks *()> bluetooth = {};
};

// The tool's one window: every module setting on one form, the COM port box and the
// programming button. It owns the settings and the record buffer for its whole life, fills
// the form from the store when it opens and saves it on Close and before programming.
class ConfigDialog final : public QDialog {
    Q_OBJECT

public:
    explicit ConfigDialog(const ConfigServices &services, QWidget *parent = nullptr);

    [[nodiscard]] const ModuleSettings &settings() const { return m_settings; }
    [[nodiscard]] const ConfigRecord &record() const { return m_record; }

    void showAbout();

    // The profile commands: save asks for a file and writes the form's settings to it; load
    // puts a profile's settings into the form, keeping what the profile leaves out. Both
    // read the form first and do nothing when it is refused.
    void saveProfile();
    void chooseProfileToLoad();
    void loadProfile(const QString &path);

    // "Program over Bluetooth...": the dialog that picks a module and programs it.
    void showBluetooth();
    // The programming button's run, over Bluetooth to target: the form read and checked (no
    // port needed), the store saved, the messages and the status line as for a port. None
    // when the form was refused.
    std::optional<TransferOutcome> programOverBluetooth(const BluetoothTarget &target);

    // Close, Escape and the close box: read the form, save, close.
    void reject() override;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    // A profile file dropped anywhere on the window loads, the edit boxes included; other
    // drags (text into an edit box) work as they always did.
    bool eventFilter(QObject *watched, QEvent *event) override;
    bool event(QEvent *event) override;
    // A new palette (a dark theme chosen meanwhile) recolours the status line.
    void changeEvent(QEvent *event) override;

private:
    static void fillLists(Form &form);
    void writeForm();
    // False when a control's value is not acceptable: its message has been shown and the
    // focus is on it; fields of earlier controls are already updated.
    bool readForm();
    // Shows why the form was refused and takes the user to the control concerned.
    void refuse(const FormRefusal &refusal);
    void applyEnablingRule();
    void formChanged();
    void program();
    // Programs the module through link, then shows the messages and the status line.
    TransferOutcome runOn(ModuleLink &link);
    void showRunStatus(const TransferOutcome &outcome);
    void colourRunStatus();
    void okCommand();
    bool takeProfileDrop(QEvent *event);

    ConfigServices m_services;
    Form m_form;
    ModuleSettings m_settings;
    ConfigRecord m_record{};
    ProgrammingTransfer m_transfer;
    bool m_exchanging = false; // the form's own change notifications are ignored meanwhile
    std::optional<bool> m_lastRunProgrammed; // what the status line shows, once a run ended
};

} // namespace tavrenode
