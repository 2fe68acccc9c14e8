#include "CommandLine.h"

#include "RunLoop.h"

#include <cstdio>

#include <QCommandLineParser>

using namespace Qt::StringLiterals;

namespace tavrenode::prog {

std::atomic<bool> g_cancel = false;

void out(const QString &text) {
    std::fputs(text.toUtf8().constData(), stdout);
}

void err(const QString &text) {
    std::fputs(text.toUtf8().constData(), stderr);
}

int fail(const QString &message) {
    err(u"tavrenode-prog: "_s + message + u'\n');
    return kBadInput;
}

std::optional<qint64> count(const QString &text, qint64 least, qint64 most) {
    bool ok = false;
    const qint64 value = text.toLongLong(&ok);
    if (!ok || value < least || value > most)
        return std::nullopt;
    return value;
}

void settingsOptions(QCommandLineParser &parser) {
    parser.addOptions({
        {u"defaults"_s, u"Start from the built-in defaults, not the window's last settings."_s},
        {u"profile"_s, u"Start from the defaults and this profile."_s, u"FILE"_s},
        {u"set"_s, u"Set one setting, as a profile line does (repeatable)."_s, u"KEY=VALUE"_s},
    });
}

std::variant<ModuleSettings, QString> commonSettings(QCommandLineParser &parser,
                                                     QList<Assignment> &sets) {
    if (parser.isSet(u"defaults"_s) && parser.isSet(u"profile"_s))
        return u"--defaults and --profile both say where to start; give one"_s;
    for (const QString &argument : parser.values(u"set"_s)) {
        auto parsed = parseSet(argument);
        if (const QString *fault = std::get_if<QString>(&parsed))
            return *fault;
        sets.append(std::get<Assignment>(parsed));
    }
    return baseSettings(!parser.isSet(u"defaults"_s), parser.value(u"profile"_s));
}

} // namespace tavrenode::prog
