// The one writer of the program: a file takes its final name only when whole,
// and its temporary fits wherever the final name does.
#include "io/FileAccess.h"
#include "io/OutputFile.h"
#include "recovery/Recovery.h"
#include "tests/engine/EngineTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(OutputFile, ANameAsLongAsTheFileSystemTakesGetsItsFileAndNoLeftover) {
    TempFolder dir;
    // 240 bytes: a temporary named after it with anything added would not fit a 255-byte name.
    const std::string name = dir / std::string(240, 'n');
    for (const bool buffered : {false, true}) {
        SCOPED_TRACE(buffered);
        OutputFile file;
        ASSERT_TRUE(file.Open(name, buffered));
        ASSERT_TRUE(file.Write("whole", 5));
        ASSERT_TRUE(file.WriteAt("W", 1, 0));
        EXPECT_EQ(file.Written(), 5);
        ASSERT_TRUE(file.Commit(true));
        EXPECT_EQ(ReadFile(name), "Whole");
        EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{std::string(240, 'n')});
    }
    // Recovery files of a big file of that name: <name>.par2 is 245 bytes.
    const std::string big = dir / std::string(240, 'b');
    WriteFile(big, PatternBytes(3000));
    RecoveryCreate request;
    request.bigFile = big;
    request.folder = dir.Path();
    request.pieceSizes = {1000, 1000, 1000};
    request.lostPieces = 1;
    const RecoveryResult made = CreateRecoveryFiles(request);
    EXPECT_TRUE(made.ok) << made.failure.reason;
    EXPECT_TRUE(Exists(big + ".par2"));
}

TEST(OutputFile, AnAbandonedFileLeavesTheFinalNameAsItWas) {
    TempFolder dir;
    WriteFile(dir / "kept", "older");
    {
        OutputFile file;
        ASSERT_TRUE(file.Open(dir / "kept", false));
        ASSERT_TRUE(file.Write("newer", 5));
    }  // neither committed nor kept
    EXPECT_EQ(ReadFile(dir / "kept"), "older");
    EXPECT_EQ(FolderEntries(dir.Path()), std::vector<std::string>{"kept"});
}

}  // namespace
