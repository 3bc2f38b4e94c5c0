// Loads IN, saves it as OUT in VERSION and loads OUT again; prints
// "<version of IN> <version of OUT> <meshes of IN> <meshes of OUT>".
#include "document/Klasaqwz.h"

#include <cstdio>
#include <exception>
#include <string>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: qwz_consumer IN OUT VERSION\n");
        return 2;
    }
    try {
        qwz::KlasaQwz in;
        const int from = in.Load(argv[1]);
        in.Save(std::stoi(argv[3]), argv[2]);
        qwz::KlasaQwz out;
        const int to = out.Load(argv[2]);
        std::printf("%d %d %zu %zu\n", from, to, in.GetDefinition()->MeshNames.size(),
                    out.GetDefinition()->MeshNames.size());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "qwz_consumer: %s\n", e.what());
        return 1;
    }
    return 0;
}
