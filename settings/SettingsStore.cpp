#include "SettingsStore.h"

#include "StoreEntries.h"
#include "StoreFile.h"

#include <limits>
#include <optional>

#include <QFileInfo>
#include <QSettings>
#include <QStringList>
#include <QVariant>

namespace tavrenode {

namespace {

QString entryKey(const StoreEntry &entry) {
    return QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
}

// A stored integer counts only when it is a 32-bit value; anything else (text that is not a
// decimal number, a number that needs more than 32 bits, binary data) takes the default.
std::optional<std::int32_t> toInt32(const QVariant &value) {
    switch (value.typeId()) {
    case QMetaType::Int:
        return value.toInt();
    case QMetaType::UInt: // a DWORD from the registry: the same 32 bits
        return static_cast<std::int32_t>(value.toUInt());
    case QMetaType::QString:
    case QMetaType::QByteArray: {
        bool ok = false;
        const int number = value.toString().toInt(&ok, 10);
        return ok ? std::optional<std::int32_t>(number) : std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

QString toText(const QVariant &value) {
    // An unquoted value with commas, as a hand-edited file may hold, reads as a list.
    if (value.typeId() == QMetaType::QStringList)
        return value.toStringList().join(u',');
    return value.toString();
}

// Integer arithmetic on stored values wraps, as it would in the 32-bit fields themselves.
std::int32_t wrappingAdd(std::int32_t value, std::int32_t offset) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(value) +
                                     static_cast<std::uint32_t>(offset));
}

// Puts what the store holds for one entry (an invalid variant when it holds nothing) into
// its field.
void applyStored(const StoreEntry &entry, const QVariant &stored, ModuleSettings &settings) {
    if (entry.text) {
        settings.*entry.text =
            stored.isValid()
                ? toText(stored)
                : QString::fromUtf16(entry.defaultText.data(), qsizetype(entry.defaultText.size()));
        return;
    }
    settings.*entry.number =
        wrappingAdd(toInt32(stored).value_or(entry.defaultNumber), -entry.storedOffset);
}

class Section {
public:
    enum class Access { Prepare, AsItIs };

    Section(const QString &company, const QString &application, Access access = Access::Prepare)
        : m_settings(QSettings::NativeFormat, QSettings::UserScope, company, application) {
        m_settings.setAtomicSyncRequired(true);
        // Only the tool's own store counts: QSettings would otherwise fill absent entries
        // from the company's file and from the system-wide ones (on Windows, the company's
        // key and HKEY_LOCAL_MACHINE), where the tool's defaults belong.
        m_settings.setFallbacksEnabled(false);
        if (access == Access::Prepare)
            prepareStoreFile(m_settings.fileName());
        m_settings.beginGroup(QString::fromUtf16(SettingsStore::kSection));
    }
    QSettings *operator->() { return &m_settings; }

    void readInto(ModuleSettings &settings) {
        for (const StoreEntry &entry : kStoreEntries)
            applyStored(entry, m_settings.value(entryKey(entry)), settings);
    }

private:
    QSettings m_settings;
};

} // namespace

SettingsStore::SettingsStore(QString company, QString application)
    : m_company(std::move(company))
    , m_application(std::move(application)) {}

void SettingsStore::load(ModuleSettings &settings) const {
    Section section(m_company, m_application);
    section.readInto(settings);
}

void SettingsStore::read(ModuleSettings &settings) const {
    Section section(m_company, m_application, Section::Access::AsItIs);
    section.readInto(settings);
}

void SettingsStore::save(const ModuleSettings &settings) const {
    Section section(m_company, m_application);
    for (const StoreEntry &entry : kStoreEntries) {
        if (entry.text)
            section->setValue(entryKey(entry), settings.*entry.text);
        else
            section->setValue(entryKey(entry),
                              wrappingAdd(settings.*entry.number, entry.storedOffset));
    }
    removeOwnerlessLock(section->fileName());
    section->sync();
}

QString SettingsStore::location() const {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, m_company, m_application)
        .fileName();
}

ModuleSettings SettingsStore::defaults() {
    ModuleSettings settings;
    for (const StoreEntry &entry : kStoreEntries)
        applyStored(entry, QVariant(), settings);
    return settings;
}

QString applicationNameFromExecutable(const QString &executablePath) {
    return QFileInfo(executablePath).completeBaseName();
}

} // namespace tavrenode
