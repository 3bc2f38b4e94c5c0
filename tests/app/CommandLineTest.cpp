#include "app/CommandLine.h"

#include <gtest/gtest.h>

namespace qwz {
namespace {

using Args = std::vector<std::string>;

TEST(CommandLine, NoActionOpensTheWindow) {
    EXPECT_EQ(ParseCommandLine({}).kind, CommandLineAction::OpenWindow);
    // "-v" N as the last arguments is still no action
    EXPECT_EQ(ParseCommandLine(Args{"-v", "202"}).kind, CommandLineAction::OpenWindow);
    EXPECT_EQ(ParseCommandLine(Args{"-v"}).kind, CommandLineAction::OpenWindow);
}

TEST(CommandLine, APathConvertsWithTheTargetSoFar) {
    CommandLineAction a = ParseCommandLine(Args{"hall.qwz"});
    EXPECT_EQ(a.kind, CommandLineAction::Convert);
    EXPECT_EQ(a.path, "hall.qwz");
    EXPECT_EQ(a.pathArg, 0u);
    EXPECT_EQ(a.target, 203);

    a = ParseCommandLine(Args{"-v", "202", "hall.qwz"});
    EXPECT_EQ(a.target, 202);
    EXPECT_EQ(a.pathArg, 2u);
    EXPECT_EQ(ParseCommandLine(Args{"-V", "204", "hall.qwz"}).target, 204);
    // several pairs: the last one counts
    EXPECT_EQ(ParseCommandLine(Args{"-v", "202", "-v", "204", "x"}).target, 204);
    EXPECT_EQ(ParseCommandLine(Args{"-v", "+202", "x"}).target, 202);
}

TEST(CommandLine, WhatIsNotANonNegativeNumberLeavesTheTarget) {
    for (const char* n : {"abc", "", "202abc", "20 2", "-52", "-1", "-0x10", "0x10",
                          "99999999999999999999", "2.5", " 202"}) {
        SCOPED_TRACE(n);
        CommandLineAction a = ParseCommandLine(Args{"-v", n, "hall.qwz"});
        EXPECT_EQ(a.kind, CommandLineAction::Convert);
        EXPECT_EQ(a.path, "hall.qwz");
        EXPECT_EQ(a.target, 203);
    }
    EXPECT_EQ(ParseCommandLine(Args{"-v", "202", "-v", "-52", "x"}).target, 202);
    // the word after -v is used up, even when it names a file
    EXPECT_EQ(ParseCommandLine(Args{"-v", "hall.qwz"}).kind, CommandLineAction::OpenWindow);
}

TEST(CommandLine, OnlyTheFirstActionCounts) {
    CommandLineAction a = ParseCommandLine(Args{"first.qwz", "second.qwz"});
    EXPECT_EQ(a.path, "first.qwz");
    EXPECT_EQ(ParseCommandLine(Args{"-r", "-u", "x.qwz"}).kind, CommandLineAction::Register);
    EXPECT_EQ(ParseCommandLine(Args{"-U", "-r"}).kind, CommandLineAction::Unregister);
    EXPECT_EQ(ParseCommandLine(Args{"x.qwz", "-r"}).kind, CommandLineAction::Convert);
    // how to use it, as the first action
    for (const char* h : {"-h", "-H", "--help", "--HELP", "/?"}) {
        SCOPED_TRACE(h);
        EXPECT_EQ(ParseCommandLine(Args{"-v", "202", h, "x.qwz"}).kind, CommandLineAction::Help);
    }
    EXPECT_EQ(ParseCommandLine(Args{"x.qwz", "--help"}).kind, CommandLineAction::Convert);
    for (const char* v : {"--version", "--VERSION"}) {
        SCOPED_TRACE(v);
        EXPECT_EQ(ParseCommandLine(Args{"-v", "202", v, "-r"}).kind, CommandLineAction::Version);
    }
    EXPECT_EQ(ParseCommandLine(Args{"-u", "--version"}).kind, CommandLineAction::Unregister);
    // "-v" takes "--version" as its number, so it is no action
    EXPECT_EQ(ParseCommandLine(Args{"-v", "--version"}).kind, CommandLineAction::OpenWindow);
    for (const char* e : {"-Embedding", "/Embedding", "-EMBEDDING"}) {  // COM starts the Explorer command's server
        a = ParseCommandLine(Args{"-v", "202", e, "x.qwz"});
        EXPECT_TRUE(a.kind == CommandLineAction::Embedding && a.target == 202) << e;
    }
    // -r always registers for 203
    a = ParseCommandLine(Args{"-v", "202", "-R"});
    EXPECT_EQ(a.kind, CommandLineAction::Register);
    EXPECT_EQ(a.target, 203);
}

TEST(CommandLine, SwitchesAreComparedWhole) {
    for (const char* s : {"-rr", "-r ", "--r", "r", "/r", "-", "-x", "-ver", "--helpme", "-help", "/h", "?",
                          "-version", "--versions", "--v", "-Embeddings", "Embedding"}) {
        SCOPED_TRACE(s);
        CommandLineAction a = ParseCommandLine(Args{s});
        EXPECT_EQ(a.kind, CommandLineAction::Convert);
        EXPECT_EQ(a.path, s);
    }
}

}  // namespace
}  // namespace qwz
