// vexo-cli case by case from tests/data/cli_cases.txt (its head describes the format): every
// exit status and every byte it prints, and what became of the files it was given.
#include "cli/cli_app.hpp"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <csignal>
#include <filesystem>
#include <map>
#include <optional>
#include <sstream>

#include "cli/break_signal.hpp"
#include "cli/progress_bar.hpp"
#include "tests/support/picture_golden.hpp"
#include "tests/support/test_support.hpp"

namespace vexo::cli {
namespace {

using namespace vexo::testing;

struct Case {
    std::string name;
    std::vector<std::pair<std::string, std::string>> steps;  // directive, rest of the line
    friend void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }
};

std::string Unescape(const std::string& text) {
    const std::string codes = "nrtes", bytes = "\n\r\t\x1b ";
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i] == '\\' && i + 1 < text.size() ? text[++i] : '\0';
        if (c == 'x') {
            out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
            i += 2;
        } else {
            out += c == '\0' ? text[i] : codes.find(c) != std::string::npos ? bytes[codes.find(c)] : c;
        }
    }
    return out;
}

std::vector<std::string> Words(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::string> words;
    for (std::string w; in >> w;) words.push_back(w);
    return words;
}

std::vector<Case> ReadCases() {
    std::istringstream in(ReadFile(DataDir() / "cli_cases.txt"));
    std::vector<Case> cases;
    std::map<std::string, std::string> defs;
    for (std::string line; std::getline(in, line);) {
        if (line.empty() || line[0] == '#') continue;
        const auto space = line.find(' ');
        const std::string word = line.substr(0, space),
                          rest = space == std::string::npos ? "" : line.substr(space + 1);
        if (word == "def") {
            defs[rest.substr(0, rest.find(' '))] = rest.substr(rest.find(' ') + 1);
        } else if (word == "==") {
            cases.push_back({rest, {}});
        } else {
            std::string expanded;
            for (const std::string& w : word == "run" ? Words(rest) : std::vector<std::string>{})
                expanded += (defs.count(w) != 0 ? defs[w] : w) + " ";
            cases.back().steps.emplace_back(word, word == "run" ? expanded : rest);
        }
    }
    return cases;
}

struct Output {
    int code = -1;
    std::string out, err;
};

// Runs the tool in this process, or in a child whose address space is limited, so that a case
// which takes memory by a number in its file fails here as it would on a small machine.
Output RunTool(const std::vector<std::string>& args, bool terminal, std::uint32_t ctrl_c_at,
               std::uint32_t ctrl_c_measuring, bool limit, std::optional<std::uint64_t> free,
               EngineState& state, const std::filesystem::path& scratch) {
    std::vector<const char*> argv{"vexo-cli"};
    for (const auto& a : args) argv.push_back(a.c_str());
    auto run = [&] {
        std::ostringstream out, err;
        const auto ctrl_c = [](std::uint32_t at) {
            return [at](std::uint32_t pass) {
                if (pass == at) std::raise(SIGINT);
            };
        };
        CliStreams streams{out, err, terminal, ctrl_c(ctrl_c_at), {}, ctrl_c(ctrl_c_measuring)};
        if (free) streams.free_space = [free](const std::string&) { return free; };
        Output o{RunCli(static_cast<int>(argv.size()), argv.data(), streams, state), out.str(), err.str()};
        struct sigaction after {};
        sigaction(SIGINT, nullptr, &after);
        if (after.sa_handler != SIG_DFL) o.err += "[the Ctrl-C handler stayed]\n";
        return o;
    };
    if (!limit) return run();
    const pid_t child = ::fork();
    if (child == 0) {
#if !defined(__SANITIZE_ADDRESS__)
        const rlimit memory{rlim_t{768} << 20, rlim_t{768} << 20};
        ::setrlimit(RLIMIT_AS, &memory);
#endif
        const Output o = run();
        WriteFile(scratch / "out", o.out);
        WriteFile(scratch / "err", o.err);
        ::_exit(o.code);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return {WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status), ReadFile(scratch / "out"),
            ReadFile(scratch / "err")};
}

class CliCase : public ::testing::TestWithParam<Case> {};

TEST_P(CliCase, ExitOutputAndFiles) {
    TempDir dir, scratch;
    const std::string at = dir.path("x").parent_path().string();
    auto place = [&](std::string text) {
        for (const auto& [key, value] :
             {std::pair<std::string, std::string>{"@", at}, {"DATA", DataDir().string()}}) {
            for (auto i = text.find(key); i != std::string::npos; i = text.find(key, i + value.size()))
                text.replace(i, key.size(), value);
        }
        return Unescape(text);
    };
    EngineState state;
    Output last;
    std::string out, err;
    int code = 0;
    bool check = false, terminal = false, limit = false;
    std::uint32_t ctrl_c_at = UINT32_MAX, ctrl_c_measuring = UINT32_MAX;
    std::optional<std::uint64_t> free;  // the free space the next run is told of
    auto settle = [&] {
        SCOPED_TRACE("the run before");
        if (check) {
            EXPECT_EQ(last.code, code) << last.err;
            EXPECT_EQ(last.err, err);
            EXPECT_EQ(last.out, out);
        }
        out.clear(), err.clear(), code = 0, check = false;
    };
    for (const auto& [word, text] : GetParam().steps) {
        SCOPED_TRACE(word + " " + text);
        const std::vector<std::string> w = Words(text);
        auto path = [&](std::size_t i) { return std::filesystem::path(place(w.at(i))); };
        auto rest = [&] { return place(text.substr(text.find(' ') + 1)); };
        if (word == "run") {
            settle();
            std::vector<std::string> args;
            for (const std::string& a : w) args.push_back(place(a));
            last = RunTool(args, terminal, ctrl_c_at, ctrl_c_measuring, limit, free, state, scratch.path(""));
            check = true, terminal = false, limit = false, ctrl_c_at = ctrl_c_measuring = UINT32_MAX;
            free.reset();
        } else if (word == "free") {
            free = std::stoull(text);
        } else if (word == "tty" || word == "limit") {
            (word == "tty" ? terminal : limit) = true;
        } else if (word == "fresh") {
            state = EngineState{};
        } else if (word == "skip-asan") {
#if defined(__SANITIZE_ADDRESS__)
            GTEST_SKIP() << "AddressSanitizer aborts on a failed throwing new instead of throwing";
#endif
        } else if (word == "ctrlc" || word == "ctrlc-measuring") {
            (word == "ctrlc" ? ctrl_c_at : ctrl_c_measuring) = static_cast<std::uint32_t>(std::stoul(text));
        } else if (word == "exit") {
            code = std::stoi(text);
        } else if (word == "out" || word == "err") {
            (word == "out" ? out : err) += place(text) + "\n";
        } else if (word == "any") {
            check = false;
        } else if (word == "write") {
            WriteFile(path(0), rest());
        } else if (word == "fifo") {
            ASSERT_EQ(::mkfifo(path(0).c_str(), 0600), 0);
        } else if (word == "listing") {
            std::vector<std::string> names = w;
            for (std::string& n : names) n = place(n);
            EXPECT_EQ(dir.Listing(), names);
        } else if (word == "file") {
            EXPECT_EQ(ReadFile(path(0)), w.size() == 1 ? "" : rest());
        } else if (word == "golden" && w.at(1).ends_with(".png")) {
            EXPECT_TRUE(MatchesGoldenPicture(QImage(QString::fromStdString(path(0).string())), w.at(1)));
        } else if (word == "golden") {
            EXPECT_TRUE(MatchesGolden(ReadFile(path(0)), w.at(1)));
        } else if (word == "contains" || word == "starts") {
            const std::string bytes = ReadFile(path(0));
            EXPECT_TRUE(word == "starts" ? bytes.starts_with(rest())
                                         : bytes.find(rest()) != std::string::npos);
        } else if (word == "same" || word == "differ") {
            EXPECT_EQ(ReadFile(path(0)) == ReadFile(path(1)), word == "same");
            EXPECT_TRUE(std::filesystem::exists(path(0)) && std::filesystem::exists(path(1)));
        } else if (word == "png") {
            EXPECT_EQ(QImage(QString::fromStdString(path(0).string())).size(),
                      QSize(std::stoi(w.at(1)), std::stoi(w.at(2))));
        } else if (word == "valid") {
            EXPECT_TRUE(PassesValidator(path(0).string()));
        } else if (word == "written") {  // replaced by a scene of finite numbers only
            const std::string bytes = ReadFile(path(0));
            EXPECT_NE(bytes, "old scene");
            EXPECT_EQ(bytes.find("nan"), std::string::npos);
            EXPECT_EQ(bytes.find("inf"), std::string::npos);
        } else if (word == "blocks") {  // complete object blocks, and nothing after the last one
            const std::string bytes = ReadFile(path(0)), end = "ShadowOptions 2\n\n";
            std::size_t n = 0;
            for (auto i = bytes.find(end); i != std::string::npos; i = bytes.find(end, i + 1)) ++n;
            EXPECT_EQ(n, std::stoul(w.at(1)));
            EXPECT_TRUE(bytes.ends_with(end));
        } else {
            FAIL() << "unknown directive " << word;
        }
    }
    settle();
}

INSTANTIATE_TEST_SUITE_P(Table, CliCase, ::testing::ValuesIn(ReadCases()),
                         [](const ::testing::TestParamInfo<Case>& info) { return info.param.name; });

// Every reproducer under tests/data/regressions/ is replayed by a case of the table (the --set
// texts among them by the fuzz targets).
TEST(CliTable, ReplaysEveryReproducer) {
    const std::string table = ReadFile(DataDir() / "cli_cases.txt");
    for (const auto& entry : std::filesystem::directory_iterator(DataDir() / "regressions")) {
        if (entry.path().extension() == ".txt") continue;
        EXPECT_NE(table.find("DATA/regressions/" + entry.path().filename().string() + " "), std::string::npos)
            << entry.path();
    }
}

// The bar shows the share of objects written and the object being made, counted from 1 (100%
// only with the last one), and with an estimate how much of the scene is written; it clears its
// line once, however often it is finished.
TEST(ProgressBar, DrawsTheObjectsAndBytesWritten) {
    SceneEstimate estimate;
    estimate.objects = 3;
    estimate.bytes = 2500000;
    estimate.header = 73;
    estimate.object_ends = {1000, 1200000, 2500000};
    for (const auto& [done, total, sized, counts_objects, expected] :
         std::vector<std::tuple<int, int, bool, bool, std::string>>{
             {2, 3, false, true, std::string(26, '#') + std::string(14, ' ') + "] 66%  object 3 of 3"},
             {199, 200, false, true, std::string(39, '#') + " ] 99%  object 200 of 200"},
             {7, 7, false, true, std::string(40, '#') + "] 100%  object 7 of 7"},
             {0, 3, true, true, std::string(40, ' ') + "] 0%  object 1 of 3  73 bytes of 2.5 MB"},
             {2, 3, true, true,
              std::string(26, '#') + std::string(14, ' ') + "] 66%  object 3 of 3  1.2 MB of 2.5 MB"},
             {3, 3, true, false, std::string(40, '#') + "] 100%  2.5 MB of 2.5 MB"}}) {
        std::ostringstream drawn;
        ProgressBar bar(drawn);
        bar.estimate = sized ? &estimate : nullptr;
        bar.counts_objects = counts_objects;
        bar.Update(done, total);
        bar.Finish();
        bar.Finish();
        EXPECT_EQ(drawn.str(), "\r[" + expected + "\x1b[K\r\x1b[K");
    }
}

// Many quick updates draw at most once every 100 ms: the first always, then one only once
// 100 ms have passed since the last drawing; a finished bar draws its next update at once.
TEST(ProgressBar, RedrawsAtMostTenTimesASecond) {
    using std::chrono::milliseconds;
    const std::vector<std::pair<int, bool>> updates = {// ms since start, drawn
                                                       {0, true},    {1, false},   {50, false},  {99, false},
                                                       {100, true},  {150, false}, {199, false}, {250, true},
                                                       {251, false}, {349, false}};
    std::ostringstream drawn;
    ProgressBar bar(drawn);
    ProgressBar::Clock::time_point time{};
    bar.now = [&time] { return time; };
    std::uint32_t done = 0;
    for (const auto& [ms, expected] : updates) {
        time = ProgressBar::Clock::time_point{} + milliseconds(ms);
        const auto before = drawn.str().size();
        bar.Update(done++, 1000);
        EXPECT_EQ(drawn.str().size() > before, expected) << ms << " ms";
    }
    // A thousand updates within one millisecond draw nothing more.
    for (int i = 0; i < 1000; ++i) bar.Update(done++, 5000);
    EXPECT_EQ(drawn.str().find("object 11 of"), std::string::npos);
    const auto before = drawn.str().size();
    bar.Finish();
    bar.Update(done, 5000);  // after Finish the next update draws whatever the time
    EXPECT_NE(drawn.str().find("object 1011 of 5000", before), std::string::npos);
}

// The first Ctrl-C asks for a stop at the next object; the handler then steps aside, so a
// second one ends a long pass at once.
TEST(BreakSignal, TheSecondCtrlCEndsTheProgram) {
    InstallBreakHandler();
    EXPECT_FALSE(BreakRequested());
    std::raise(SIGINT);
    EXPECT_TRUE(BreakRequested());
    struct sigaction action {};
    sigaction(SIGINT, nullptr, &action);
    EXPECT_EQ(action.sa_handler, SIG_DFL);
    InstallBreakHandler();
    EXPECT_FALSE(BreakRequested());
    RemoveBreakHandler();
}

}  // namespace
}  // namespace vexo::cli
