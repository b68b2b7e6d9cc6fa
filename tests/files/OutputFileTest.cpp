#include "files/OutputFile.h"

#include "common/PermissionsHonoured.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <future>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

namespace vireon::test {
namespace {

namespace fs = std::filesystem;

class OutputFile : public ::testing::Test {
protected:
    void SetUp() override {
        char Template[] = "/tmp/vireon-outputfile-XXXXXX";
        ASSERT_NE(::mkdtemp(Template), nullptr);
        Dir = Template;
    }
    void TearDown() override {
        fs::permissions(Dir, fs::perms::owner_all);
        fs::remove_all(Dir);
    }

    static std::string Read(const fs::path& Path) {
        std::ifstream File(Path, std::ios::binary);
        std::ostringstream Text;
        Text << File.rdbuf();
        return Text.str();
    }
    static void Put(const fs::path& Path, const std::string& Text) {
        std::ofstream(Path, std::ios::binary) << Text;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> Result;
        for (const auto& Entry : fs::directory_iterator(Dir))
            Result.push_back(Entry.path().filename().string());
        std::sort(Result.begin(), Result.end());
        return Result;
    }
    // The error WriteOutputFile gives, after checking its text names the path.
    static int ErrorOf(const fs::path& Path) {
        try {
            WriteOutputFile(Path.string(), "new");
        } catch (const std::system_error& Error) {
            EXPECT_NE(std::string(Error.what()).find(Path.string()), std::string::npos)
                << Error.what();
            return Error.code().value();
        }
        return 0;
    }

    fs::path Dir;
};

TEST_F(OutputFile, RegularFileIsReplacedWholeKeepingItsPermissions) {
    const fs::path Target = Dir / "out.csv";
    Put(Target, "old contents, longer than the new ones");
    fs::permissions(Target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    WriteOutputFile(Target.string(), "new");
    EXPECT_EQ(Read(Target), "new");
    EXPECT_EQ(fs::status(Target).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);

    WriteOutputFile((Dir / "fresh.csv").string(), "made");
    EXPECT_EQ(Read(Dir / "fresh.csv"), "made");
    // No scratch file is left behind.
    EXPECT_EQ(Names(), (std::vector<std::string>{"fresh.csv", "out.csv"}));
}

TEST_F(OutputFile, SymlinksAreWrittenThroughAndStay) {
    fs::create_directory(Dir / "real");
    Put(Dir / "real" / "target.png", "old");
    fs::create_symlink("real/target.png", Dir / "link.png");
    fs::create_symlink(Dir / "link.png", Dir / "chain.png");
    fs::create_symlink("real/later.png", Dir / "dangling.png");

    WriteOutputFile((Dir / "link.png").string(), "one");
    EXPECT_EQ(Read(Dir / "real" / "target.png"), "one");
    WriteOutputFile((Dir / "chain.png").string(), "two");
    EXPECT_EQ(Read(Dir / "real" / "target.png"), "two");
    // A link to a file not there yet names the file to make.
    WriteOutputFile((Dir / "dangling.png").string(), "three");
    EXPECT_EQ(Read(Dir / "real" / "later.png"), "three");

    for (const char* Link : {"link.png", "chain.png", "dangling.png"})
        EXPECT_TRUE(fs::is_symlink(Dir / Link)) << Link;
    EXPECT_EQ(Names(), (std::vector<std::string>{"chain.png", "dangling.png", "link.png", "real"}));
}

TEST_F(OutputFile, PipesAndDevicesAreWrittenDirectly) {
    const fs::path Fifo = Dir / "pipe";
    ASSERT_EQ(::mkfifo(Fifo.c_str(), 0600), 0);
    std::future<std::string> Reader = std::async(std::launch::async, [&] { return Read(Fifo); });
    WriteOutputFile(Fifo.string(), "through the pipe");
    EXPECT_EQ(Reader.get(), "through the pipe");
    EXPECT_TRUE(fs::is_fifo(Fifo));

    fs::create_symlink("/dev/null", Dir / "null");
    WriteOutputFile((Dir / "null").string(), "gone");
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    EXPECT_TRUE(fs::is_symlink(Dir / "null"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"null", "pipe"}));
}

TEST_F(OutputFile, DashIsStandardOutput) {
    const fs::path Captured = Dir / "stdout";
    const int Saved = ::dup(STDOUT_FILENO);
    const int File = ::open(Captured.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(File, 0);
    ::dup2(File, STDOUT_FILENO);
    ::close(File);
    WriteOutputFile("-", "to standard output");
    ::dup2(Saved, STDOUT_FILENO);
    ::close(Saved);
    EXPECT_EQ(Read(Captured), "to standard output");
    EXPECT_FALSE(fs::exists(Dir / "-"));
}

TEST_F(OutputFile, FailuresSayWhyAndLeaveWhatWasThere) {
    fs::create_directory(Dir / "locked");
    Put(Dir / "locked" / "kept.png", "old");
    fs::permissions(Dir / "locked", fs::perms::owner_read | fs::perms::owner_exec);
    fs::create_directory(Dir / "folder");
    fs::create_symlink("/dev/full", Dir / "full");

    struct TCase {
        fs::path Path;
        int Error;
    };
    const TCase Cases[] = {
        {"/dev/full", ENOSPC},  // a full disk, as the kernel reports it
        {Dir / "full", ENOSPC}, // the same through a link
        {Dir / "locked" / "kept.png", EACCES},
        {Dir / "missing" / "x.png", ENOENT},
        {Dir / "folder", EISDIR},
    };
    {
        const TPermissionsHonoured AsAUser;
        for (const TCase& Case : Cases) {
            SCOPED_TRACE(Case.Path);
            EXPECT_EQ(ErrorOf(Case.Path), Case.Error) << std::strerror(Case.Error);
        }
    }
    EXPECT_EQ(Read(Dir / "locked" / "kept.png"), "old");
    EXPECT_TRUE(fs::is_symlink(Dir / "full"));
    EXPECT_TRUE(fs::is_character_file("/dev/full"));
    EXPECT_TRUE(fs::is_directory(Dir / "folder"));
    fs::permissions(Dir / "locked", fs::perms::owner_all);
    EXPECT_EQ(Names(), (std::vector<std::string>{"folder", "full", "locked"}));
    EXPECT_EQ(fs::directory_iterator(Dir / "locked")->path().filename(), "kept.png");

    const int Saved = ::dup(STDOUT_FILENO);
    const int Full = ::open("/dev/full", O_WRONLY);
    ::dup2(Full, STDOUT_FILENO);
    ::close(Full);
    try {
        WriteOutputFile("-", "lost");
        ADD_FAILURE() << "no error";
    } catch (const std::system_error& Error) {
        EXPECT_EQ(Error.code().value(), ENOSPC);
        EXPECT_NE(std::string(Error.what()).find("standard output"), std::string::npos);
    }
    ::dup2(Saved, STDOUT_FILENO);
    ::close(Saved);
}

} // namespace
} // namespace vireon::test
