// How long the device-diagnosis library takes to build its driver data from a full-size
// modules.alias on first use, to open it again from the cache, and to answer one query.
//
// The alias table is the one named by TONEMENDER_BENCH_MODULES_ALIAS (for example one made by
// running depmod over an unpacked distribution kernel), else a synthetic one of the size of a
// distribution kernel's (about 26,000 aliases in the same mix of buses).

#include "engine/DeviceLibrary.h"
#include "platform/Library.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

struct BenchSetup {
    fs::path scratch;
    std::string aliasFile;
    DeviceLibrary library;
    int cacheCounter = 0;

    BenchSetup() {
        std::string pattern = (fs::temp_directory_path() / "tm-bench-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("no scratch folder");
        }
        scratch = pattern;
        if (const char* given = std::getenv("TONEMENDER_BENCH_MODULES_ALIAS")) {
            aliasFile = given;
        } else {
            aliasFile = (scratch / "modules.alias").string();
            WriteSyntheticAliases(aliasFile);
        }
        setenv("TMAUDIOMANAGER_MODULES_ALIAS", aliasFile.c_str(), 1);
        library = LoadDeviceLibrary();
        if (library.LibraryHandle == nullptr) {
            throw std::runtime_error("libtmaudiomanager.so not found beside the benchmark");
        }
    }
    ~BenchSetup() {
        UnloadDeviceLibrary(library);
        std::error_code ignored;
        fs::remove_all(scratch, ignored);
    }

    // Points the library at a cache folder that has never been used.
    std::string FreshCacheHome() {
        const fs::path home = scratch / ("cache" + std::to_string(cacheCounter++));
        setenv("XDG_CACHE_HOME", home.c_str(), 1);
        return home.string();
    }

    static void WriteSyntheticAliases(const std::string& path) {
        std::ofstream out(path);
        out << "# Aliases extracted from modules themselves.\n";
        char line[256];
        for (int i = 0; i < 9000; ++i) {
            std::snprintf(line, sizeof line,
                          "alias pci:v0000%04Xd0000%04Xsv*sd*bc*sc*i* mod_pci%d\n",
                          0x1000 + i % 700, i, i % 400);
            out << line;
        }
        for (int i = 0; i < 8500; ++i) {
            std::snprintf(line, sizeof line,
                          "alias usb:v%04Xp%04Xd*dc*dsc*dp*ic*isc*ip*in* mod_usb%d\n",
                          0x0400 + i % 900, i, i % 300);
            out << line;
        }
        for (int i = 0; i < 460; ++i) {
            std::snprintf(line, sizeof line, "alias hdaudio:v%04X%04Xr*a01* mod_hda%d\n",
                          0x10EC + i % 20, i, i % 10);
            out << line;
        }
        // The other buses as a distribution kernel has them: about a tenth written with a glob
        // for a bus (ACPI and DMI), the rest plain (device tree, I2C, HID, ...).
        for (int i = 0; i < 900; ++i) {
            std::snprintf(line, sizeof line, "alias acpi*:ABCD%04X:* mod_acpi%d\n", i, i % 100);
            out << line;
        }
        for (int i = 0; i < 7300; ++i) {
            std::snprintf(line, sizeof line, "alias %s:vendor%04X,device%d* mod_other%d\n",
                          i % 3 == 0 ? "of" : (i % 3 == 1 ? "i2c" : "hid"), i % 800, i, i % 500);
            out << line;
        }
    }
};

BenchSetup& Setup() {
    static BenchSetup setup;
    return setup;
}

const char* const kQueries[] = {
    "SELECT * FROM PCI WHERE hwid = 'PCI\\VEN_8086&DEV_A170&SUBSYS_86941043&REV_31';",
    "SELECT * FROM HDAUDIO WHERE hwid = 'HDAUDIO\\FUNC_01&VEN_10EC&DEV_0892';",
    "SELECT * FROM USB WHERE hwid = 'USB\\Class_01&SubClass_01&Prot_00';",
    "SELECT * FROM OTHER WHERE hwid = 'acpi:INT343A:';",
};

// The first query after a kernel change: reads the alias table, builds the database in one
// transaction, writes it beside the cache file and renames it into place.
void BM_FirstQueryBuildsDriverData(benchmark::State& state) {
    BenchSetup& setup = Setup();
    for (auto _ : state) {
        state.PauseTiming();
        setup.FreshCacheHome();
        state.ResumeTiming();
        benchmark::DoNotOptimize(setup.library.QueryDeviceHwids(kQueries[0]));
    }
}
BENCHMARK(BM_FirstQueryBuildsDriverData)->Unit(benchmark::kMillisecond)->Iterations(5);

// The first query of a later run: the cache is there and only opened and checked.
void BM_FirstQueryOpensCachedData(benchmark::State& state) {
    BenchSetup& setup = Setup();
    const std::string homes[2] = {setup.FreshCacheHome(), setup.FreshCacheHome()};
    for (const std::string& home : homes) {
        setenv("XDG_CACHE_HOME", home.c_str(), 1);
        setup.library.QueryDeviceHwids(kQueries[0]);
    }
    int turn = 0;
    for (auto _ : state) {
        // Switching the cache home makes the library open the other (already built) file.
        setenv("XDG_CACHE_HOME", homes[turn++ % 2].c_str(), 1);
        benchmark::DoNotOptimize(setup.library.QueryDeviceHwids(kQueries[0]));
    }
}
BENCHMARK(BM_FirstQueryOpensCachedData)->Unit(benchmark::kMicrosecond);

// One query against data that is already open; the argument picks the table (PCI, HDAUDIO,
// USB, OTHER).
void BM_QueryOpenData(benchmark::State& state) {
    BenchSetup& setup = Setup();
    setup.FreshCacheHome();
    const char* query = kQueries[state.range(0)];
    setup.library.QueryDeviceHwids(query);
    for (auto _ : state) {
        benchmark::DoNotOptimize(setup.library.QueryDeviceHwids(query));
    }
}
BENCHMARK(BM_QueryOpenData)->DenseRange(0, 3)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
