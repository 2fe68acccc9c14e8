#pragma once

#include "ModuleSettings.h"
#include "ProfileKeys.h"
#include "RunLoop.h"

#include <optional>
#include <variant>

#include <QList>
#include <QString>
#include <QStringList>

namespace tavrenode::prog {

// One value to apply to the settings, and where it came from for the messages ("--set",
// "units.csv, line 4, column 2").
struct Assignment {
    QString origin;
    const ProfileKey *key = nullptr;
    QString value;
};

// A unit of a batch as its row gives it: its assignments and the columns that are not keys.
struct UnitRow {
    int line = 0;
    QList<Assignment> assignments;
    QStringList metadata;
};

struct UnitTable {
    QStringList metadataNames;
    QList<UnitRow> rows;
};

// The settings every unit starts from: the defaults, then the window's last settings (unless
// useStore is false) or a profile. Bad input gives its message.
[[nodiscard]] std::variant<ModuleSettings, QString> baseSettings(bool useStore,
                                                                 const QString &profile);

// --set KEY=VALUE, checked for the key; the value is checked when it is applied.
[[nodiscard]] std::variant<Assignment, QString> parseSet(const QString &argument);

// The units file: a header of keys (other columns are metadata), one unit per row.
[[nodiscard]] std::variant<UnitTable, QString> readUnits(const QString &path);

// The settings of the unit with sequence number n: the base, then each assignment with
// its templates expanded, then checked as the window checks before programming. A fault
// names where the value came from.
[[nodiscard]] std::variant<ModuleSettings, QString>
unitSettings(ModuleSettings settings, const QList<Assignment> &assignments, qint64 n);

struct PlannedBatch {
    QList<PlannedUnit> units;
    QStringList metadataNames;
};

// A batch's units, each with its settings made and checked: the rows of unitsFile, or
// count units from the same settings; numbered from first.
[[nodiscard]] std::variant<PlannedBatch, QString> planBatch(const ModuleSettings &base,
                                                            const QList<Assignment> &sets,
                                                            const QString &unitsFile, qint64 count,
                                                            qint64 first);

} // namespace tavrenode::prog
