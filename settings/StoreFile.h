#pragma once

#include <QString>

namespace tavrenode {

// Where the store is a file (everywhere but Windows, whose store is the registry).

// Creates the store file private to its owner before anything is written to it (it holds
// the PIN), or makes it private again.
void prepareStoreFile(const QString &path);

// Removes a lock file that a killed save left without an owner, so that the next save does
// not wait for it.
void removeOwnerlessLock(const QString &storePath);

} // namespace tavrenode
