// One QWZ file in memory: read from a file or from bytes, described, and
// written in any version the library writes (202, 203, 204).
#pragma once

#include <qwz/Check.h>
#include <qwz/Keep.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace qwz::api {

// A document that cannot be written as asked; what() is the reason
// (Polish, UTF-8).
class Error : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One name of a geometry group (circles, lines, polylines, arcs).
struct Group {
    std::string name;  // the name's bytes as the file holds them (8-bit text)
    std::int32_t attribute = 0;
    std::uint64_t records = 0;
};

struct Mesh {
    std::string name;  // as Group::name
    std::int32_t attribute = 0;
    std::uint64_t vertices = 0;
    std::uint64_t faces = 0;
};

// The blocks of one kind of extra data.
struct TailKind {
    int kind = 0;               // the kind byte: 1, 5 UV, 3 scaling zones, others carried as they are
    std::uint64_t blocks = 0;
};

struct Contents {
    int version = 0;
    std::array<float, 3> referencePoint{};
    float vertexScale = 0;
    std::vector<Group> circles, lines, polylines, arcs;
    std::vector<Mesh> meshes;
    std::vector<TailKind> tail;
};

class Document {
public:
    Document();
    ~Document();
    Document(Document&&) noexcept;
    Document& operator=(Document&&) noexcept;

    // Reads a whole file, or bytes in memory, replacing what the document
    // held. Only a Sound result leaves content; anything else leaves the
    // document empty. Never throws.
    CheckResult Read(const std::filesystem::path& path);
    CheckResult Read(const std::uint8_t* data, std::size_t size);

    bool Empty() const;
    // What the document holds; an empty document gives version 0.
    Contents Describe() const;

    // The file's bytes in `version`, keeping what `keep` says. An older
    // layout re-quantises the vertices, so the document then holds what
    // was written. Throws Error for an empty document, a version that is
    // not written, or content that does not fit the layout.
    std::vector<std::uint8_t> Encode(int version, const Keep& keep = {});
    // Encode written to `path` (created or overwritten; not the safe
    // in-place replacement of Convert). Throws Error, also when the file
    // cannot be written.
    void Write(const std::filesystem::path& path, int version, const Keep& keep = {});

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace qwz::api
