#pragma once

#include "ModuleSettings.h"
#include "ProfileKeys.h"

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace tavrenode {

// A profile: module settings as a text file a person can read, edit, keep and pass on.
// UTF-8, one "key = value" per line under a comment that explains the format; keys from
// kProfileKeys. Reading one is all or nothing: the first fault refuses the whole file.

inline constexpr int kProfileFormat = 1;
inline constexpr auto kProfileSuffix = u"tavrenode";
// Far more than any profile needs; a bigger file is something else.
inline constexpr qsizetype kProfileMaxBytes = qsizetype(1) << 20;

// Why a profile was refused: where (line 0 for the file as a whole; the key when the line
// has one) and what is wrong, in words for the person who wrote it.
struct ProfileError {
    int line = 0;
    QString key;
    QString reason;

    // "Line 4, key "badu": ..." or just the reason for the whole file.
    [[nodiscard]] QString describe() const;

    friend bool operator==(const ProfileError &, const ProfileError &) = default;
};

// Reads a profile into settings. Keys the profile leaves out keep their values; on any error
// settings are left exactly as they were.
[[nodiscard]] std::optional<ProfileError> readProfile(QByteArrayView content,
                                                      ModuleSettings &settings);

// The profile of settings, headed by a comment naming the program that wrote it (writer).
// Every setting but the COM port is written, lists by their lines and the baud rate by its
// number; a list without a valid line is left out, with a comment saying so. A box that is
// neither 0 nor 1 is written as it acts on the module: yes.
[[nodiscard]] QByteArray writeProfile(const ModuleSettings &settings, QStringView writer);

// The key of that name (ignoring case and the blanks around it), or nullptr.
[[nodiscard]] const ProfileKey *findProfileKey(QStringView name);

// Why name is not a key, with the nearest key when it looks like a typo of one.
[[nodiscard]] QString unknownKeyReason(QStringView name);

// Sets one setting from a value as a person writes it (texts are taken as they stand; other
// values without the blanks around them). Returns why the value was refused, changing nothing.
[[nodiscard]] std::optional<QString> assignSetting(const ProfileKey &key, QStringView value,
                                                   ModuleSettings &settings);

// The files themselves. Loading refuses a file that cannot be read, or is bigger than
// kProfileMaxBytes, as a fault of line 0. Saving replaces the file whole or not at all and
// returns the system's reason when it cannot.
[[nodiscard]] std::optional<ProfileError> loadProfileFile(const QString &path,
                                                          ModuleSettings &settings);
[[nodiscard]] std::optional<QString>
saveProfileFile(const QString &path, const ModuleSettings &settings, QStringView writer);

} // namespace tavrenode
