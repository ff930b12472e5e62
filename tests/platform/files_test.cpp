#include "platform/files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "temp_folder.h"

namespace qf {
namespace {

namespace fs = std::filesystem;

class FilesTest : public testing::Test {
  protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        return folder_.Write(name, bytes);
    }
    fs::path Folder() const { return folder_.path(); }

    testing_support::TempFolder folder_;
};

TEST_F(FilesTest, ReadsARegularFileWholeUpToTheLimit) {
    const std::string bytes(5000, 'x');
    const std::string path = Write("a.txt", bytes);
    EXPECT_EQ(ReadRegularFile(path, 5000), bytes);
    EXPECT_EQ(ReadRegularFile(path, 4999), std::nullopt);
    EXPECT_EQ(ReadRegularFile(Write("empty.txt", ""), 10), "");
}

TEST_F(FilesTest, RefusesWhatIsNotARegularFileWithoutBlocking) {
    const std::string fifo = (Folder() / "pipe").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(ReadRegularFile(fifo, 100), std::nullopt);
    EXPECT_EQ(ReadRegularFile("/dev/zero", 100), std::nullopt);
    EXPECT_EQ(ReadRegularFile(Folder().string(), 100), std::nullopt);
    EXPECT_EQ(ReadRegularFile((Folder() / "missing").string(), 100), std::nullopt);
}

TEST_F(FilesTest, QueryPathTellsKindAndSize) {
    EXPECT_EQ(QueryPath(Write("b.txt", "12345")).size, 5);
    EXPECT_EQ(QueryPath(Write("c.txt", "")).kind, PathKind::RegularFile);
    EXPECT_EQ(QueryPath(Folder().string()).kind, PathKind::Directory);
    EXPECT_EQ(QueryPath("/dev/null").kind, PathKind::Other);
    EXPECT_EQ(QueryPath((Folder() / "missing").string()).kind, PathKind::Missing);
    EXPECT_EQ(QueryPath("").kind, PathKind::Missing);
}

mode_t ModeOf(const std::string& path) {
    struct stat facts {};
    return ::stat(path.c_str(), &facts) == 0 ? facts.st_mode & 07777 : 0;
}

TEST_F(FilesTest, ReplacesAFileWholeKeepingItsModeOrCreatingItPrivate) {
    const std::string created = (Folder() / "new.QMS").string();
    ASSERT_TRUE(ReplaceFileAtomically(created, "first"));
    EXPECT_EQ(ReadRegularFile(created, 100), "first");
    EXPECT_EQ(ModeOf(created), 0600u);

    const std::string shared = Write("shared.QMS", "old content that is longer");
    ASSERT_EQ(::chmod(shared.c_str(), 0640), 0);
    ASSERT_TRUE(ReplaceFileAtomically(shared, "new"));
    EXPECT_EQ(ReadRegularFile(shared, 100), "new");
    EXPECT_EQ(ModeOf(shared), 0640u);
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()), 2);
}

TEST_F(FilesTest, AFailedReplaceLeavesTheOldFileAndNoTemporaryOne) {
    const std::string path = Write("kept.QMS", "old");
    const Status missingFolder = ReplaceFileAtomically((Folder() / "no/such.QMS").string(), "x");
    ASSERT_FALSE(missingFolder);
    EXPECT_EQ(missingFolder.error().call, "mkostemp");
    // A directory in the way makes the rename fail after the temporary file was written.
    fs::create_directory(Folder() / "taken");
    fs::create_directory(Folder() / "taken" / "inside");
    const Status renamed = ReplaceFileAtomically((Folder() / "taken").string(), "x");
    ASSERT_FALSE(renamed);
    EXPECT_EQ(renamed.error().call, "rename");
    EXPECT_EQ(ReadRegularFile(path, 100), "old");
    EXPECT_EQ(std::distance(fs::directory_iterator(Folder()), fs::directory_iterator()), 2);
}

TEST(ProcessFacts, ExecutableAndAbsolutePaths) {
    EXPECT_TRUE(fs::path(ExecutablePath()).is_absolute());
    EXPECT_TRUE(fs::exists(ExecutablePath()));
    EXPECT_EQ(AbsolutePath("/a/./b/../c"), "/a/c");
    EXPECT_EQ(AbsolutePath("x/../y.txt"), (fs::current_path() / "y.txt").string());
}

}  // namespace
}  // namespace qf
