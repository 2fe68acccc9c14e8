// A profile as anyone may write, mangle or mistake for another file.
#include "FuzzSupport.h"
#include "Profile.h"
#include "SettingsStore.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    using namespace tavrenode;
    const QByteArray content(reinterpret_cast<const char *>(data), qsizetype(size));
    const ModuleSettings before = SettingsStore::defaults();
    ModuleSettings settings = before;
    const std::optional<ProfileError> error = readProfile(content, settings);
    if (error) {
        // Refused means untouched, and the line named is one the file has.
        FUZZ_CHECK(settings == before);
        FUZZ_CHECK(error->line >= 0 && error->line <= content.count('\n') + 1);
        FUZZ_CHECK(!error->describe().isEmpty());
        return 0;
    }
    // What was read writes out as a profile that reads back the same.
    ModuleSettings reread;
    FUZZ_CHECK(!readProfile(writeProfile(settings, u"fuzz"), reread));
    reread.comPort = settings.comPort;
    FUZZ_CHECK(reread == settings);
    return 0;
}
