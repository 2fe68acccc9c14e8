// Record build, settings load and save, and profiles, with Google Benchmark, each beside the
// plain file work it cannot do without where there is some.
#include "BluezDevices.h"
#include "Profile.h"
#include "RecordEncoder.h"
#include "Report.h"
#include "SettingsStore.h"
#include "UserMessage.h"

#include <benchmark/benchmark.h>
#include <map>

#include <QDBusConnection>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;

using namespace tavrenode;

namespace {

class NoMessages final : public MessageSink {
public:
    void show(const UserMessage &) override {}
};

ModuleSettings sample() {
    ModuleSettings settings = SettingsStore::defaults();
    settings.deviceName = u"Tavrenode ~~~~~~~~~~~~"_s;
    settings.pin = u"2468"_s;
    return settings;
}

QTemporaryDir &configHome() {
    static QTemporaryDir home;
    return home;
}

void recordBuild(benchmark::State &state) {
    const ModuleSettings settings = sample();
    ConfigRecord record{};
    NoMessages messages;
    for (auto _ : state) {
        build(settings, record, messages);
        benchmark::DoNotOptimize(record);
    }
}

void storeSave(benchmark::State &state) {
    const SettingsStore store(u"Tavrenode Config"_s, u"bench-save"_s);
    const ModuleSettings settings = sample();
    for (auto _ : state)
        store.save(settings);
}

// The floor of a save: the same bytes written to a new file that replaces the old one.
void fileReplace(benchmark::State &state) {
    const SettingsStore store(u"Tavrenode Config"_s, u"bench-replace"_s);
    store.save(sample());
    QFile file(store.location());
    file.open(QIODevice::ReadOnly);
    const QByteArray bytes = file.readAll();
    for (auto _ : state) {
        QSaveFile out(store.location());
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
        out.commit();
    }
}

void storeLoad(benchmark::State &state) {
    const SettingsStore store(u"Tavrenode Config"_s, u"bench-load"_s);
    store.save(sample());
    for (auto _ : state) {
        ModuleSettings settings;
        store.load(settings);
        benchmark::DoNotOptimize(settings);
    }
}

// The floor of a load: reading the file's bytes.
void fileRead(benchmark::State &state) {
    const SettingsStore store(u"Tavrenode Config"_s, u"bench-read"_s);
    store.save(sample());
    for (auto _ : state) {
        QFile file(store.location());
        file.open(QIODevice::ReadOnly);
        benchmark::DoNotOptimize(file.readAll());
    }
}

void profileWrite(benchmark::State &state) {
    const ModuleSettings settings = sample();
    for (auto _ : state)
        benchmark::DoNotOptimize(writeProfile(settings, u"bench"));
}

// A whole profile as the tool writes it, every key looked up and checked.
void profileRead(benchmark::State &state) {
    const QByteArray profile = writeProfile(sample(), u"bench");
    for (auto _ : state) {
        ModuleSettings settings;
        benchmark::DoNotOptimize(readProfile(profile, settings));
        benchmark::DoNotOptimize(settings);
    }
}

// What a failure to open a port costs when the machine has no system bus for BlueZ (the
// paired devices are looked for on every such failure): connecting, finding nothing.
void pairedDevicesNoBus(benchmark::State &state) {
    const QString address = u"unix:path="_s + configHome().filePath(u"no-bus"_s);
    for (auto _ : state) {
        {
            const QDBusConnection bus = QDBusConnection::connectToBus(address, u"bench"_s);
            benchmark::DoNotOptimize(bluezSerialDevices(bus));
        }
        QDBusConnection::disconnectFromBus(u"bench"_s);
    }
}

// Prints each benchmark beside its floor, in microseconds.
class FigureReporter final : public benchmark::BenchmarkReporter {
public:
    bool ReportContext(const Context &) override { return true; }
    void ReportRuns(const std::vector<Run> &runs) override {
        for (const Run &run : runs)
            m_micros[run.benchmark_name()] = run.GetAdjustedRealTime() / 1000.0;
    }
    void Finalize() override {
        reportFigure("record_build", m_micros["recordBuild"], 0, "us");
        reportFigure("settings_save", m_micros["storeSave"], m_micros["fileReplace"], "us");
        reportFigure("settings_load", m_micros["storeLoad"], m_micros["fileRead"], "us");
        reportFigure("profile_write", m_micros["profileWrite"], 0, "us");
        reportFigure("profile_read", m_micros["profileRead"], 0, "us");
        reportFigure("paired_devices_no_bus", m_micros["pairedDevicesNoBus"], 0, "us");
    }

private:
    std::map<std::string, double> m_micros;
};

} // namespace

BENCHMARK(recordBuild);
BENCHMARK(storeSave);
BENCHMARK(fileReplace);
BENCHMARK(storeLoad);
BENCHMARK(fileRead);
BENCHMARK(profileWrite);
BENCHMARK(profileRead);
BENCHMARK(pairedDevicesNoBus);

int main(int argc, char **argv) {
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome().path()));
    benchmark::Initialize(&argc, argv);
    FigureReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    return 0;
}
