// Saves settings for the durability tests, in a process of its own so that it can be
// killed in the middle of a save.
//   store_writer APPLICATION        saves the two samples by turns until killed, and says
//                                   "saved N" once the Nth save is complete
#include "SettingsStore.h"
#include "StoreTesting.h"

#include <cstdio>

using namespace tavrenode;

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: store_writer APPLICATION\n");
        return 2;
    }
    const SettingsStore store(QString::fromUtf16(SettingsStore::kCompany),
                              QString::fromLocal8Bit(argv[1]));
    for (unsigned long saves = 0;; ++saves) {
        store.save(storeSample(int(saves % 2)));
        std::printf("saved %lu\n", saves + 1);
        std::fflush(stdout);
    }
}
