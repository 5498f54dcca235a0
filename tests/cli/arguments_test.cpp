// Guards the parser every command shares: help and version only alone, any wrong command line
// answered by the usage on standard error without running anything, and options that may stand
// anywhere until "--" ends them.
#include "cli/arguments.h"

#include <CLI/CLI.hpp>
#include <array>
#include <cstdio>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

struct Parsed {
    bool ran = false;
    std::string output;
    std::vector<std::string> operands;
} parsed;

trv::Run defineCopy(CLI::App &command)
{
    command.add_option("-o", parsed.output);
    command.add_option("OPERAND", parsed.operands)->required();
    return [] {
        parsed.ran = true;
        return 7;
    };
}

trv::Run defineBare(CLI::App &)
{
    return [] {
        parsed.ran = true;
        return 5;
    };
}

constexpr trv::Command kCopy{"copy", "usage: trv copy [-o OUT] OPERAND...\n", defineCopy};
constexpr trv::Command kBare{"bare", "usage: trv bare\n", defineBare};
constexpr std::array kCommands{&kCopy, &kBare};

struct Result {
    int status;
    std::string out, err;
};

// What one command line printed on standard output and standard error, and its status.
Result run(std::vector<std::string> args)
{
    parsed = {};
    args.insert(args.begin(), "trv");
    std::vector<char *> argv;
    for (std::string &arg : args)
        argv.push_back(arg.data());
    std::FILE *out = std::tmpfile(), *err = std::tmpfile();
    const int savedOut = ::dup(1), savedErr = ::dup(2);
    std::fflush(stdout);
    ::dup2(::fileno(out), 1);
    ::dup2(::fileno(err), 2);
    const int status = trv::runCommandLine(kCommands, int(argv.size()), argv.data());
    std::fflush(stdout);
    ::dup2(savedOut, 1);
    ::dup2(savedErr, 2);
    ::close(savedOut);
    ::close(savedErr);
    const auto text = [](std::FILE *f) {
        std::string s(std::size_t(std::ftell(f)), '\0');
        std::rewind(f);
        s.resize(std::fread(s.data(), 1, s.size(), f));
        std::fclose(f);
        return s;
    };
    return {status, text(out), text(err)};
}

const std::string kUsage = "usage: trv --help | --version\n"
                           "  Prints this text, or the version.\n"
                           "usage: trv copy [-o OUT] OPERAND...\n"
                           "usage: trv bare\n";

} // namespace

TEST(Arguments, HelpAndVersionAnswerAloneAndAnyWrongCommandLinePrintsTheUsageAndRunsNothing)
{
    for (const char *help : {"--help", "-h"}) {
        const Result r = run({help});
        EXPECT_EQ(r.status, 0);
        EXPECT_EQ(r.out.substr(0, kUsage.size()), kUsage);
        EXPECT_NE(r.out.find("Escapes: "), std::string::npos);
        EXPECT_EQ(r.err, "");
    }
    const Result version = run({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out, "trv " TARVOLO_VERSION "\n");
    // The arguments of each apart by blanks, '' an empty one.
    for (const std::string line :
         {"", "frobnicate", "''", "COPY a", "copy", "copy a -o", "copy -x a", "copy -o a -o b c", "bare extra",
          "bare copy a", "--help bare", "--version --help", "-hh", "--help=1", "bare --help"}) {
        std::vector<std::string> args;
        std::istringstream words(line);
        for (std::string word; words >> word;)
            args.push_back(word == "''" ? "" : word);
        const Result r = run(args);
        EXPECT_EQ(r.status, 2) << line;
        EXPECT_EQ(r.err.substr(0, kUsage.size()), kUsage) << line;
        EXPECT_EQ(r.out, "") << line;
        EXPECT_FALSE(parsed.ran) << line;
    }
}

TEST(Arguments, OptionsStandAnywhereUntilADoubleDashAndTheCommandsStatusIsReturned)
{
    EXPECT_EQ(run({"copy", "a", "-o", "out", "b"}).status, 7);
    EXPECT_EQ(parsed.output, "out");
    EXPECT_EQ(parsed.operands, (std::vector<std::string>{"a", "b"}));
    run({"copy", "-oout", "a"});
    EXPECT_EQ(parsed.output, "out");
    run({"copy", "-o", "-x", "a"}); // an option's value may begin with a dash
    EXPECT_EQ(parsed.output, "-x");
    EXPECT_EQ(run({"copy", "--", "-x", "--help", "bare", "\xff\t\n"}).status, 7);
    EXPECT_EQ(parsed.operands, (std::vector<std::string>{"-x", "--help", "bare", "\xff\t\n"}));
    EXPECT_EQ(run({"bare"}).status, 5);
}
