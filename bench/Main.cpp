// Conversion benchmark. Generates a large version 204 scene file, then for
// each conversion in kConversions times load + save in this process beside
// a plain copy of the same file (read whole, write whole: the same file
// calls the program uses), and measures the peak memory of one load + save
// in a child process that does nothing else.
//
//   qwz_bench [--dir FOLDER] [--runs N]   run every conversion
//   qwz_bench --sample FILE               write the small bundled sample
//   qwz_bench --generate FILE             write the large file only
#include "Generator.h"

#include "model/Klasaqwz.h"
#include "platform/FileRead.h"
#include "platform/DebugOutput.h"
#include "platform/FileWrite.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace qwz;

namespace {

// A conversion to measure: a source of the given version (made once from
// the generated 204 file when it is not 204) saved as `target`. Version 202
// holds at most 32767 vertices in a mesh: conversions to it start from a
// scene of many smaller meshes.
struct Conversion {
    const char* name;
    int sourceVersion;
    int target;
    bool smallMeshes = false;
};

const Conversion kConversions[] = {
    {"204 -> 204", 204, 204},
    {"204 -> 203", 204, 203},
    {"203 -> 202", 203, 202, true},
};

// Wall-clock and CPU (user + system) seconds of one piece of work.
struct Timing {
    double wall = 1e30, cpu = 1e30;
};

double CpuSeconds() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Runs `work` once and keeps the best wall-clock and CPU figures so far.
template <class Work>
void Measure(Timing& best, Work work) {
    const double cpu = CpuSeconds();
    const auto start = std::chrono::steady_clock::now();
    work();
    const double wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    best.wall = std::min(best.wall, wall);
    best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
}

void LoadAndSave(const fs::path& source, int target, const fs::path& out) {
    KlasaQwz doc;
    if (doc.Load(source) == 0) throw std::runtime_error("not loaded: " + source.string());
    doc.Save(target, out);
}

void Copy(const fs::path& source, const fs::path& out) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!platform::ReadWholeFile(source, bytes, &error) ||
        !platform::WriteWholeFile(out, bytes, &error))
        throw std::runtime_error(error);
}

// The peak resident set of this process so far, in bytes.
uint64_t PeakResident() {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind("VmHWM:", 0) == 0) return std::stoull(line.substr(6)) * 1024;
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return uint64_t(usage.ru_maxrss) * 1024;
}

// Builds a scene and writes it as a version 204 file.
bench::SceneCounts WriteScene(const bench::SceneSize& size, const fs::path& path) {
    KlasaQwz doc;
    bench::BuildScene(doc, size);
    const bench::SceneCounts counts = bench::CountScene(doc);
    doc.Save(204, path);
    return counts;
}

// Child mode: one load + save and nothing else, then the peak memory.
int MeasurePeak(const fs::path& source, int target, const fs::path& out) {
    const uint64_t base = PeakResident();
    LoadAndSave(source, target, out);
    std::printf("%llu %llu\n", (unsigned long long)PeakResident(), (unsigned long long)base);
    return 0;
}

std::string Quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs MeasurePeak in a child process; {peak, base} in bytes.
std::pair<uint64_t, uint64_t> ChildPeak(const fs::path& self, const fs::path& source, int target,
                                        const fs::path& out) {
    const std::string command = Quote(self.string()) + " --peak " + Quote(source.string()) + " " +
                                std::to_string(target) + " " + Quote(out.string()) + " 2>/dev/null";
    FILE* child = popen(command.c_str(), "r");
    if (!child) throw std::runtime_error("cannot start the measuring process");
    unsigned long long peak = 0, base = 0;
    const int got = std::fscanf(child, "%llu %llu", &peak, &base);
    if (pclose(child) != 0 || got != 2) throw std::runtime_error("the measuring process failed");
    return {peak, base};
}

// Silences the writer's debug line during the timed runs.
void QuietDebugOutput() {
    platform::SetDebugSink([](std::string_view, bool) {});
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        QuietDebugOutput();
        if (args.size() == 4 && args[0] == "--peak")
            return MeasurePeak(args[1], std::stoi(args[2]), args[3]);
        if (args.size() == 2 && (args[0] == "--sample" || args[0] == "--generate")) {
            const bench::SceneCounts c =
                WriteScene(args[0] == "--sample" ? bench::SampleScene() : bench::LargeScene(), args[1]);
            std::printf("%s: %llu bytes, %llu meshes, %llu vertices, %llu faces, %llu records, %llu blocks\n",
                        args[1].c_str(), (unsigned long long)fs::file_size(args[1]),
                        (unsigned long long)c.meshes, (unsigned long long)c.vertices,
                        (unsigned long long)c.faces, (unsigned long long)c.records,
                        (unsigned long long)c.blocks);
            return 0;
        }
        fs::path dir = fs::temp_directory_path() / ("qwz-bench-" + std::to_string(::getpid()));
        bool ownDir = true;  // a folder of our own is removed at the end
        int runs = 5;
        for (size_t i = 0; i + 1 < args.size(); i += 2) {
            if (args[i] == "--dir") dir = args[i + 1], ownDir = false;
            else if (args[i] == "--runs") runs = std::max(1, std::stoi(args[i + 1]));
            else throw std::runtime_error("unknown option " + args[i]);
        }
        if (args.size() % 2 != 0) throw std::runtime_error("usage: qwz_bench [--dir FOLDER] [--runs N]");
        fs::create_directories(dir);
        const fs::path self = fs::canonical("/proc/self/exe");

        auto describe = [](const char* label, const fs::path& file, const bench::SceneCounts& c) {
            std::printf("%s: %.1f MB, %llu meshes, %llu vertices, %llu faces, %llu group records, "
                        "%llu extra-data blocks\n",
                        label, double(fs::file_size(file)) / 1e6, (unsigned long long)c.meshes,
                        (unsigned long long)c.vertices, (unsigned long long)c.faces,
                        (unsigned long long)c.records, (unsigned long long)c.blocks);
        };
        const fs::path large = dir / "large-204.qwz";
        describe("file", large, WriteScene(bench::LargeScene(), large));
        const fs::path small = dir / "small-meshes-204.qwz";
        describe("file of small meshes (for 202)", small, WriteScene(bench::SmallMeshScene(), small));
        std::printf("best of %d runs; copy = read the whole file and write it whole; cpu = user + system\n\n",
                    runs);
        std::printf("%-11s %7s | %9s %6s %7s | %7s %7s | %6s %6s | %7s %9s\n", "conversion", "source",
                    "load+save", "MB/s", "cpu", "copy", "cpu", "ratio", "cpu", "peak", "peak/size");

        for (const Conversion& conversion : kConversions) {
            const fs::path& generated = conversion.smallMeshes ? small : large;
            fs::path source = generated;
            if (conversion.sourceVersion != 204) {
                source = dir / ("source-" + std::to_string(conversion.sourceVersion) + ".qwz");
                LoadAndSave(generated, conversion.sourceVersion, source);
            }
            const double sourceMb = double(fs::file_size(source)) / 1e6;
            const fs::path out = dir / "out.qwz";
            const fs::path copy = dir / "copy.qwz";
            LoadAndSave(source, conversion.target, out);  // warm the page cache and the heap
            Copy(source, copy);
            Timing convert, plain;
            for (int i = 0; i < runs; ++i) {  // alternate, so both see the same machine
                Measure(convert, [&] { LoadAndSave(source, conversion.target, out); });
                Measure(plain, [&] { Copy(source, copy); });
            }
            const auto [peak, base] = ChildPeak(self, source, conversion.target, out);
            std::printf("%-11s %5.1fMB | %8.3fs %6.0f %6.3fs | %6.3fs %6.3fs | %5.2fx %5.2fx | %4.0f MB %8.2fx\n",
                        conversion.name, sourceMb, convert.wall, sourceMb / convert.wall, convert.cpu,
                        plain.wall, plain.cpu, convert.wall / plain.wall, convert.cpu / plain.cpu,
                        double(peak) / 1e6, double(peak) / (sourceMb * 1e6));
            std::printf("%-11s (peak of a process that only loads and saves; %.1f MB of it before the load)\n",
                        "", double(base) / 1e6);
            if (conversion.sourceVersion == conversion.target) {
                std::vector<uint8_t> a, b;
                platform::ReadWholeFile(source, a);
                platform::ReadWholeFile(out, b);
                std::printf("%-11s output %s the source byte for byte\n", "", a == b ? "matches" : "DIFFERS FROM");
            }
            fs::remove(out);
            fs::remove(copy);
            if (source != generated) fs::remove(source);
        }
        fs::remove(large);
        fs::remove(small);
        if (ownDir) fs::remove_all(dir);
        std::printf("\naims: load+save within 3x the copy; peak within 6x the file size\n");
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qwz_bench: %s\n", e.what());
        return 1;
    }
}
