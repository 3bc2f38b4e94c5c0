// Writes the seed corpora of the fuzz targets: the tests' rich sample files
// of every version, built byte by byte, each with every target for the
// load-and-save target, and the rich tail. Usage: fuzz_seeds OUTPUT_DIR
#include "format/Klasaqwz.h"
#include "fuzz/FuzzQuiet.h"
#include "support/OldLayoutSamples.h"
#include "support/RichSample204.h"

#include <filesystem>
#include <fstream>
#include <iostream>

namespace {

void Write(const std::filesystem::path& p, const std::vector<uint8_t>& bytes) {
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: fuzz_seeds OUTPUT_DIR\n";
        return 2;
    }
    qwz::fuzz::Quiet();
    const std::filesystem::path out = argv[1];
    for (const char* dir : {"load", "load_save", "tail"}) std::filesystem::create_directories(out / dir);

    const std::vector<std::pair<int, std::vector<uint8_t>>> files = {
        {204, qwz::test::RichSample204().File()},
        {203, qwz::test::Rich203().vec()},
        {202, qwz::test::Rich202().vec()},
        {201, qwz::test::Rich201().vec()},
    };
    for (const auto& [version, bytes] : files) {
        const std::string name = "v" + std::to_string(version);
        Write(out / "load" / (name + ".qwz"), bytes);
        for (int target = 0; target < 3; ++target) {
            std::vector<uint8_t> seed = {uint8_t(target), 0x7F};
            seed.insert(seed.end(), bytes.begin(), bytes.end());
            Write(out / "load_save" / (name + "-to" + std::to_string(202 + target)), seed);
        }
    }
    Write(out / "tail" / "tail", qwz::test::RichSample204().Tail());
    std::cout << "seeds written to " << out << "\n";
    return 0;
}
