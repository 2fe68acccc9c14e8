#include "StoreFile.h"

namespace tavrenode {

// The registry keeps the entries per user, private to them, and has no files to prepare.
void prepareStoreFile(const QString & /*path*/) {}
void removeOwnerlessLock(const QString & /*storePath*/) {}

} // namespace tavrenode
