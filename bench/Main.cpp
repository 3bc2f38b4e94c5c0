// Conversion benchmark. Generates scenes of a few MB to about 300 MB and,
// for each conversion in kConversions, times load + save in this process
// beside a plain copy of the same file (read whole, write whole: the same
// file calls the program uses), measures the peak memory of one load + save
// in a child process that does nothing else, and how the time grows over
// 1x, 4x and 16x the small file; then tells which aims are met.
//
//   qwz_bench [--warm-heap] [--dir FOLDER] [--runs N] [--small-only]
//                                         run every conversion; --warm-heap lets
//                                         the C library reuse freed memory between runs
//   qwz_bench --sample FILE               write the small bundled sample
//   qwz_bench --generate FILE             write the 60 MB file of LargeScene only
//   qwz_bench --folder-file FILE          write a version 204 file of about 50 KB
//   qwz_bench --make VERSION MESHES FILE  write the bench's source file of that version and
//                                         size (scripts/bench.sh times the programs on it)
//   qwz_bench --make-many VERSION MESHES FILE
//                                         the same with MESHES small meshes and few records
#include "Generator.h"

#include "format/Klasaqwz.h"
#include "platform/DebugOutput.h"
#include "platform/FileRead.h"
#include "platform/FileWrite.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <malloc.h>
#include <map>
#include <stdexcept>
#include <tuple>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace qwz;

namespace {

// A conversion to measure: a source of the given version saved as
// `target`. Every source is made from a scene of MeshCountScene: the 204
// file is written by the library, the 203 file converted from it, the 201
// file written byte by byte by the generator.
struct Conversion {
    const char* name;
    int sourceVersion;
    int target;
};

const Conversion kConversions[] = {
    {"204 -> 204", 204, 204}, {"204 -> 203", 204, 203}, {"204 -> 202", 204, 202},
    {"203 -> 204", 203, 204}, {"201 -> 202", 201, 202},
};

// Scene sizes in meshes of 32761 vertices: the small file (the 1x of the
// growth series, about 3 MB), 4x and 16x of it, and the large file (about
// 300 MB in version 204). Versions 201 and 202 hold at most 255 meshes of
// that size, so a conversion from or to them uses the largest such scene.
constexpr uint32_t kSmallMeshes = 4;
constexpr uint32_t kGrowth[] = {1, 4, 16};
constexpr uint32_t kLargeMeshes = 272;
constexpr uint32_t kMost202Meshes = 255;

uint32_t LargeMeshesFor(const Conversion& c) {
    return c.sourceVersion <= 202 || c.target <= 202 ? kMost202Meshes : kLargeMeshes;
}

// The aims the figures are held against.
constexpr double kTimeAim = 3.0;     // load + save within this many copies
constexpr double kMemoryAim = 6.0;   // peak within this many file sizes
constexpr double kGrowthAim = 20.0;  // 16x the file within this many times the time

// Wall-clock and CPU (user + system) seconds of a piece of work: the best
// of the runs, and every run's wall-clock time for the median.
struct Timing {
    double wall = 1e30, cpu = 1e30;
    std::vector<double> walls;

    double Median() const {
        std::vector<double> sorted = walls;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
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
    best.walls.push_back(wall);
    best.wall = std::min(best.wall, wall);
    best.cpu = std::min(best.cpu, CpuSeconds() - cpu);
}

std::vector<uint8_t> ReadFile(const fs::path& path) {
    std::vector<uint8_t> bytes;
    std::string error;
    if (!platform::ReadWholeFile(path, bytes, &error)) throw std::runtime_error(error);
    return bytes;
}

void WriteFile(const fs::path& path, const std::vector<uint8_t>& bytes) {
    std::string error;
    if (!platform::WriteWholeFile(path, bytes, &error)) throw std::runtime_error(error);
}

// Loads the whole file into a document that keeps its buffer; 0: not loaded.
uint8_t LoadFile(KlasaQwz& doc, const fs::path& path) { return doc.LoadBuffer(ReadFile(path)); }

void LoadAndSave(const fs::path& source, int target, const fs::path& out) {
    KlasaQwz doc;
    if (LoadFile(doc, source) == 0) throw std::runtime_error("not loaded: " + source.string());
    WriteFile(out, doc.SaveBytes(target, TQWZSaveParams()));
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
    WriteFile(path, doc.SaveBytes(204, TQWZSaveParams()));
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

// Writes the scene of `meshes` meshes as a version 201 file and checks that
// the library reads back every mesh, vertex and face of it, so that the
// figures are of the whole file.
void WriteScene201(uint32_t meshes, const fs::path& path) {
    KlasaQwz doc;
    {
        bench::BuildScene(doc, bench::MeshCountScene(meshes));
        // A reference point near the origin: a version 201 file's face corners
        // are taken relative to it, and the scale an older version is written
        // with is chosen from them, so a far one could leave vertices that do
        // not fit that scale.
        doc.RefPoint[0] = 1.5f;
        doc.RefPoint[1] = -0.5f;
        doc.RefPoint[2] = 0.2f;
        std::string error;
        if (!platform::WriteWholeFile(path, bench::Version201Bytes(doc, 2000), &error))
            throw std::runtime_error(error);
    }
    KlasaQwz back;
    if (LoadFile(back, path) != 201) throw std::runtime_error("the version 201 file does not load");
    const DefinicjaObiektu& written = *doc.GetDefinition();
    const DefinicjaObiektu& read = *back.GetDefinition();
    const double quantum = 0.5 / double(back.VertexScale) + 1e-3;
    bool same = read.Vertices.size() == written.Vertices.size() && read.MeshNames == written.MeshNames;
    for (size_t m = 0; same && m < read.Vertices.size(); ++m) {
        const vcV& a = written.Vertices[m];
        const vcV& b = read.Vertices[m];
        same = a.size() == b.size() && written.Faces[m].size() == read.Faces[m].size();
        for (size_t k = 0; same && k < a.size(); ++k)
            same = std::fabs(a[k].x - b[k].x) <= quantum && std::fabs(a[k].y - b[k].y) <= quantum &&
                   std::fabs(a[k].z - b[k].z) <= quantum;
        for (size_t f = 0; same && f < written.Faces[m].size(); ++f)
            same = written.Faces[m][f].indices == read.Faces[m][f].indices &&
                   written.Faces[m][f].flag == read.Faces[m][f].flag;
    }
    if (!same) throw std::runtime_error("the version 201 file loads with other meshes than were written");
}

// A source file of the bench, as Sources makes it, at `path`.
void MakeSource(int version, uint32_t meshes, const fs::path& path) {
    if (version == 204) WriteScene(bench::MeshCountScene(meshes), path);
    else if (version == 201) WriteScene201(meshes, path);
    else {
        const fs::path newest = path.string() + ".204";
        WriteScene(bench::MeshCountScene(meshes), newest);
        LoadAndSave(newest, version, path);
        fs::remove(newest);
    }
}

// A source of `meshes` small meshes (ManyMeshScene) in `version` (203 or
// 204).
void MakeManyMeshes(int version, uint32_t meshes, const fs::path& path) {
    if (version == 204) return (void)WriteScene(bench::ManyMeshScene(meshes), path);
    const fs::path newest = path.string() + ".204";
    WriteScene(bench::ManyMeshScene(meshes), newest);
    LoadAndSave(newest, version, path);
    fs::remove(newest);
}

// The source files, each made once, in the bench's folder.
class Sources {
public:
    explicit Sources(fs::path dir) : dir_(std::move(dir)) {}
    ~Sources() {
        for (const auto& made : made_) {
            std::error_code ignored;
            fs::remove(made.second, ignored);
        }
    }

    const fs::path& Get(int version, uint32_t meshes) {
        const auto key = std::make_pair(version, meshes);
        if (auto found = made_.find(key); found != made_.end()) return found->second;
        const fs::path path =
            dir_ / ("source-" + std::to_string(version) + "-" + std::to_string(meshes) + ".qwz");
        if (version == 202 || version == 203) LoadAndSave(Get(204, meshes), version, path);
        else MakeSource(version, meshes, path);
        return made_.emplace(key, path).first->second;
    }

private:
    fs::path dir_;
    std::map<std::pair<int, uint32_t>, fs::path> made_;
};

// One conversion of one file, measured.
struct Result {
    double mb = 0;  // the source file
    Timing convert, plain;
    uint64_t peak = 0, base = 0;
    int sameBytes = -1;  // for a conversion to the same version: output == source
};

Result MeasureConversion(const fs::path& self, const fs::path& dir, const fs::path& source, int target,
                         int runs, bool peak) {
    Result r;
    r.mb = double(fs::file_size(source)) / 1e6;
    const fs::path out = dir / "out.qwz";
    const fs::path copy = dir / "copy.qwz";
    LoadAndSave(source, target, out);  // warm the page cache and the heap
    Copy(source, copy);
    for (int i = 0; i < runs; ++i) {  // alternate, so both see the same machine
        Measure(r.convert, [&] { LoadAndSave(source, target, out); });
        Measure(r.plain, [&] { Copy(source, copy); });
    }
    if (peak) std::tie(r.peak, r.base) = ChildPeak(self, source, target, out);
    if (const std::vector<uint8_t> a = ReadFile(source); a.size() >= 4 && a[3] == target)
        r.sameBytes = a == ReadFile(out);
    fs::remove(out);
    fs::remove(copy);
    return r;
}

const char* Verdict(bool met) { return met ? "met" : "NOT met"; }

// Silences the writer's debug line during the timed runs.
void QuietDebugOutput() {
    platform::SetDebugSink([](std::string_view, bool) {});
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        QuietDebugOutput();
        // The program converts one file per process, where no freed memory
        // is waiting to be reused. A fixed mmap threshold keeps the C library
        // from keeping freed large blocks for the next run of the same
        // process, so that every timed run, small or large, gets its memory
        // from the system the way the program does.
        const bool warmHeap = !args.empty() && args[0] == "--warm-heap";
        if (warmHeap) args.erase(args.begin());
        else mallopt(M_MMAP_THRESHOLD, 128 * 1024);
        if (args.size() == 4 && args[0] == "--peak")
            return MeasurePeak(args[1], std::stoi(args[2]), args[3]);
        if (args.size() == 4 && args[0] == "--make-many") {
            MakeManyMeshes(std::stoi(args[1]), uint32_t(std::stoul(args[2])), args[3]);
            return 0;
        }
        if (args.size() == 4 && args[0] == "--make") {
            MakeSource(std::stoi(args[1]), uint32_t(std::stoul(args[2])), args[3]);
            return 0;
        }
        if (args.size() == 2 && (args[0] == "--sample" || args[0] == "--generate" || args[0] == "--folder-file")) {
            const bench::SceneCounts c = WriteScene(args[0] == "--sample"        ? bench::SampleScene()
                                                    : args[0] == "--generate" ? bench::LargeScene()
                                                                              : bench::FolderFileScene(),
                                                    args[1]);
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
        bool large = true;
        for (size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--dir" && i + 1 < args.size()) dir = args[++i], ownDir = false;
            else if (args[i] == "--runs" && i + 1 < args.size()) runs = std::max(1, std::stoi(args[++i]));
            else if (args[i] == "--small-only") large = false;
            else throw std::runtime_error("usage: qwz_bench [--dir FOLDER] [--runs N] [--small-only]");
        }
        const int largeRuns = std::max(1, (runs + 1) / 2);
        fs::create_directories(dir);
        const fs::path self = fs::canonical("/proc/self/exe");

        {
            KlasaQwz doc;
            bench::BuildScene(doc, bench::MeshCountScene(kSmallMeshes));
            const bench::SceneCounts c = bench::CountScene(doc);
            std::printf("small file: %llu meshes, %llu vertices, %llu faces, %llu group records, %llu extra-data "
                        "blocks; 4x and 16x of it: 4 and 16 times the meshes and the group records\n",
                        (unsigned long long)c.meshes, (unsigned long long)c.vertices,
                        (unsigned long long)c.faces, (unsigned long long)c.records, (unsigned long long)c.blocks);
        }
        std::printf("large file: %u meshes and the group records in step; %u where version 201 or 202 is "
                    "involved (the most version 202 holds)\n",
                    kLargeMeshes, kMost202Meshes);
        std::printf("sources: 204 written by the library, 203 converted from it, 201 written byte by byte by "
                    "the bench's generator (and checked by loading it)\n");
        std::printf("%s\n", warmHeap ? "heap: freed memory may be reused by the next run (--warm-heap)"
                                      : "heap: every run takes its large blocks fresh from the system, as "
                                        "the program's one conversion per process does");
        std::printf("copy = read the whole file and write it whole; cpu = user + system; times are the best of "
                    "%d runs for the small file, %d for 4x, %d for 16x and %d for the large file; med = the ratio of "
                    "the median times\n\n",
                    4 * runs, 2 * runs, runs, largeRuns);

        Sources sources(dir);
        std::vector<std::string> timeMissed, memoryMissed, growthMissed;
        int timeRows = 0, memoryRows = 0;

        std::printf("%-10s %8s | %8s %5s %7s | %7s %5s %7s | %6s %6s %6s | %6s %6s | %-7s %-7s\n",
                    "conversion", "source", "load+sv", "MB/s", "cpu", "copy", "MB/s", "cpu", "ratio", "med",
                    "cpu", "peak", "x size", "time", "memory");
        auto printRow = [&](const Conversion& c, const Result& r) {
            const double ratio = r.convert.wall / r.plain.wall;
            const double memory = double(r.peak) / (r.mb * 1e6);
            std::printf("%-10s %5.1f MB | %7.3fs %5.0f %6.3fs | %6.3fs %5.0f %6.3fs | %5.2fx %5.2fx %5.2fx | "
                        "%3.0f MB %5.2fx | %-7s %-7s\n",
                        c.name, r.mb, r.convert.wall, r.mb / r.convert.wall, r.convert.cpu, r.plain.wall,
                        r.mb / r.plain.wall, r.plain.cpu, ratio, r.convert.Median() / r.plain.Median(),
                        r.convert.cpu / r.plain.cpu, double(r.peak) / 1e6, memory,
                        Verdict(ratio <= kTimeAim), Verdict(memory <= kMemoryAim));
            char label[64];
            std::snprintf(label, sizeof label, "%s at %.0f MB", c.name, r.mb);
            ++timeRows, ++memoryRows;
            if (ratio > kTimeAim) timeMissed.push_back(label);
            if (memory > kMemoryAim) memoryMissed.push_back(label);
            if (r.sameBytes == 0) std::printf("%-10s output DIFFERS from the source\n", "");
        };

        // Small files first, with the growth series (the small file is its 1x).
        std::vector<std::vector<Result>> growth;
        for (const Conversion& c : kConversions) {
            std::vector<Result>& series = growth.emplace_back();
            for (uint32_t g : kGrowth) {
                const fs::path& source = sources.Get(c.sourceVersion, kSmallMeshes * g);
                // Small files are timed more often: their times are short and noisy.
                const int timesRun = runs * (g == 1 ? 4 : g == 4 ? 2 : 1);
                series.push_back(MeasureConversion(self, dir, source, c.target, timesRun, g == 1));
            }
            printRow(c, series.front());
            std::fflush(stdout);
        }
        std::vector<Result> larges;
        if (large) {
            for (const Conversion& c : kConversions) {
                const fs::path& source = sources.Get(c.sourceVersion, LargeMeshesFor(c));
                larges.push_back(MeasureConversion(self, dir, source, c.target, largeRuns, true));
                printRow(c, larges.back());
                std::fflush(stdout);
            }
        }
        std::printf("(peak: of a child process that only loads and saves, %.1f MB of it before the load)\n",
                    growth.empty() ? 0.0 : double(growth[0][0].base) / 1e6);

        std::printf("\ngrowth: load + save time (best of the runs above) at 1x, 4x and 16x the small "
                    "file; the copy's growth beside\n");
        std::printf("%-10s | %16s | %16s | %16s | %-27s | %6s | %-13s |\n", "", "", "", "",
                    "16x against 1x", "16x/4x", "large/16x");
        std::printf("%-10s | %8s %7s | %8s %7s | %8s %7s | %6s %6s %6s %6s | %6s | %6s %6s | %s\n", "conversion",
                    "1x", "time", "4x", "time", "16x", "time", "size", "time", "cpu", "copy", "time", "size", "time",
                    "aim");
        for (size_t i = 0; i < growth.size(); ++i) {
            const std::vector<Result>& s = growth[i];
            const double t16 = s[2].convert.wall / s[0].convert.wall;
            char beyond[32] = "     -      -";
            if (i < larges.size())
                std::snprintf(beyond, sizeof beyond, "%5.2fx %5.2fx", larges[i].mb / s[2].mb,
                              larges[i].convert.wall / s[2].convert.wall);
            std::printf("%-10s | %5.1f MB %6.3fs | %5.1f MB %6.3fs | %5.1f MB %6.3fs | %5.2fx %5.2fx %5.2fx %5.2fx | "
                        "%5.2fx | %s | %s\n",
                        kConversions[i].name, s[0].mb, s[0].convert.wall, s[1].mb, s[1].convert.wall, s[2].mb,
                        s[2].convert.wall, s[2].mb / s[0].mb, t16, s[2].convert.cpu / s[0].convert.cpu,
                        s[2].plain.wall / s[0].plain.wall, s[2].convert.wall / s[1].convert.wall, beyond,
                        Verdict(t16 <= kGrowthAim));
            if (t16 > kGrowthAim) growthMissed.push_back(kConversions[i].name);
        }

        auto summary = [](const char* aim, int rows, const std::vector<std::string>& missed) {
            std::printf("%s: %s", aim, missed.empty() ? "met" : "NOT met");
            if (rows) std::printf(" (%d of %d)", rows - int(missed.size()), rows);
            for (size_t i = 0; i < missed.size(); ++i) std::printf("%s%s", i ? ", " : "; missed by ", missed[i].c_str());
            std::printf("\n");
        };
        std::printf("\naims\n");
        summary("  every conversion within 3x the copy's time", timeRows, timeMissed);
        summary("  peak memory within 6x the file size", memoryRows, memoryMissed);
        summary("  16x the file within 20x the time", int(growth.size()), growthMissed);
        if (ownDir) {
            std::error_code ignored;
            fs::remove_all(dir, ignored);
        }
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qwz_bench: %s\n", e.what());
        return 1;
    }
}
