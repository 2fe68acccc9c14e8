#include "SettingsCheck.h"

#include "TextView.h"

using namespace Qt::StringLiterals;

namespace tavrenode {

void normaliseBoxes(ModuleSettings &settings) {
    for (const ProfileKey &key : kProfileKeys) {
        if (key.kind != ProfileValue::Box)
            continue;
        std::int32_t &state = settings.*key.number;
        if (state < 0 || state > 2)
            state = 0;
    }
}

std::optional<SettingsProblem> checkSettings(const ModuleSettings &settings, PortUse port) {
    for (const ProfileKey &key : kProfileKeys) {
        if (key.kind != ProfileValue::ListLine && key.kind != ProfileValue::BaudRate)
            continue;
        const std::int32_t index = settings.*key.number;
        if (index < 0 || std::size_t(index) >= key.lines.size())
            return SettingsProblem{&key, SettingsFault::NoListLine, index};
    }
    for (const ProfileKey &key : kProfileKeys) {
        if (key.kind != ProfileValue::Text)
            continue;
        const qsizetype length = (settings.*key.text).size();
        if (length < key.minLength)
            return SettingsProblem{&key, SettingsFault::EmptyText, std::int32_t(length)};
        if (length > key.maxLength)
            return SettingsProblem{&key, SettingsFault::TextTooLong, std::int32_t(length)};
    }
    if (port == PortUse::Used) {
        for (const ProfileKey &key : kProfileKeys) {
            if (key.kind == ProfileValue::Port && !isPortNumber(settings.*key.number))
                return SettingsProblem{&key, SettingsFault::NoPort, settings.*key.number};
        }
    }
    return std::nullopt;
}

QString textProblem(const ProfileKey &key, qsizetype length) {
    if (length < key.minLength)
        return u"the %1 must not be empty"_s.arg(toQString(key.what));
    if (length > key.maxLength)
        return u"the %1 is %2 characters long; the module takes at most %3"_s
            .arg(toQString(key.what))
            .arg(length)
            .arg(key.maxLength);
    return {};
}

QString describeProblem(const SettingsProblem &problem) {
    const ProfileKey &key = *problem.key;
    const QString name = toQString(key.name);
    switch (problem.fault) {
    case SettingsFault::NoListLine:
        return u"%1: no line of the %2 list is chosen (the value is %3)"_s.arg(
            name, toQString(key.what).toLower(), QString::number(problem.value));
    case SettingsFault::EmptyText:
    case SettingsFault::TextTooLong:
        return name + u": "_s + textProblem(key, problem.value);
    case SettingsFault::NoPort:
        return u"%1: the %2 is %3; ports are numbered from %4"_s.arg(name, toQString(key.what))
            .arg(problem.value)
            .arg(kFirstPort);
    }
    return {};
}

} // namespace tavrenode
