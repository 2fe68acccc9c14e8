#include "UnitSettings.h"

#include "CsvTable.h"
#include "Profile.h"
#include "SettingsCheck.h"
#include "SettingsStore.h"
#include "TextView.h"
#include "UnitTemplate.h"

#include <QFile>

using namespace Qt::StringLiterals;

namespace tavrenode::prog {

namespace {

// The window's store: it is named after the window's executable.
constexpr auto kWindowApplication = u"tavrenode-config";

} // namespace

std::variant<ModuleSettings, QString> baseSettings(bool useStore, const QString &profile) {
    ModuleSettings settings = SettingsStore::defaults();
    if (!profile.isEmpty()) {
        if (const std::optional<ProfileError> error = loadProfileFile(profile, settings))
            return u"--profile %1: %2"_s.arg(profile, error->describe());
    } else if (useStore) {
        SettingsStore(QString::fromUtf16(SettingsStore::kCompany),
                      QString::fromUtf16(kWindowApplication))
            .read(settings);
        // The boxes as the window would send them.
        normaliseBoxes(settings);
    }
    return settings;
}

std::variant<Assignment, QString> parseSet(const QString &argument) {
    const qsizetype equals = argument.indexOf(u'=');
    if (equals < 0)
        return u"--set %1: give KEY=VALUE"_s.arg(argument);
    const QString name = argument.left(equals);
    const ProfileKey *key = findProfileKey(name);
    if (!key)
        return u"--set %1: %2"_s.arg(argument, unknownKeyReason(name));
    return Assignment{u"--set %1"_s.arg(argument), key, argument.mid(equals + 1)};
}

std::variant<UnitTable, QString> readUnits(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return u"--units %1: %2"_s.arg(path, file.errorString());
    const auto read = readCsv(file.readAll());
    if (const auto *fault = std::get_if<CsvFault>(&read)) {
        return fault->column > 0
                   ? u"--units %1, line %2, column %3: %4"_s.arg(path)
                         .arg(fault->line)
                         .arg(fault->column)
                         .arg(fault->reason)
                   : u"--units %1, line %2: %3"_s.arg(path).arg(fault->line).arg(fault->reason);
    }
    const QList<CsvRow> &rows = std::get<QList<CsvRow>>(read);
    if (rows.isEmpty())
        return u"--units %1: the file is empty; it needs a header row of keys"_s.arg(path);

    UnitTable table;
    QList<const ProfileKey *> keys;
    const QStringList &header = rows.constFirst().fields;
    for (qsizetype column = 0; column < header.size(); ++column) {
        const ProfileKey *key = findProfileKey(header[column]);
        for (qsizetype other = 0; key && other < column; ++other) {
            if (keys[other] == key)
                return u"--units %1, line 1, column %2: %3 is given twice"_s.arg(path)
                    .arg(column + 1)
                    .arg(header[column].trimmed());
        }
        keys.append(key);
        if (!key)
            table.metadataNames.append(header[column].trimmed());
    }
    for (qsizetype r = 1; r < rows.size(); ++r) {
        UnitRow unit;
        unit.line = rows[r].line;
        for (qsizetype column = 0; column < header.size(); ++column) {
            const QString &value = rows[r].fields[column];
            if (!keys[column]) {
                unit.metadata.append(value);
                continue;
            }
            unit.assignments.append({u"--units %1, line %2, column %3 (%4)"_s.arg(path)
                                         .arg(unit.line)
                                         .arg(column + 1)
                                         .arg(toQString(keys[column]->name)),
                                     keys[column], value});
        }
        table.rows.append(unit);
    }
    return table;
}

std::variant<ModuleSettings, QString> unitSettings(ModuleSettings settings,
                                                   const QList<Assignment> &assignments, qint64 n) {
    for (const Assignment &assignment : assignments) {
        QString value = assignment.value;
        if (assignment.key->kind == ProfileValue::Text) {
            ExpandedText expanded = expandTemplate(value, n);
            if (!expanded.fault.isEmpty())
                return assignment.origin + u": "_s + expanded.fault;
            value = expanded.text;
        }
        if (std::optional<QString> refused = assignSetting(*assignment.key, value, settings))
            return assignment.origin + u": "_s + *refused +
                   (value == assignment.value ? QString() : u" (unit %1)"_s.arg(n));
    }
    if (const std::optional<SettingsProblem> problem = checkSettings(settings, PortUse::Ignored))
        return u"the settings cannot be sent: %1"_s.arg(describeProblem(*problem));
    return settings;
}

std::variant<PlannedBatch, QString> planBatch(const ModuleSettings &base,
                                              const QList<Assignment> &sets,
                                              const QString &unitsFile, qint64 count,
                                              qint64 first) {
    PlannedBatch batch;
    if (unitsFile.isEmpty()) {
        for (qint64 i = 0; i < count; ++i) {
            auto settings = unitSettings(base, sets, first + i);
            if (const QString *fault = std::get_if<QString>(&settings))
                return *fault;
            batch.units.append({first + i, std::get<ModuleSettings>(settings), {}});
        }
        return batch;
    }
    auto table = readUnits(unitsFile);
    if (const QString *fault = std::get_if<QString>(&table))
        return *fault;
    const UnitTable &rows = std::get<UnitTable>(table);
    batch.metadataNames = rows.metadataNames;
    qint64 n = first;
    for (const UnitRow &row : rows.rows) {
        auto settings = unitSettings(base, sets + row.assignments, n);
        if (const QString *fault = std::get_if<QString>(&settings))
            return *fault;
        batch.units.append({n++, std::get<ModuleSettings>(settings), row.metadata});
    }
    if (batch.units.isEmpty())
        return u"--units %1: no units below the header"_s.arg(unitsFile);
    return batch;
}

} // namespace tavrenode::prog
