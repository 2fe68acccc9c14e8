#pragma once

#include "DeviceTypeTable.h"
#include "FormExchange.h"
#include "ModuleSettings.h"
#include "ProgrammingTransfer.h"

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

// What stops a programming run once the form has been read: a list without a selected line
// (the module would get a code it does not know), or an empty PIN.
[[nodiscard]] std::optional<FormRefusal> programmingRefusal(const ModuleSettings &settings);

// What the window says of the last programming run, in the group that starts it: the port,
// the device behind it where that is not the port's own name, and the time; or why not.
[[nodiscard]] QString runStatusText(const TransferOutcome &outcome, std::int32_t port,
                                    const QTime &at);

} // namespace tavrenode
