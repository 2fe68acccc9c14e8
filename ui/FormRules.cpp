#include "FormRules.h"

#include "ComPortText.h"
#include "TextView.h"

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

// How many lines the list with this control id holds.
qsizetype listSize(int control) {
    for (const ListContents &list : kShortLists) {
        if (list.id == control)
            return qsizetype(list.lines.size());
    }
    return qsizetype(kDeviceTypeTable.size());
}

QString listName(int control) {
    for (const ListContents &list : kShortLists) {
        if (list.id == control)
            return toQString(list.name);
    }
    return toQString(labels::kDeviceTypeName);
}

QString zeroLengthPinMessage() {
    return u"A zero-length PIN code is not permitted.\r\n"
           u"\r\n"
           u"To turn off PIN codes specify \""_s +
           toQString(labels::kSecurityModes[0]) +
           u"\" in the security mode box.\r\n"
           u"A PIN code always has to be specified because some remote devices    \r\n"
           u"insist on using security, even if you do not enable it on Tavrenode.    "_s;
}

} // namespace

FormValues formFromSettings(ModuleSettings &settings) {
    FormValues form;
    for (std::size_t i = 0; i < kFormExchange.size(); ++i) {
        const ExchangeEntry &entry = kFormExchange[i];
        ControlValue &value = form[i];
        switch (entry.kind) {
        case ExchangeKind::ListIndex: {
            const std::int32_t index = settings.*entry.number;
            value.number = index >= 0 && index < listSize(entry.id) ? index : -1;
            break;
        }
        case ExchangeKind::Box: {
            std::int32_t &stored = settings.*entry.number;
            if (stored < 0 || stored > 2)
                stored = 0;
            value.number = stored;
            break;
        }
        case ExchangeKind::Text:
            value.text = settings.*entry.text;
            break;
        case ExchangeKind::Integer:
            value.text = QString::number(settings.*entry.number);
            break;
        }
    }
    return form;
}

std::optional<FormRefusal> settingsFromForm(const FormValues &form, ModuleSettings &settings) {
    for (std::size_t i = 0; i < kFormExchange.size(); ++i) {
        const ExchangeEntry &entry = kFormExchange[i];
        const ControlValue &value = form[i];
        switch (entry.kind) {
        case ExchangeKind::ListIndex:
        case ExchangeKind::Box:
            settings.*entry.number = value.number;
            break;
        case ExchangeKind::Text:
            settings.*entry.text = value.text;
            if (value.text.size() > entry.limit)
                return FormRefusal{u"Please enter no more than %1 characters."_s.arg(entry.limit),
                                   entry.id};
            break;
        case ExchangeKind::Integer: {
            const std::optional<std::int32_t> number = parseComPort(value.text);
            if (!number)
                return FormRefusal{u"Please enter an integer."_s, entry.id};
            settings.*entry.number = *number;
            break;
        }
        }
    }
    return std::nullopt;
}

ControlStates controlEnablingRule(const ModuleSettings &settings) {
    ControlStates states;
    const DeviceType *row = deviceTypeAt(settings.deviceType);
    for (std::size_t i = 0; i < kSubTypeBits.size(); ++i)
        states.subTypes[i] = row && row->group == kSubTypeBits[i].group;
    states.program = settings.comPort > 0;
    return states;
}

std::optional<FormRefusal> programmingRefusal(const ModuleSettings &settings) {
    for (const ExchangeEntry &entry : kFormExchange) {
        if (entry.kind == ExchangeKind::ListIndex && settings.*entry.number < 0)
            return FormRefusal{u"Please choose a line in the \"%1\" list before programming."_s.arg(
                                   listName(entry.id)),
                               entry.id};
    }
    if (settings.pin.isEmpty())
        return FormRefusal{zeroLengthPinMessage(), -1};
    return std::nullopt;
}

QString runStatusText(const TransferOutcome &outcome, std::int32_t port, const QTime &at) {
    if (!outcome.programmed) {
        QString reason = outcome.failure;
        if (reason.endsWith(u':') || reason.endsWith(u'.'))
            reason.chop(1);
        return u"Not programmed: "_s + reason;
    }
    const QString name = u"COM%1"_s.arg(port);
    const QString device =
        outcome.device.endsWith(name) ? name : u"%1 (%2)"_s.arg(name, outcome.device);
    return u"Programmed %1 at %2."_s.arg(device, at.toString(u"HH:mm:ss"_s));
}

} // namespace tavrenode
