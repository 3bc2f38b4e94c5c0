// A replacement run on a file system of the test's own that records what is
// durable: after every step, the machine may lose power, which throws away
// every write that was not flushed and any of the name changes that were
// not yet made durable by a sync of the folder. In every state that such a
// loss can leave, the user's name holds the original or the complete new
// file, and the backup name nothing or the complete original.
#include "platform/SafeReplace.h"

#include <gtest/gtest.h>

#include <map>

namespace qwz::platform {
namespace {

namespace fs = std::filesystem;
using Names = std::map<std::string, uint64_t>;  // one folder: name -> file

class PowerLossDisk final : public FileOps {
public:
    explicit PowerLossDisk(bool links) : links_(links) {}

    void Put(const std::string& name, const std::vector<uint8_t>& bytes) {
        const uint64_t id = next_++;
        files_[id] = {bytes, bytes, 1};
        names_[name] = durable_[name] = id;
    }
    // Called after every step that changes the disk.
    std::function<void()> afterStep;

    // Every state a power loss now would leave: the durable names with any
    // ordered subset of the name changes not yet synced, each file with its
    // flushed bytes.
    std::vector<std::map<std::string, std::vector<uint8_t>>> StatesAfterPowerLoss() const {
        std::vector<std::map<std::string, std::vector<uint8_t>>> states;
        for (uint32_t subset = 0; subset < (1u << pending_.size()); ++subset) {
            Names names = durable_;
            for (size_t i = 0; i < pending_.size(); ++i)
                if (subset & (1u << i)) Apply(pending_[i], names);
            std::map<std::string, std::vector<uint8_t>> state;
            for (const auto& [name, id] : names) state[name] = files_.at(id).durable;
            states.push_back(std::move(state));
        }
        return states;
    }
    std::map<std::string, std::vector<uint8_t>> Now() const {
        std::map<std::string, std::vector<uint8_t>> state;
        for (const auto& [name, id] : names_) state[name] = files_.at(id).data;
        return state;
    }

    NameKind Examine(const fs::path& path, bool, FileState* state) override {
        auto it = names_.find(Key(path));
        if (it == names_.end()) return NameKind::Missing;
        if (state) *state = StateOf(it->second);
        return NameKind::Regular;
    }
    bool IsReadOnly(const fs::path&) override { return false; }
    bool IsInUse(const fs::path&, Reason&) override { return false; }
    size_t NameLimit(const fs::path&) override { return 255; }
    bool ReadFolder(const fs::path&, std::vector<FolderEntry>& entries, Reason&) override {
        for (const auto& entry : names_) entries.push_back({entry.first, NameKind::Regular});
        return true;
    }
    bool OpenToRead(const fs::path& path, FileHandle& file, Reason& error) override {
        auto it = names_.find(Key(path));
        if (it == names_.end()) return (error = "brak pliku", false);
        file.value = intptr_t(it->second);
        return true;
    }
    LockResult TryLock(FileHandle, FileLock&, Reason&) override { return LockResult::Locked; }
    bool StateOf(FileHandle file, FileState& state, Reason&) override {
        state = StateOf(uint64_t(file.value));
        return true;
    }
    bool ReadAt(FileHandle file, uint64_t offset, uint8_t* data, size_t size, size_t& got,
                Reason&) override {
        const std::vector<uint8_t>& bytes = files_.at(uint64_t(file.value)).data;
        got = offset < bytes.size() ? std::min<size_t>(size, bytes.size() - offset) : 0;
        std::copy_n(bytes.begin() + long(std::min<uint64_t>(offset, bytes.size())), got, data);
        return true;
    }
    bool CreateNew(const fs::path& path, const fs::path&, FileHandle& file, bool& exists,
                   Reason& error) override {
        exists = names_.count(Key(path)) != 0;
        if (exists) return (error = "zajęte", false);
        const uint64_t id = next_++;
        files_[id] = {};
        Change({Op::Name, Key(path), "", id});
        file.value = intptr_t(id);
        return true;
    }
    bool Write(FileHandle file, const uint8_t* data, size_t size, size_t& written,
               Reason&) override {
        File& f = files_.at(uint64_t(file.value));
        f.data.insert(f.data.end(), data, data + size);
        ++f.modified;
        written = size;
        Step();
        return true;
    }
    bool Flush(FileHandle file, Reason&) override {
        File& f = files_.at(uint64_t(file.value));
        f.durable = f.data;
        Step();
        return true;
    }
    bool Close(FileHandle& file, Reason&) override {
        file.value = -1;
        return true;
    }
    NoReplace Link(const fs::path& existing, const fs::path& newName, Reason& error) override {
        if (!links_) return (error = "bez dowiązań", NoReplace::Unsupported);
        if (names_.count(Key(newName))) return NoReplace::NameTaken;
        Change({Op::Name, Key(newName), "", names_.at(Key(existing))});
        return NoReplace::Done;
    }
    NoReplace RenameNoReplace(const fs::path& from, const fs::path& to, Reason&) override {
        if (names_.count(Key(to))) return NoReplace::NameTaken;
        Change({Op::Move, Key(to), Key(from), names_.at(Key(from))});
        return NoReplace::Done;
    }
    bool RenameReplace(const fs::path& from, const fs::path& to, Reason&) override {
        Change({Op::Move, Key(to), Key(from), names_.at(Key(from))});
        return true;
    }
    bool SyncFolder(const fs::path&, Reason&) override {
        durable_ = names_;
        pending_.clear();
        Step();
        return true;
    }
    bool Remove(const fs::path& path, Reason&) override {
        Change({Op::Unname, Key(path), "", 0});
        return true;
    }

private:
    struct File {
        std::vector<uint8_t> data, durable;
        int64_t modified = 0;
    };
    struct Op {
        enum Kind { Name, Move, Unname } kind;
        std::string name, from;
        uint64_t file;
    };

    static std::string Key(const fs::path& path) { return path.filename().string(); }
    static void Apply(const Op& op, Names& names) {
        if (op.kind == Op::Unname) names.erase(op.name);
        else names[op.name] = op.file;
        if (op.kind == Op::Move) names.erase(op.from);
    }
    FileState StateOf(uint64_t id) const {
        FileState s;
        s.device = 1;
        s.file = id;
        s.size = files_.at(id).data.size();
        s.modified = files_.at(id).modified;
        for (const auto& entry : names_) s.links += entry.second == id;
        return s;
    }
    void Change(const Op& op) {
        Apply(op, names_);
        pending_.push_back(op);
        Step();
    }
    void Step() {
        if (afterStep) afterStep();
    }

    bool links_;
    uint64_t next_ = 1;
    std::map<uint64_t, File> files_;
    Names names_, durable_;
    std::vector<Op> pending_;
};

TEST(PowerLoss, AtEveryStepTheNameHoldsTheOriginalOrTheWholeNewFile) {
    const std::vector<uint8_t> original(3000, 'o'), converted(5000, 'n');
    for (const bool links : {true, false}) {
        for (const bool keep : {true, false}) {
            SCOPED_TRACE(std::string(links ? "backup by link" : "backup by copy") + (keep ? "" : ", none kept"));
            PowerLossDisk disk(links);
            disk.Put("a.qwz", original);
            int steps = 0, states = 0;
            disk.afterStep = [&] {
                ++steps;
                for (const auto& state : disk.StatesAfterPowerLoss()) {
                    ++states;
                    auto file = state.find("a.qwz");
                    ASSERT_NE(file, state.end()) << "step " << steps << ": the user's name is empty";
                    EXPECT_TRUE(file->second == original || file->second == converted)
                        << "step " << steps << ": a file of " << file->second.size() << " bytes";
                    auto backup = state.find("a_org.qwz");
                    if (backup != state.end()) {
                        EXPECT_EQ(backup->second, original) << "step " << steps;
                    }
                    // The new file in place means the original is kept.
                    if (keep && file->second == converted) {
                        EXPECT_NE(backup, state.end()) << "step " << steps << ": the original is lost";
                    }
                }
            };
            ReplaceOptions options;
            if (keep) options.backup = "a_org.qwz";
            options.writeChunk = 1024;
            Reason reason;
            ASSERT_TRUE(ReplaceFileSafely("a.qwz", converted, options, reason, disk)) << reason;
            const auto now = disk.Now();
            EXPECT_EQ(now.at("a.qwz"), converted);
            EXPECT_EQ(now.size(), keep ? 2u : 1u) << "only the file and its backup are left";
            if (keep) {
                EXPECT_EQ(now.at("a_org.qwz"), original);
            }
            std::printf("[ power    ] %s%s: %d steps, %d states after a power loss\n",
                        links ? "link" : "copy", keep ? "" : " (no backup)", steps, states);
        }
    }
}

}  // namespace
}  // namespace qwz::platform
