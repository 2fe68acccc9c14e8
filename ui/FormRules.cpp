#include "FormRules.h"

#include "ComPortText.h"
#include "ListLabels.h"
#include "SettingsCheck.h"
#include "TextView.h"
#include "TransferMessages.h"

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

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
    normaliseBoxes(settings);
    FormValues form;
    for (std::size_t i = 0; i < kFormExchange.size(); ++i) {
        const ExchangeEntry &entry = kFormExchange[i];
        ControlValue &value = form[i];
        switch (entry.kind) {
        case ExchangeKind::ListIndex: {
            const std::int32_t index = settings.*entry.number;
            value.number = lineAt(settingList(entry.number)->lines, index).empty() ? -1 : index;
            break;
        }
        case ExchangeKind::Box:
            value.number = settings.*entry.number;
            break;
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
    states.program = isPortNumber(settings.comPort);
    return states;
}

std::optional<FormRefusal> programmingRefusal(const ModuleSettings &settings, PortUse ports) {
    const std::optional<SettingsProblem> problem = checkSettings(settings, ports);
    if (!problem)
        return std::nullopt;
    const ProfileKey &key = *problem->key;
    const int control = key.number ? controlOf(key.number) : controlOf(key.text);
    switch (problem->fault) {
    case SettingsFault::NoListLine:
        return FormRefusal{u"Please choose a line in the \"%1\" list before programming."_s.arg(
                               toQString(settingList(key.number)->name)),
                           control};
    case SettingsFault::EmptyText:
        return FormRefusal{zeroLengthPinMessage(), -1};
    case SettingsFault::TextTooLong:
        return FormRefusal{u"Please enter no more than %1 characters."_s.arg(key.maxLength),
                           control};
    case SettingsFault::NoPort:
        // The button is disabled below port 1, so only a caller other than the button gets here.
        return FormRefusal{u"Please enter a port number from %1."_s.arg(kFirstPort), control};
    }
    return std::nullopt;
}

QString runStatusText(const TransferOutcome &outcome, const QTime &at) {
    if (!outcome.programmed()) {
        QString reason = failureMessage(outcome).text;
        if (reason.endsWith(u':') || reason.endsWith(u'.'))
            reason.chop(1);
        return u"Not programmed: "_s + reason;
    }
    const QString device = outcome.target.endsWith(outcome.link)
                               ? outcome.link
                               : u"%1 (%2)"_s.arg(outcome.link, outcome.target);
    return u"Programmed %1 at %2."_s.arg(device, at.toString(u"HH:mm:ss"_s));
}

} // namespace tavrenode
