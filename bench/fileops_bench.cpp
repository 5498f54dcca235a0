// Copy speed of a folder of many small files against cp -r on the same disk, run side by
// side and interleaved; and how soon Cancel stops the copy of a large file.
// Usage: fileops_bench [work-folder] [files] [big-file-MiB]
#include "platform/fileoperation.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class Quiet final : public fileop::Interaction {
public:
    std::atomic<bool> cancel{false};
    std::atomic<std::int64_t> done{0};
    fileop::Answer confirm(fileop::Question, const std::string &, bool) override { return fileop::Answer::Cancel; }
    void error(const std::string &text) override { std::fprintf(stderr, "error: %s\n", text.c_str()); }
    void progress(const std::string &, std::int64_t d, std::int64_t, int) override { done = d; }
    bool cancelled() override { return cancel.load(); }
};

double seconds(Clock::time_point a, Clock::time_point b)
{
    return std::chrono::duration<double>(b - a).count();
}

void makeSmallFiles(const fs::path &dir, int count)
{
    fs::create_directories(dir);
    std::mt19937 rng(42);
    std::vector<char> data(8192);
    for (char &c : data)
        c = char(rng());
    for (int i = 0; i < count; ++i) {
        // 100 files a folder, sizes 100 B to 8 KiB.
        char name[32];
        std::snprintf(name, sizeof name, "d%d", i / 100);
        const fs::path sub = dir / name;
        if (i % 100 == 0)
            fs::create_directory(sub);
        std::snprintf(name, sizeof name, "f%d.dat", i);
        std::ofstream(sub / name, std::ios::binary).write(data.data(), std::streamsize(100 + rng() % 8092));
    }
}

// Writes left over from the last copy or removal must not slow the next one.
void settle()
{
    std::system("sync");
}

} // namespace

int main(int argc, char **argv)
{
    const fs::path work = argc > 1 ? fs::path(argv[1]) : fs::current_path() / "fileops_bench.tmp";
    const int files = argc > 2 ? std::atoi(argv[2]) : 10000;
    const std::int64_t bigMiB = argc > 3 ? std::atoll(argv[3]) : 2048;
    fs::remove_all(work);
    fs::create_directories(work);
    const fs::path src = work / "src";
    makeSmallFiles(src, files);
    settle();

    // Both copies read warm caches: the first round warms them and is not counted.
    constexpr int kRounds = 8;
    std::vector<double> ours, cp;
    for (int round = 0; round < kRounds; ++round) {
        const fs::path a = work / ("cp" + std::to_string(round)), b = work / ("ours" + std::to_string(round));
        const std::string cmd = "cp -r '" + src.string() + "' '" + a.string() + "'";
        // Alternate which goes first so neither always meets the warmer cache.
        for (int which = 0; which < 2; ++which) {
            const bool cpTurn = (which == 0) == (round % 2 == 0);
            settle();
            const auto t0 = Clock::now();
            if (cpTurn) {
                if (std::system(cmd.c_str()) != 0)
                    return 1;
            } else {
                Quiet q;
                if (!fileop::perform(fileop::Function::Copy, src.string(), b.string(), 0, q).succeeded())
                    return 1;
            }
            const double s = seconds(t0, Clock::now());
            if (round > 0)
                (cpTurn ? cp : ours).push_back(s);
        }
        fs::remove_all(a);
        fs::remove_all(b);
    }
    std::sort(ours.begin(), ours.end());
    std::sort(cp.begin(), cp.end());
    const double mo = ours[ours.size() / 2], mc = cp[cp.size() / 2];
    std::printf("small files: %d files, %d rounds counted\n", files, int(ours.size()));
    std::printf("  cp -r  median %.3f s  %.0f files/s\n", mc, files / mc);
    std::printf("  ours   median %.3f s  %.0f files/s\n", mo, files / mo);
    std::printf("  ours reaches %.0f%% of cp's rate\n", 100.0 * mc / mo);
    fs::remove_all(src);
    if (bigMiB <= 0)
        return 0;

    // Cancel latency on a large file of real data.
    const fs::path big = work / "big";
    {
        std::ofstream out(big, std::ios::binary);
        std::vector<char> block(std::size_t(1) << 20);
        std::mt19937 rng(7);
        for (char &c : block)
            c = char(rng());
        for (std::int64_t i = 0; i < bigMiB; ++i)
            out.write(block.data(), std::streamsize(block.size()));
    }
    std::system("sync");
    double worst = 0;
    for (int round = 0; round < 5; ++round) {
        Quiet q;
        Clock::time_point asked;
        fileop::Result r;
        std::thread t(
            [&] { r = fileop::perform(fileop::Function::Copy, big.string(), (work / "copy").string(), 0, q); });
        const std::int64_t after = (std::int64_t(64) << 20) * (round + 1);
        while (q.done.load() < after)
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        asked = Clock::now();
        q.cancel = true;
        t.join();
        const double ms = seconds(asked, Clock::now()) * 1000;
        worst = std::max(worst, ms);
        std::size_t left = 0;
        for (const auto &e : fs::directory_iterator(work))
            left += e.path() != big;
        std::printf("cancel after %lld MiB: stopped in %.1f ms, aborted %d, files left besides the source %zu\n",
                    (long long)(after >> 20), ms, int(r.aborted), left);
    }
    std::printf("cancel latency worst %.1f ms on a %lld MiB file\n", worst, (long long)bigMiB);
    fs::remove_all(work);
    return 0;
}
