// The Explorer command's registry work on an in-memory registry: what is
// written, what is removed, and what a registry that refuses writes does.
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

TEST(ShellVerbRegistration, WritesVerbAndCommandAndRemovesOnlyUserKeysWithValues) {
    FakeRegistry reg;
    reg.Put(Root::CurrentUser, std::string(kUserClassesKey) + "\\shell\\open\\command", "x");
    reg.Put(Root::CurrentUser, kUserClassesKey, "qwzfile");
    reg.Put(Root::CurrentUser, std::string(kUserFileExtsKey) + "\\OpenWithList", std::nullopt,
            {{"a", "notepad.exe"}});

    RegisterShellVerbIn(reg, 202, "C:\\p\\QwzDowngrader.exe");
    RegisterShellVerbIn(reg, 204, "C:\\p\\QwzDowngrader.exe");

    ASSERT_NE(reg.Find(Root::ClassesRoot, kShellVerbKey), nullptr);
    EXPECT_EQ(reg.Find(Root::ClassesRoot, kShellVerbKey)->defaultValue,
              "Dostosuj do starszych wersji programu");
    EXPECT_EQ(reg.Find(Root::ClassesRoot, kShellVerbCommandKey)->defaultValue,
              "\"C:\\p\\QwzDowngrader.exe\" -v 204 \"%1\"");
    // The per-user class key had a default value: gone with its subkeys,
    // deepest first.
    EXPECT_EQ(reg.Find(Root::CurrentUser, kUserClassesKey), nullptr);
    EXPECT_EQ(reg.Find(Root::CurrentUser, std::string(kUserClassesKey) + "\\shell"), nullptr);
    auto first = std::find(reg.log.begin(), reg.log.end(),
                           "delete software\\classes\\.qwz\\shell\\open\\command");
    auto last = std::find(reg.log.begin(), reg.log.end(), "delete software\\classes\\.qwz");
    ASSERT_NE(first, reg.log.end());
    ASSERT_NE(last, reg.log.end());
    EXPECT_LT(first, last);
    // FileExts\.qwz has only a subkey (whose values do not count): stays.
    EXPECT_NE(reg.Find(Root::CurrentUser, kUserFileExtsKey), nullptr);
    EXPECT_NE(reg.Find(Root::CurrentUser, std::string(kUserFileExtsKey) + "\\OpenWithList"),
              nullptr);
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

TEST(ShellVerbRemoval, RemovesOnlyAVerbThatHoldsItsMenuText) {
    FakeRegistry reg;
    UnregisterShellVerbIn(reg);  // nothing there: nothing happens
    EXPECT_EQ(reg.KeyCount(), 0u);
    EXPECT_TRUE(reg.log.empty());

    reg.Put(Root::ClassesRoot, kShellVerbCommandKey, "cmd");
    reg.Put(Root::ClassesRoot, kShellVerbKey, std::nullopt);  // menu text removed by hand
    UnregisterShellVerbIn(reg);
    EXPECT_NE(reg.Find(Root::ClassesRoot, kShellVerbKey), nullptr);

    RegisterShellVerbIn(reg, 203, "a.exe");
    UnregisterShellVerbIn(reg);
    EXPECT_EQ(reg.Find(Root::ClassesRoot, kShellVerbKey), nullptr);
    EXPECT_EQ(reg.Find(Root::ClassesRoot, kShellVerbCommandKey), nullptr);
    EXPECT_NE(reg.Find(Root::ClassesRoot, ".qwz\\shell"), nullptr);
    EXPECT_NE(reg.Find(Root::ClassesRoot, ".qwz"), nullptr);
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
