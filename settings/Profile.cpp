#include "Profile.h"

#include "SettingsCheck.h"
#include "TextView.h"

#include <algorithm>
#include <array>
#include <limits>
#include <string_view>
#include <vector>

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

constexpr std::string_view kFormatKey = "format";

// Written at the top of every profile: what the file is and how to edit it, the quoting
// rule included, for the person who opens it without this tool at hand.
constexpr std::string_view kHeader =
    R"(# Settings for a Tavrenode module, written by %1.
# One "key = value" per line; a line starting with # or ; is a comment. A key left out keeps
# the value it had before loading, so a file may hold only the settings it changes.
# Lists take a line as the form shows it (in any case) or its number from 0, the baud rate
# its number, boxes yes or no. "port = N" may choose the COM port; it is never written here.
# A text is taken as it stands, without the blanks around it; a # or ; in it is part of it.
# A text in double quotes is taken exactly: in it, \" is a quote, \\ a backslash, \t a tab,
# \n and \r line breaks, and \uXXXX the UTF-16 code unit XXXX (four hexadecimal digits).
)";

QString quoted(QStringView text) {
    return u'"' + text.toString() + u'"';
}

// A whole number of digits only, as profiles write them (no sign, no blanks).
std::optional<std::int32_t> parseCount(QStringView text) {
    if (text.isEmpty() || text.size() > 10)
        return std::nullopt;
    qint64 value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

// Lines match as a person would type them: any case, blanks around them or doubled inside
// ignored (the master/slave lines have two spaces after their first full stop).
bool sameLine(QStringView given, std::string_view line) {
    return given.toString().simplified().compare(toQString(line).simplified(),
                                                 Qt::CaseInsensitive) == 0;
}

// The baud rate a line of the baud list names: "9600 baud" is 9600.
std::int32_t baudOf(std::string_view line) {
    return parseCount(toQString(line.substr(0, line.find(' ')))).value_or(-1);
}

bool isHexDigit(QChar c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

bool isControl(QChar c) {
    return c.unicode() < 0x20 || c.unicode() == 0x7F;
}

// Characters a bare value cannot carry, or that editors take for line breaks.
bool needsEscape(QChar c) {
    return isControl(c) || c == QChar(0x85) || c == QChar(0x2028) || c == QChar(0x2029);
}

QString unicodeEscape(QChar c) {
    return u"\\u"_s + QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
}

bool hasLoneSurrogate(QStringView text, qsizetype at) {
    const QChar c = text[at];
    if (c.isHighSurrogate())
        return at + 1 >= text.size() || !text[at + 1].isLowSurrogate();
    if (c.isLowSurrogate())
        return at == 0 || !text[at - 1].isHighSurrogate();
    return false;
}

bool needsQuotes(QStringView text) {
    if (text.isEmpty() || text.front().isSpace() || text.back().isSpace() || text.front() == u'"')
        return true;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (needsEscape(text[i]) || hasLoneSurrogate(text, i))
            return true;
    }
    return false;
}

QString profileText(QStringView text) {
    if (!needsQuotes(text))
        return text.toString();
    QString out = u"\""_s;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'"' || c == u'\\')
            out += u'\\' + c;
        else if (c == u'\t')
            out += u"\\t"_s;
        else if (c == u'\n')
            out += u"\\n"_s;
        else if (c == u'\r')
            out += u"\\r"_s;
        else if (needsEscape(c) || hasLoneSurrogate(text, i))
            out += unicodeEscape(c);
        else
            out += c;
    }
    return out + u'"';
}

struct Unquoted {
    QString value;
    QString fault; // set when the value could not be read
};

// A value as the line holds it: a bare text without its surrounding blanks, or a quoted one
// with its escapes resolved.
Unquoted unquote(QStringView raw) {
    const QStringView value = raw.trimmed();
    if (!value.startsWith(u'"')) {
        for (const QChar c : value) {
            if (c != u'\t' && isControl(c))
                return {{},
                        u"the value holds the control character %1; write the text in "
                        u"double quotes with %1 for it"_s.arg(unicodeEscape(c))};
        }
        return {value.toString(), {}};
    }
    QString text;
    for (qsizetype i = 1; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'"') {
            if (i + 1 != value.size())
                return {{},
                        u"the text goes on after its closing quote: %1"_s.arg(
                            value.mid(i + 1).trimmed().toString())};
            return {text, {}};
        }
        if (c != u'\t' && isControl(c))
            return {{},
                    u"the text holds the control character %1; write %1 for it"_s.arg(
                        unicodeEscape(c))};
        if (c != u'\\') {
            text += c;
            continue;
        }
        const QChar next = i + 1 < value.size() ? value[i + 1] : QChar();
        i += 1;
        if (next == u'"' || next == u'\\') {
            text += next;
        } else if (next == u't') {
            text += u'\t';
        } else if (next == u'n') {
            text += u'\n';
        } else if (next == u'r') {
            text += u'\r';
        } else if (next == u'u') {
            const QStringView digits = value.mid(i + 1, 4);
            bool ok = digits.size() == 4 && std::all_of(digits.begin(), digits.end(), isHexDigit);
            const ushort unit = ok ? digits.toUShort(&ok, 16) : 0;
            if (!ok)
                return {{}, u"\\u takes four hexadecimal digits, as in \\u00E9"_s};
            text += QChar(unit);
            i += 4;
        } else {
            return {
                {},
                u"\\%1 is not an escape the format knows; a backslash is written \\\\"_s.arg(next)};
        }
    }
    return {{}, u"the text has no closing quote"_s};
}

// Edits that turn one word into the other (insert, delete, substitute one character).
qsizetype editDistance(QStringView a, QStringView b) {
    std::vector<qsizetype> row(static_cast<std::size_t>(b.size()) + 1);
    for (std::size_t j = 0; j < row.size(); ++j)
        row[j] = qsizetype(j);
    for (qsizetype i = 1; i <= a.size(); ++i) {
        qsizetype diagonal = row[0];
        row[0] = i;
        for (qsizetype j = 1; j <= b.size(); ++j) {
            const qsizetype above = row[std::size_t(j)];
            const qsizetype cost = a[i - 1].toCaseFolded() == b[j - 1].toCaseFolded() ? 0 : 1;
            row[std::size_t(j)] =
                std::min({above + 1, row[std::size_t(j - 1)] + 1, diagonal + cost});
            diagonal = above;
        }
    }
    return row.back();
}

QString withoutSeparators(QStringView name) {
    QString out = name.toString().toCaseFolded();
    out.removeIf([](QChar c) { return c == u'-' || c == u'_' || c.isSpace(); });
    return out;
}

QString listReason(const ProfileKey &key, QStringView value) {
    return u"%1 is not a line of the %2 list; give one as the form shows it, or its number "
           u"from 0 to %3"_s.arg(quoted(value), toQString(key.what).toLower())
               .arg(key.lines.size() - 1);
}

} // namespace

QString ProfileError::describe() const {
    if (line <= 0)
        return reason;
    if (key.isEmpty())
        return u"Line %1: %2"_s.arg(line).arg(reason);
    return u"Line %1, key %2: %3"_s.arg(line).arg(quoted(key), reason);
}

const ProfileKey *findProfileKey(QStringView name) {
    const QStringView trimmed = name.trimmed();
    for (const ProfileKey &key : kProfileKeys) {
        if (trimmed.compare(toQString(key.name), Qt::CaseInsensitive) == 0)
            return &key;
    }
    return nullptr;
}

QString unknownKeyReason(QStringView name) {
    const QString given = name.trimmed().toString();
    const ProfileKey *nearest = nullptr;
    qsizetype best = 3; // more edits than this is another word, not a typo
    for (const ProfileKey &key : kProfileKeys) {
        const QString candidate = toQString(key.name);
        const qsizetype distance = withoutSeparators(given) == withoutSeparators(candidate)
                                       ? 0
                                       : editDistance(given, candidate);
        if (distance < best && distance < candidate.size() / 2 + 1) {
            best = distance;
            nearest = &key;
        }
    }
    if (nearest)
        return u"%1 is not a setting; did you mean %2?"_s.arg(quoted(given),
                                                              quoted(toQString(nearest->name)));
    QStringList names;
    for (const ProfileKey &key : kProfileKeys)
        names << toQString(key.name);
    return u"%1 is not a setting; the settings are %2"_s.arg(quoted(given), names.join(u", "));
}

std::optional<QString> assignSetting(const ProfileKey &key, QStringView value,
                                     ModuleSettings &settings) {
    const QStringView trimmed = value.trimmed();
    switch (key.kind) {
    case ProfileValue::ListLine: {
        for (std::size_t i = 0; i < key.lines.size(); ++i) {
            if (sameLine(trimmed, key.lines[i])) {
                settings.*key.number = std::int32_t(i);
                return std::nullopt;
            }
        }
        const std::optional<std::int32_t> index = parseCount(trimmed);
        if (!index || std::size_t(*index) >= key.lines.size())
            return listReason(key, trimmed);
        settings.*key.number = *index;
        return std::nullopt;
    }
    case ProfileValue::BaudRate: {
        const std::optional<std::int32_t> number = parseCount(trimmed);
        for (std::size_t i = 0; i < key.lines.size(); ++i) {
            if ((number && *number == baudOf(key.lines[i])) || sameLine(trimmed, key.lines[i])) {
                settings.*key.number = std::int32_t(i);
                return std::nullopt;
            }
        }
        QStringList rates;
        for (const std::string_view line : key.lines)
            rates << QString::number(baudOf(line));
        const QString last = rates.takeLast();
        return u"%1 is not a baud rate the module takes: %2 or %3"_s.arg(quoted(trimmed),
                                                                         rates.join(u", "_s), last);
    }
    case ProfileValue::Box: {
        static constexpr std::array<std::pair<std::u16string_view, std::int32_t>, 8> kWords{{
            {u"yes", 1},
            {u"no", 0},
            {u"true", 1},
            {u"false", 0},
            {u"on", 1},
            {u"off", 0},
            {u"1", 1},
            {u"0", 0},
        }};
        for (const auto &[word, state] : kWords) {
            if (trimmed.compare(word, Qt::CaseInsensitive) == 0) {
                settings.*key.number = state;
                return std::nullopt;
            }
        }
        return u"%1 is not yes or no (true and false, on and off, 1 and 0 also do)"_s.arg(
            quoted(trimmed));
    }
    case ProfileValue::Text:
        if (QString problem = textProblem(key, value.size()); !problem.isEmpty())
            return problem;
        settings.*key.text = value.toString();
        return std::nullopt;
    case ProfileValue::Port: {
        const std::optional<std::int32_t> port = parseCount(trimmed);
        if (!port || !isPortNumber(*port))
            return u"%1 is not a port number: give a whole number from %2"_s.arg(quoted(trimmed))
                .arg(kFirstPort);
        settings.*key.number = *port;
        return std::nullopt;
    }
    }
    return std::nullopt;
}

std::optional<ProfileError> readProfile(QByteArrayView content, ModuleSettings &settings) {
    if (content.size() > kProfileMaxBytes)
        return ProfileError{0,
                            {},
                            u"The file is larger than %1 bytes; a profile is a page of text."_s.arg(
                                kProfileMaxBytes)};
    ModuleSettings result = settings;
    std::array<int, kProfileKeys.size()> setOn{};
    int formatOn = 0;
    std::optional<ProfileError> fault;
    // A fault is kept while the rest is scanned for the format line: a file from a newer
    // version is refused for that, not for some key this version does not know.
    const auto note = [&fault](ProfileError error) {
        if (!fault)
            fault = std::move(error);
    };

    const std::string_view text(content.data(), std::size_t(content.size()));
    std::size_t start = 0;
    for (int lineNumber = 1; start <= text.size(); ++lineNumber) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view bytes = text.substr(start, end - start);
        start = end + 1;
        if (bytes.ends_with('\r'))
            bytes.remove_suffix(1);
        if (lineNumber == 1 && bytes.starts_with("\xEF\xBB\xBF"))
            bytes.remove_prefix(3);

        // Stateless: a sequence cut off at the line's end is a fault, not left for the next.
        QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless |
                                                         QStringDecoder::Flag::ConvertInitialBom);
        const QString line = decoder.decode(QByteArrayView(bytes.data(), qsizetype(bytes.size())));
        if (decoder.hasError()) {
            note({lineNumber, {}, u"the line is not UTF-8 text"_s});
            continue;
        }
        const QStringView meaningful = QStringView(line).trimmed();
        if (meaningful.isEmpty() || meaningful.startsWith(u'#') || meaningful.startsWith(u';'))
            continue;
        const qsizetype equals = line.indexOf(u'=');
        const QString key = equals < 0 ? QString() : line.left(equals).trimmed();
        if (key.isEmpty()) {
            note({lineNumber,
                  {},
                  u"%1 is not a \"key = value\" line"_s.arg(quoted(meaningful.left(40)))});
            continue;
        }
        const Unquoted value = unquote(QStringView(line).mid(equals + 1));
        if (!value.fault.isEmpty()) {
            note({lineNumber, key, value.fault});
            continue;
        }

        if (key.compare(toQString(kFormatKey), Qt::CaseInsensitive) == 0) {
            if (formatOn != 0) {
                note({lineNumber, key,
                      u"the format is given again; line %1 gave it first"_s.arg(formatOn)});
                continue;
            }
            formatOn = lineNumber;
            const std::optional<std::int32_t> format = parseCount(value.value.trimmed());
            if (format && *format > kProfileFormat)
                return ProfileError{lineNumber, key,
                                    u"the file is in profile format %1, from a newer version "
                                    u"of the tool; this version reads format %2"_s.arg(*format)
                                        .arg(kProfileFormat)};
            if (format != kProfileFormat)
                note({lineNumber, key,
                      u"%1 is not a profile format; this version reads format %2"_s
                          .arg(quoted(value.value.trimmed()))
                          .arg(kProfileFormat)});
            continue;
        }
        const ProfileKey *profileKey = findProfileKey(key);
        if (!profileKey) {
            note({lineNumber, key, unknownKeyReason(key)});
            continue;
        }
        int &firstSet = setOn[std::size_t(profileKey - kProfileKeys.data())];
        if (firstSet != 0) {
            note({lineNumber, key,
                  u"the setting is given again; line %1 gave it first"_s.arg(firstSet)});
            continue;
        }
        firstSet = lineNumber;
        if (std::optional<QString> refused = assignSetting(*profileKey, value.value, result))
            note({lineNumber, key, *refused});
    }
    if (fault)
        return fault;
    settings = result;
    return std::nullopt;
}

QByteArray writeProfile(const ModuleSettings &settings, QStringView writer) {
    QString out = toQString(kHeader).arg(writer);
    out += u"%1 = %2\n"_s.arg(toQString(kFormatKey)).arg(kProfileFormat);
    for (const ProfileKey &key : kProfileKeys) {
        if (key.kind == ProfileValue::Port)
            continue; // the computer's, not the module's
        if (!key.caption.empty())
            out += u"\n# "_s + toQString(key.caption) + u'\n';
        else if (&key == kProfileKeys.data())
            out += u'\n';
        const QString name = toQString(key.name);
        QString value;
        switch (key.kind) {
        case ProfileValue::ListLine:
        case ProfileValue::BaudRate: {
            const std::int32_t index = settings.*key.number;
            if (index < 0 || std::size_t(index) >= key.lines.size()) {
                out += u"# %1: no line of the list chosen, so none is written\n"_s.arg(name);
                continue;
            }
            const std::string_view line = key.lines[std::size_t(index)];
            value = key.kind == ProfileValue::BaudRate ? QString::number(baudOf(line))
                                                       : toQString(line);
            break;
        }
        case ProfileValue::Box:
            value = settings.*key.number != 0 ? u"yes"_s : u"no"_s;
            break;
        case ProfileValue::Text:
            value = profileText(settings.*key.text);
            break;
        case ProfileValue::Port:
            break;
        }
        out += name + u" = "_s + value + u'\n';
    }
    return out.toUtf8();
}

std::optional<ProfileError> loadProfileFile(const QString &path, ModuleSettings &settings) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return ProfileError{0, {}, u"The file cannot be read: %1."_s.arg(file.errorString())};
    // One byte more than a profile may hold tells a file that is too big.
    const QByteArray content = file.read(kProfileMaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return ProfileError{0, {}, u"The file cannot be read: %1."_s.arg(file.errorString())};
    return readProfile(content, settings);
}

std::optional<QString> saveProfileFile(const QString &path, const ModuleSettings &settings,
                                       QStringView writer) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    file.write(writeProfile(settings, writer));
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}

} // namespace tavrenode
