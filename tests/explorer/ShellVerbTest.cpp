// The Explorer command's registry work on an in-memory registry that
// refuses writes: what each step does then. (What is written and removed
// is shown on Wine's real registry.)
#include "app/Functions.h"
#include "support/FakeRegistry.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

using platform::RegistryError;
using Root = platform::RegistryRoot;
using test::FakeRegistry;

TEST(ShellVerbCommand, QuotesProgramAndFileAroundTheVersion) {
    EXPECT_EQ(ShellVerbCommand("C:\\Program Files\\QWZ Downgrader\\QwzDowngrader.exe", 203),
              "\"C:\\Program Files\\QWZ Downgrader\\QwzDowngrader.exe\" -v 203 \"%1\"");
    EXPECT_EQ(ShellVerbCommand("a.exe", -5), "\"a.exe\" -v -5 \"%1\"");
}

TEST(ShellVerbRegistration, RefusedWriteThrowsAtOnceAndTouchesNothingElse) {
    FakeRegistry reg;
    reg.Put(Root::CurrentUser, kUserClassesKey, "qwzfile");
    reg.refuseWrites = true;
    reg.log.clear();
    EXPECT_THROW(RegisterShellVerbIn(reg, 203, "C:\\p\\a.exe"), RegistryError);
    EXPECT_TRUE(reg.log.empty());
    EXPECT_NE(reg.Find(Root::CurrentUser, kUserClassesKey), nullptr);
}

TEST(ShellVerbRegistration, UserKeyThatCannotBeDeletedIsLeftSilently) {
    // Writes to the class registry succeed, the per-user deletion fails:
    // registration still succeeds.
    struct PartlyRefusing : FakeRegistry {
        void DeleteTree(Root root, const std::string& key) override {
            if (root == Root::CurrentUser) throw RegistryError("delete refused", 5);
            FakeRegistry::DeleteTree(root, key);
        }
    } reg;
    reg.Put(Root::CurrentUser, kUserFileExtsKey, "x");
    EXPECT_NO_THROW(RegisterShellVerbIn(reg, 203, "a.exe"));
    EXPECT_NE(reg.Find(Root::CurrentUser, kUserFileExtsKey), nullptr);
    EXPECT_NE(reg.Find(Root::ClassesRoot, kShellVerbCommandKey), nullptr);
}

TEST(ShellVerbRemoval, RefusedDeletionIsReportedNotSwallowed) {
    FakeRegistry reg;
    RegisterShellVerbIn(reg, 203, "a.exe");
    reg.refuseWrites = true;
    EXPECT_THROW(UnregisterShellVerbIn(reg), RegistryError);
    EXPECT_NE(reg.Find(Root::ClassesRoot, kShellVerbKey), nullptr);
}

#ifdef _WIN32
// The public functions work on whatever registry is in use.
TEST(ShellVerbRegistration, PublicFunctionsUseTheRegistryInUse) {
    FakeRegistry reg;
    platform::Registry* previous = platform::UseRegistry(&reg);
    reg.refuseWrites = true;
    EXPECT_THROW(RegisterShellVerb(203), RegistryError);
    reg.refuseWrites = false;
    RegisterShellVerb(204);
    platform::UseRegistry(previous);
    ASSERT_NE(reg.Find(Root::ClassesRoot, kShellVerbCommandKey), nullptr);
    EXPECT_NE(reg.Find(Root::ClassesRoot, kShellVerbCommandKey)->defaultValue->find(" -v 204 "),
              std::string::npos);
}
#endif

}  // namespace
}  // namespace qwz
