#pragma once

#include "DeviceTypeTable.h"
#include "FormExchange.h"
#include "ModuleSettings.h"
#include "ProgrammingTransfer.h"
#include "SettingsCheck.h"

#include <array>
#include <optional>

#include <QString>
#include <QTime>

namespace tavrenode {

// The form's rules, without its widgets: what the controls show for the settings, what the
// settings become from what the controls hold, which controls are enabled, and what stops
// a programming run before it starts. The window only applies their results.

// What one control holds, in kFormExchange order.
struct ControlValue {
    // A list's selected line (-1 for none); a box's state: 0 clear, 1 ticked, 2 neither.
    std::int32_t number = 0;
    QString text; // an edit box's text
    friend bool operator==(const ControlValue &, const ControlValue &) = default;
};
using FormValues = std::array<ControlValue, kFormExchange.size()>;

// Why the form was refused, and which control the user is taken to (-1 for none).
struct FormRefusal {
    QString message;
    int control = -1;
    friend bool operator==(const FormRefusal &, const FormRefusal &) = default;
};

// The form as the settings fill it. A box value other than 0, 1 or 2 is reset to 0 in the
// settings too; a list index outside its list selects no line.
[[nodiscard]] FormValues formFromSettings(ModuleSettings &settings);

// Reads the controls into the settings in table order, stopping at the first control whose
// value is not acceptable: the fields before it are updated (a text over its limit too),
// the later ones keep their values.
[[nodiscard]] std::optional<FormRefusal> settingsFromForm(const FormValues &form,
                                                          ModuleSettings &settings);

// Which of the dependent controls the form enables for the current settings.
struct ControlStates {
    // In the order of kSubTypeBits: a box is enabled only while the chosen device type
    // belongs to its group (the encoder ignores the others anyway).
    std::array<bool, kSubTypeBits.size()> subTypes{};
    bool program = false; // only for a port number above 0

    friend bool operator==(const ControlStates &, const ControlStates &) = default;
};

[[nodiscard]] ControlStates controlEnablingRule(const ModuleSettings &settings);

// How many characters a text box lets the user type. Written, a text is shown whole, so a
// longer one than the box takes (from an edited store) can shrink but not grow; a text that
// fits, written or read, gets the box's own limit back. Nothing when a read leaves it be.
[[nodiscard]] constexpr int typingLimitOnWrite(const ExchangeEntry &entry, qsizetype length) {
    return length > entry.limit ? int(length) : entry.limit;
}
[[nodiscard]] constexpr std::optional<int> typingLimitOnRead(const ExchangeEntry &entry,
                                                             qsizetype length) {
    return length <= entry.limit ? std::optional(entry.limit) : std::nullopt;
}

// What stops a programming run once the form has been read, in the window's words and with
// the control to take the user to: a list without a selected line (the module would get a
// code it does not know), an empty PIN, a text over its limit, no port.
// Over Bluetooth no port is used.
[[nodiscard]] std::optional<FormRefusal> programmingRefusal(const ModuleSettings &settings,
                                                            PortUse ports = PortUse::Used);

// What the window says of the last programming run, in the group that starts it: the link,
// the device behind it where that is not the link's own name, and the time; or why not.
[[nodiscard]] QString runStatusText(const TransferOutcome &outcome, const QTime &at);

} // namespace tavrenode
