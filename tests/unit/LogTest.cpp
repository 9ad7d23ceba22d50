#include "core/Log.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <string>
#include <thread>
#include <vector>

#include "LogFileTail.h"
#include "core/SerialQueue.h"
#include "platform/fake/FakePlatform.h"

namespace tavrel {
namespace {

using test::LogFileTail;

bool isTimeOfDay(std::string_view time) {
    if (time.size() != 12 || time[2] != ':' || time[5] != ':' || time[8] != '.')
        return false;
    for (const std::size_t i : {0, 1, 3, 4, 6, 7, 9, 10, 11}) {
        if (!std::isdigit(static_cast<unsigned char>(time[i])))
            return false;
    }
    return time.substr(0, 2) < "24" && time.substr(3, 2) < "60" && time.substr(6, 2) < "61";
}

// Takes one "[HH:mm:ss.SSS] message\n" off the front of `text`; answers its time, or nothing
// (with a test failure) when the line is not exactly that.
std::string takeLine(std::string& text, std::string_view message) {
    const std::size_t length = 1 + 12 + 2 + message.size() + 1;
    const std::string line = text.substr(0, length);
    text.erase(0, length);
    const std::string time = line.substr(1, 12);
    const bool exact = line.size() == length && line.front() == '[' && isTimeOfDay(time) &&
                       line.substr(13, 2) == "] " && line.substr(15, message.size()) == message &&
                       line.back() == '\n';
    EXPECT_TRUE(exact) << "expected a stamped line for \"" << message << "\", got \"" << line
                       << "\"";
    return exact ? time : std::string();
}

std::string localClockNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

class LogTest : public ::testing::Test {
  protected:
    fake::FakePlatform platform;
};

TEST_F(LogTest, WritesEachMessageAsOneLineStampedWithTheLocalTimeOfTheCall) {
    const LogFileTail tail;
    const std::vector<std::string> messages = {
        "hotkey: Cmd+Tab", "", "hotkey: Cmd released → commit", "first\nsecond", "  spaced  "};
    const std::string before = localClockNow();
    for (const std::string& message : messages)
        TavrelLog::shared().line(message);
    const std::string after = localClockNow();

    std::string text = tail.appended();
    for (const std::string& message : messages) {
        const std::string time = takeLine(text, message);
        if (before <= after) {  // not across midnight
            EXPECT_LE(before, time.substr(0, 8));
            EXPECT_GE(after, time.substr(0, 8));
        }
    }
    EXPECT_EQ(text, "");
}

TEST_F(LogTest, QuickCallsAppearInCallOrderAndAllAreWrittenOnceDrained) {
    const LogFileTail tail;
    constexpr int kLines = 500;
    for (int i = 0; i < kLines; ++i)
        TavrelLog::shared().line("line " + std::to_string(i));

    std::string text = tail.appended();
    std::string previousTime;
    for (int i = 0; i < kLines; ++i) {
        const std::string time = takeLine(text, "line " + std::to_string(i));
        if (time < previousTime && previousTime.substr(0, 2) != "23")
            ADD_FAILURE() << "time went backwards at line " << i;
        previousTime = time;
    }
    EXPECT_EQ(text, "");
}

TEST_F(LogTest, ThreadsReachingTheLogTogetherShareOneInstance) {
    const LogFileTail tail;
    constexpr int kThreads = 8;
    std::vector<TavrelLog*> seen(kThreads, nullptr);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&seen, t] {
            seen[t] = &TavrelLog::shared();
            seen[t]->line("thread " + std::to_string(t));
        });
    }
    for (std::thread& thread : threads)
        thread.join();

    const std::string text = tail.appended();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(seen[t], &TavrelLog::shared());
        EXPECT_NE(text.find("] thread " + std::to_string(t) + "\n"), std::string::npos);
    }
}

// Another program (here: a thread with descriptors of its own) appending to the same file at the
// same time loses nothing and has nothing of its own overwritten.
TEST_F(LogTest, AnotherWriterAppendingAtTheSameTimeLosesNothing) {
    const LogFileTail tail;
    constexpr int kLines = 2000;
    std::thread other([] {
        for (int i = 0; i < kLines; ++i) {
            const std::string text = "other " + std::to_string(i) + "\n";
            const int fd = ::open(LogFileTail::file().c_str(), O_WRONLY | O_APPEND | O_CREAT, 0644);
            ASSERT_GE(fd, 0);
            ASSERT_EQ(::write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
            ::close(fd);
        }
    });
    for (int i = 0; i < kLines; ++i)
        TavrelLog::shared().line("ours " + std::to_string(i));
    other.join();

    const std::string text = tail.appended();
    std::size_t ours = 0;
    std::size_t theirs = 0;
    for (int i = 0; i < kLines; ++i) {
        ours = text.find("] ours " + std::to_string(i) + "\n", ours);
        theirs = text.find("other " + std::to_string(i) + "\n", theirs);
        ASSERT_NE(ours, std::string::npos) << "our line " << i;
        ASSERT_NE(theirs, std::string::npos) << "their line " << i;
    }
}

// Uses up every descriptor this process may open, so the log's open fails while the file is
// there with content in it.
class DescriptorsExhausted {
  public:
    DescriptorsExhausted() {
        getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = std::min<rlim_t>(saved_.rlim_cur, 256);
        setrlimit(RLIMIT_NOFILE, &lowered);
        for (int fd = ::open("/dev/null", O_RDONLY); fd >= 0; fd = ::open("/dev/null", O_RDONLY))
            held_.push_back(fd);
    }
    ~DescriptorsExhausted() {
        for (const int fd : held_)
            ::close(fd);
        setrlimit(RLIMIT_NOFILE, &saved_);
    }
    DescriptorsExhausted(const DescriptorsExhausted&) = delete;
    DescriptorsExhausted& operator=(const DescriptorsExhausted&) = delete;

  private:
    rlimit saved_{};
    std::vector<int> held_;
};

TEST_F(LogTest, AFailedOpenDropsOnlyThatLineAndKeepsTheFile) {
    TavrelLog::shared().line("written before");
    const LogFileTail tail;  // the file now exists with content
    {
        const DescriptorsExhausted exhausted;
        TavrelLog::shared().line("dropped");
        TavrelLog::shared().drain();
    }
    TavrelLog::shared().line("written after");

    std::string text = tail.appended();  // also checks the earlier content survived
    takeLine(text, "written after");
    EXPECT_EQ(text, "");
}

// Lets the files this process writes grow to `bytes` at most, as a disk that fills up would:
// a write that crosses the limit writes what fits and fails after that.
class DiskFull {
  public:
    explicit DiskFull(std::uintmax_t bytes) {
        ignored_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = static_cast<rlim_t>(bytes);
        setrlimit(RLIMIT_FSIZE, &lowered);
    }
    ~DiskFull() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, ignored_);
    }
    DiskFull(const DiskFull&) = delete;
    DiskFull& operator=(const DiskFull&) = delete;

  private:
    rlimit saved_{};
    void (*ignored_)(int) = SIG_DFL;
};

TEST_F(LogTest, ALineThatFitsOnlyInPartLeavesNothingForTheNextLineToJoin) {
    TavrelLog::shared().line("written before");
    const LogFileTail tail;
    {
        const DiskFull full(std::filesystem::file_size(LogFileTail::file()) + 20);
        TavrelLog::shared().line("hotkey: Cmd+Tab");
        TavrelLog::shared().drain();
    }
    TavrelLog::shared().line("hotkey: Cmd+Shift+Tab");

    std::string text = tail.appended();
    takeLine(text, "hotkey: Cmd+Shift+Tab");
    EXPECT_EQ(text, "");
}

TEST_F(LogTest, AFileThatCannotBeOpenedDropsTheLineAndADeletedFileOrFolderIsRecreated) {
    TavrelLog::shared().line("old");
    TavrelLog::shared().drain();
    std::filesystem::remove(LogFileTail::file());
    std::filesystem::create_directory(LogFileTail::file());  // in the way of the file
    TavrelLog::shared().line("dropped");
    TavrelLog::shared().drain();
    std::filesystem::remove(LogFileTail::file());

    TavrelLog::shared().line("recreated");
    TavrelLog::shared().drain();
    std::string text = LogFileTail::contents();
    takeLine(text, "recreated");
    EXPECT_EQ(text, "");

    // The whole folder goes, too.
    std::filesystem::remove_all(LogFileTail::file().parent_path());
    TavrelLog::shared().line("in a new folder");
    TavrelLog::shared().drain();
    text = LogFileTail::contents();
    takeLine(text, "in a new folder");
    EXPECT_EQ(text, "");
}

// The process ends right after logging, without draining: destroying the log on the way out
// still writes every queued line.
TEST(LogExitTest, LinesQueuedWhenTheProcessEndsAreWritten) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // The death test's child re-runs this test from the start; it inherits the folder chosen here.
    const std::string chosen =
        (fake::FakeFileLocations::processTemporaryFolder() / "exit").string();
    setenv("TAVREL_TEST_EXIT_LOG_FOLDER", chosen.c_str(), 0);
    const std::filesystem::path folder = std::getenv("TAVREL_TEST_EXIT_LOG_FOLDER");
    constexpr int kLines = 300;

    EXPECT_EXIT(
        {
            fake::FakePlatform platform;
            platform.fileLocations.logsFolder = folder;
            for (int i = 0; i < kLines; ++i)
                TavrelLog::shared().line("last words " + std::to_string(i));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");

    std::ifstream in(folder / "tavrel.log", std::ios::binary);
    std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    for (int i = 0; i < kLines; ++i)
        takeLine(text, "last words " + std::to_string(i));
    EXPECT_EQ(text, "");
}

// Work held back for an hour: drain and destruction must not wait for it, and the order holds.
TEST(SerialQueueTest, HeldBackWorkRunsInOrderAtOnceWhenDrainedOrWhenTheQueueEnds) {
    std::vector<int> ran;
    {
        SerialQueue queue{std::chrono::hours(1)};
        queue.async([&] { ran.push_back(1); });
        queue.async([&] { ran.push_back(2); });
        queue.drain();
        EXPECT_EQ(ran, (std::vector<int>{1, 2}));
        queue.async([&] { ran.push_back(3); });
    }
    EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

}  // namespace
}  // namespace tavrel
