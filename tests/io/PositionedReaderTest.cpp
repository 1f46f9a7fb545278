// The positioned reader opens regular files only, and never waits to do so:
// a FIFO planted under a recovery file's name must not hang a check.
#include "io/PositionedReader.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <future>
#include <string>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

TEST(PositionedReader, OpensRegularFilesOnlyAndNeverWaits) {
    TempFolder dir;
    WriteFile(dir / "regular.par2", "abcdef");
    PositionedReader reader;
    ASSERT_TRUE(reader.Open(dir / "regular.par2"));
    char bytes[3] = {};
    ASSERT_TRUE(reader.ReadAt(bytes, 3, 2));
    EXPECT_EQ(std::string(bytes, 3), "cde");

    EXPECT_FALSE(reader.Open(dir.Path()));
#ifdef _WIN32
    GTEST_SKIP() << "FIFOs are Linux's";
#else
    EXPECT_EQ(errno, EISDIR);
    const std::string fifo = dir / "big.vol99+1.par2";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    auto opened = std::async(std::launch::async, [&fifo] {
        PositionedReader planted;
        const bool ok = planted.Open(fifo);
        return std::make_pair(ok, errno);
    });
    if (opened.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        // Release the waiting open before failing, or the test never ends.
        const int writer = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
        opened.wait();
        if (writer >= 0) close(writer);
        FAIL() << "opening a FIFO waited for a writer";
    }
    const auto [ok, error] = opened.get();
    EXPECT_FALSE(ok);
    EXPECT_EQ(error, EINVAL);
#endif
}

}  // namespace
