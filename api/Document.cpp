#include "qwz/Document.h"

#include "api/KeepParams.h"
#include "api/ReadDocument.h"
#include "api/Remarks.h"
#include "format/Klasaqwz.h"
#include "engine/ExceptionText.h"
#include "format/VersionTable.h"
#include "platform/FileWrite.h"

#include <algorithm>
#include <exception>
#include <new>

namespace qwz::api {
namespace {

template <class Record>
std::vector<Group> Groups(const std::vector<std::string>& names, const std::vector<int32_t>& attributes,
                          const std::vector<std::vector<Record>>& records) {
    std::vector<Group> out;
    for (size_t i = 0; i < names.size(); ++i)
        out.push_back({names[i], i < attributes.size() ? attributes[i] : 0,
                       i < records.size() ? records[i].size() : 0});
    return out;
}

}  // namespace

struct Document::Impl {
    std::unique_ptr<KlasaQwz> doc = std::make_unique<KlasaQwz>();
    bool loaded = false;

    // A fresh document to read into: nothing of the last file stays.
    KlasaQwz& Fresh() {
        loaded = false;
        doc = std::make_unique<KlasaQwz>();
        return *doc;
    }
    CheckResult Took(CheckResult r) {
        loaded = r.status == CheckStatus::Sound;
        if (!loaded) doc = std::make_unique<KlasaQwz>();
        return r;
    }
};

Document::Document() : impl_(std::make_unique<Impl>()) {}
Document::~Document() = default;
Document::Document(Document&&) noexcept = default;
Document& Document::operator=(Document&&) noexcept = default;

CheckResult Document::Read(const std::filesystem::path& path) {
    return impl_->Took(ReadDocument(path, impl_->Fresh()));
}

CheckResult Document::Read(const std::uint8_t* data, std::size_t size) {
    KlasaQwz& doc = impl_->Fresh();
    try {
        return impl_->Took(ReadDocument(std::vector<uint8_t>(data, data + size), doc));
    } catch (const std::bad_alloc&) {
        CheckResult r;
        r.reason = "za mało pamięci, by wczytać plik";
        return impl_->Took(r);
    }
}

bool Document::Empty() const { return !impl_->loaded; }

Contents Document::Describe() const {
    Contents c;
    if (!impl_->loaded) return c;
    KlasaQwz& doc = *impl_->doc;  // its definition is reached only through a non-const call
    c.version = doc.Version;
    std::copy(std::begin(doc.RefPoint), std::end(doc.RefPoint), c.referencePoint.begin());
    c.vertexScale = doc.VertexScale;
    const DefinicjaObiektu& def = *doc.GetDefinition();
    c.circles = Groups(def.CircleNames, def.CircleAttributes, def.Circles);
    c.lines = Groups(def.LineNames, def.LineAttributes, def.Lines);
    c.polylines = Groups(def.PolyNames, def.PolyAttributes, def.Polys);
    c.arcs = Groups(def.ArcNames, def.ArcAttributes, def.Arcs);
    for (size_t i = 0; i < def.MeshNames.size(); ++i)
        c.meshes.push_back({def.MeshNames[i], i < def.MeshAttributes.size() ? def.MeshAttributes[i] : 0,
                            i < def.Vertices.size() ? def.Vertices[i].size() : 0,
                            i < def.Faces.size() ? def.Faces[i].size() : 0});
    for (const auto& [kind, blocks] : def.Containers)
        if (!blocks.empty()) c.tail.push_back({int(kind), blocks.size()});
    return c;
}

std::vector<std::uint8_t> Document::Encode(int version, const Keep& keep) {
    if (!impl_->loaded) throw Error("dokument jest pusty: nie wczytano pliku");
    const std::vector<int> written = WrittenVersions();
    if (std::find(written.begin(), written.end(), version) == written.end())
        throw Error("nie można zapisać wersji " + std::to_string(version) + " (zapisywane: " +
                    VersionListText(written) + ")");
    std::vector<std::string> said;
    CallRemarks remarks(said);
    try {
        Warnings warnings;
        std::vector<std::uint8_t> bytes = impl_->doc->SaveBytes(version, ParamsOf(keep, version, false), &warnings);
        RemarkWarnings(warnings);
        return bytes;
    } catch (const std::exception& e) {
        throw Error(ExceptionText(e));
    }
}

void Document::Write(const std::filesystem::path& path, int version, const Keep& keep) {
    const std::vector<std::uint8_t> bytes = Encode(version, keep);
    std::string error;
    if (!platform::WriteWholeFile(path, bytes, &error))
        throw Error(error.empty() ? "nie można zapisać pliku" : error);
}

}  // namespace qwz::api
