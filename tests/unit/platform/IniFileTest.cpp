#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "fixtures/TempDir.h"
#include "platform/IniFile.h"

namespace zorvane {
namespace {

using test::ReadText;
using test::TempDir;
using test::WriteText;

// A settings file as a person leaves it after editing by hand.
const std::string kHandEdited =
    "; settings, edited by hand\n"
    "orphan=1\n"
    "  [ camera ]\n"
    "Exposure   =  0.500000\n"
    "  GAMMA=1.2   \n"
    "; rotate stays off\n"
    "Rotate=0\n"
    "\n"
    "[Display]\n"
    "zoom = 2\n"
    "# end of display\n"
    "\n"
    "[Quick]\n"
    "Name1=\"Moon  \"\n"
    "Name2='Sun'\n"
    "Name3=\"half\n"
    "Name4= \"in\"side\" \n"
    "Empty=\n"
    "[camera]\n"
    "Exposure=9\n"
    "BinY=3\n";

IniDocument LoadText(const TempDir& dir, const std::string& text) {
    const std::string path = dir.File("settings.ini");
    WriteText(path, text);
    IniDocument doc;
    EXPECT_TRUE(doc.Load(path));
    return doc;
}

TEST(IniDocumentRead, NamesMatchWithoutCaseOrBlanksAndFirstOccurrenceWins) {
    TempDir dir;
    const IniDocument doc = LoadText(dir, kHandEdited);
    EXPECT_EQ(doc.GetString("CAMERA", "exposure", "none"), "0.500000");
    EXPECT_EQ(doc.GetString(" Camera ", " Gamma ", "none"), "1.2");
    EXPECT_EQ(doc.GetInt("display", "ZOOM", -1), 2);
    // A later section of the same name still adds the keys the first one lacks.
    EXPECT_EQ(doc.GetInt("Camera", "BinY", -1), 3);
    // Comments are not keys; keys before the first section belong to no section.
    EXPECT_FALSE(doc.HasKey("Camera", "; rotate stays off"));
    EXPECT_EQ(doc.GetInt("", "orphan", 7), 7);
    EXPECT_TRUE(doc.HasSection("QUICK"));
    EXPECT_FALSE(doc.HasSection("Focus"));
}

TEST(IniDocumentRead, OneMatchingPairOfQuotesIsRemoved) {
    TempDir dir;
    const IniDocument doc = LoadText(dir, kHandEdited);
    EXPECT_EQ(doc.GetString("Quick", "Name1", ""), "Moon  ");
    EXPECT_EQ(doc.GetString("Quick", "Name2", ""), "Sun");
    EXPECT_EQ(doc.GetString("Quick", "Name3", ""), "\"half");
    EXPECT_EQ(doc.GetString("Quick", "Name4", ""), "in\"side");
}

TEST(IniDocumentRead, IntegersParseLikeTheClassicProfileReader) {
    TempDir dir;
    const IniDocument doc = LoadText(dir,
                                     "[N]\n"
                                     "plain=12\n"
                                     "negative=  -10000\n"
                                     "plus=+7\n"
                                     "trailing=12abc\n"
                                     "letters=abc\n"
                                     "sign=-\n"
                                     "float=0.75\n"
                                     "quoted=\"42\"\n"
                                     "empty=\n"
                                     "wraps=4294967297\n");
    EXPECT_EQ(doc.GetInt("N", "plain", 99), 12);
    EXPECT_EQ(doc.GetInt("N", "negative", 99), -10000);
    EXPECT_EQ(doc.GetInt("N", "plus", 99), 7);
    EXPECT_EQ(doc.GetInt("N", "trailing", 99), 12);
    // Present but not a number: zero, not the default.
    EXPECT_EQ(doc.GetInt("N", "letters", 99), 0);
    EXPECT_EQ(doc.GetInt("N", "sign", 99), 0);
    EXPECT_EQ(doc.GetInt("N", "float", 99), 0);
    EXPECT_EQ(doc.GetInt("N", "quoted", 99), 42);
    EXPECT_EQ(doc.GetInt("N", "wraps", 99), 1);
    // The default only when there is nothing to read.
    EXPECT_EQ(doc.GetInt("N", "empty", 99), 99);
    EXPECT_EQ(doc.GetInt("N", "missing", 99), 99);
    EXPECT_EQ(doc.GetInt("Missing", "plain", 99), 99);
    EXPECT_EQ(GetPrivateProfileInt("N", "plain", 99, dir.File("absent.ini")), 99);
}

TEST(IniDocumentRead, StringsAreCutToTheBufferAndDefaultsLoseTrailingBlanks) {
    TempDir dir;
    const std::string longValue(300, 'v');
    const IniDocument doc = LoadText(dir, "[S]\nshort=abcdef\nEmpty=\nlong=" + longValue + "\n");
    EXPECT_EQ(doc.GetString("S", "short", "", 4), "abc");
    EXPECT_EQ(doc.GetString("S", "short", "", 1), "");
    EXPECT_EQ(doc.GetString("S", "short", "", 0), "");
    EXPECT_EQ(doc.GetString("S", "long", "").size(), 255u);
    EXPECT_EQ(doc.GetString("S", "missing", "C:\\Capture.fit  "), "C:\\Capture.fit");
    EXPECT_EQ(doc.GetString("S", "missing", "defaults", 5), "defa");
    EXPECT_EQ(doc.GetString("S", "Empty", "x"), "");
    EXPECT_EQ(GetPrivateProfileString("S", "short", "d", 512, dir.File("settings.ini")), "abcdef");
}

TEST(IniDocumentWrite, HandEditedFileKeepsEveryByteButTheWrittenKeys) {
    TempDir dir;
    IniDocument doc = LoadText(dir, kHandEdited);
    ASSERT_TRUE(doc.SetString("Camera", "gamma", "2.000000"));  // existing key, other case
    ASSERT_TRUE(doc.SetString("CAMERA", "BinX", "2"));          // new key in an existing section
    ASSERT_TRUE(doc.SetString("display", "Aspect", "1"));       // goes before the comment
    ASSERT_TRUE(doc.SetString("Focus", "Search", "15"));        // new section at the end
    ASSERT_TRUE(doc.SetString("Camera", "Rotate", "0"));        // same value: nothing changes
    ASSERT_TRUE(doc.Save());

    const std::string expected =
        "; settings, edited by hand\n"
        "orphan=1\n"
        "  [ camera ]\n"
        "Exposure   =  0.500000\n"
        "  GAMMA=2.000000\n"
        "; rotate stays off\n"
        "Rotate=0\n"
        "BinX=2\n"
        "\n"
        "[Display]\n"
        "zoom = 2\n"
        "Aspect=1\n"
        "# end of display\n"
        "\n"
        "[Quick]\n"
        "Name1=\"Moon  \"\n"
        "Name2='Sun'\n"
        "Name3=\"half\n"
        "Name4= \"in\"side\" \n"
        "Empty=\n"
        "[camera]\n"
        "Exposure=9\n"
        "BinY=3\n"
        "[Focus]\n"
        "Search=15\n";
    EXPECT_EQ(ReadText(dir.File("settings.ini")), expected);

    // Setting a value with leading blanks after '=' keeps them in front of the new value.
    ASSERT_TRUE(doc.SetString("camera", "exposure", "1.000000"));
    EXPECT_NE(doc.Text().find("Exposure   =  1.000000\n"), std::string::npos);
    EXPECT_NE(doc.Text().find("Exposure=9\n"), std::string::npos);
}

TEST(IniDocumentWrite, KeepsTheFilesLineEndingsAndByteOrderMark) {
    TempDir dir;
    const std::string path = dir.File("crlf.ini");
    WriteText(path, "\xEF\xBB\xBF[Sequence]\r\nRepeat=3\r\n[Sequence Line1]\r\nEnabled=1");
    ASSERT_EQ(GetPrivateProfileInt("sequence", "repeat", 0, path), 3);
    ASSERT_TRUE(WritePrivateProfileString("Sequence Line1", "Exposure", "1.5", path));
    ASSERT_TRUE(WritePrivateProfileString("Sequence Line2", "Enabled", "0", path));
    ASSERT_TRUE(WritePrivateProfileString("Sequence", "Repeat", "4", path));
    EXPECT_EQ(ReadText(path),
              "\xEF\xBB\xBF[Sequence]\r\nRepeat=4\r\n[Sequence Line1]\r\nEnabled=1\r\n"
              "Exposure=1.5\r\n[Sequence Line2]\r\nEnabled=0\r\n");
}

TEST(IniDocumentWrite, CreatesTheFileAndItsFolders) {
    TempDir dir;
    const std::string path = dir.Path() + "/config/nested/ZorvaneCapture.ini";
    ASSERT_TRUE(WritePrivateProfileString("Filenames", "Sequence", "0", path));
    ASSERT_TRUE(WritePrivateProfileString("Filenames", "SaveFile", "/home/a b/c.fit", path));
    EXPECT_EQ(ReadText(path), "[Filenames]\nSequence=0\nSaveFile=/home/a b/c.fit\n");
    EXPECT_EQ(GetPrivateProfileString("Filenames", "SaveFile", "", 256, path), "/home/a b/c.fit");

    struct stat st {};
    ASSERT_EQ(::stat((dir.Path() + "/config").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(IniDocumentWrite, RefusesTextThatCouldNotBeReadBack) {
    TempDir dir;
    const std::string path = dir.File("seq.csq");
    WriteText(path, "[Sequence]\nRepeat=1\n");
    EXPECT_FALSE(WritePrivateProfileString("Sequence", "Command", "echo a\necho b", path));
    EXPECT_FALSE(WritePrivateProfileString("Sequence", "Command", "x\ry", path));
    EXPECT_FALSE(WritePrivateProfileString("Sequence", "a=b", "1", path));
    EXPECT_FALSE(WritePrivateProfileString("Sequence", "  ", "1", path));
    EXPECT_FALSE(WritePrivateProfileString("Sequence", ";note", "1", path));
    EXPECT_FALSE(WritePrivateProfileString("Se]q", "Repeat", "1", path));
    EXPECT_FALSE(WritePrivateProfileString("Line\n[Evil]", "Repeat", "1", path));
    EXPECT_EQ(ReadText(path), "[Sequence]\nRepeat=1\n");
}

TEST(IniDocumentWrite, ValuesWithOuterBlanksOrQuotesReadBackUnchanged) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    const std::string values[] = {"\"M 31\"", " lead",    "trail ",          "'Sun'", "\"",
                                  "\"half",   "in\"side", "\"a\" and \"b\"", "plain"};
    const auto key = [](int n) { return std::string(1, 'K').append(std::to_string(n)); };
    for (int n = 0; n < 9; ++n)
        ASSERT_TRUE(WritePrivateProfileString("Header", key(n), values[n], path)) << values[n];
    for (int n = 0; n < 9; ++n)
        EXPECT_EQ(GetPrivateProfileString("Header", key(n), "", 1000, path), values[n]);
    // Only the values that needed it carry the extra quotes.
    EXPECT_NE(ReadText(path).find("K0=\"\"M 31\"\"\n"), std::string::npos);
    EXPECT_NE(ReadText(path).find("K5=\"half\n"), std::string::npos);
    EXPECT_NE(ReadText(path).find("K8=plain\n"), std::string::npos);
}

TEST(IniDocumentLoad, ReadsOnlyRegularFilesOfASaneSize) {
    TempDir dir;
    // A FIFO nobody writes to would block the read for ever.
    const std::string fifo = dir.File("fifo.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    IniDocument doc;
    EXPECT_FALSE(doc.Load(fifo));
    EXPECT_TRUE(doc.SetString("A", "k", "1"));
    EXPECT_FALSE(doc.Save()) << "what could not be read is not replaced";
    struct stat st {};
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // A link to a device that never ends.
    const std::string endless = dir.File("endless.ini");
    std::filesystem::create_symlink("/dev/full", endless);
    EXPECT_FALSE(doc.Load(endless));
    EXPECT_EQ(doc.GetInt("A", "k", 7), 7);
}

TEST(IniDocumentSave, AWriteProtectedFileIsReadButNeverReplaced) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    WriteText(path, "[Camera]\nExposure=2.000000\n");
    ::chmod(path.c_str(), 0444);
    IniDocument doc;
    ASSERT_TRUE(doc.Load(path));
    EXPECT_EQ(doc.GetString("Camera", "Exposure", ""), "2.000000");
    ASSERT_TRUE(doc.SetString("Camera", "Exposure", "3.000000"));
    EXPECT_FALSE(doc.Save());
    EXPECT_EQ(ReadText(path), "[Camera]\nExposure=2.000000\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0444u);
}

TEST(IniDocumentSave, AFullDiskLeavesTheOldFileWhole) {
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    const std::string original = "[Camera]\nExposure=0.010000\n";
    WriteText(path, original);

    IniDocument doc;
    ASSERT_TRUE(doc.Load(path));
    ASSERT_TRUE(doc.SetString("Header", "Observer", std::string(500, 'o')));

    // Files may not grow past 64 bytes for a moment: the write runs out of room half-way.
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    struct rlimit small = saved;
    small.rlim_cur = 64;
    const auto oldHandler = ::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved1 = doc.Save();
    ::setrlimit(RLIMIT_FSIZE, &saved);
    ::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved1);
    EXPECT_EQ(ReadText(path), original);
    int entries = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        ++entries;
    }
    EXPECT_EQ(entries, 1) << "the half-written temporary file must be gone";

    // Nothing was lost in memory: with room again the same document saves.
    EXPECT_TRUE(doc.IsModified());
    ASSERT_TRUE(doc.Save());
    EXPECT_EQ(GetPrivateProfileString("Header", "Observer", "", 1000, path), std::string(500, 'o'));
}

TEST(IniDocumentSave, AReadOnlyFolderLeavesTheOldFileWhole) {
    if (::geteuid() == 0) GTEST_SKIP() << "folder permissions do not bind the superuser";
    TempDir dir;
    const std::string path = dir.File("settings.ini");
    WriteText(path, "[A]\nk=1\n");
    ::chmod(dir.Path().c_str(), 0555);
    EXPECT_FALSE(WritePrivateProfileString("A", "k", "2", path));
    ::chmod(dir.Path().c_str(), 0755);
    EXPECT_EQ(ReadText(path), "[A]\nk=1\n");
}

TEST(IniDocumentSave, KeepsPermissionsFollowsLinksAndNeverOverwritesWhatItCouldNotRead) {
    TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    const std::string target = dir.File("real/settings.ini");
    const std::string link = dir.File("settings.ini");
    WriteText(target, "[A]\nk=1\n");
    ::chmod(target.c_str(), 0640);
    std::filesystem::create_symlink(target, link);

    ASSERT_TRUE(WritePrivateProfileString("A", "k", "2", link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadText(target), "[A]\nk=2\n");
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    // Something unreadable at the path (here a folder) is never replaced.
    IniDocument doc;
    EXPECT_FALSE(doc.Load(dir.File("real")));
    EXPECT_TRUE(doc.SetString("A", "k", "3"));
    EXPECT_FALSE(doc.Save());
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("real")));
}

}  // namespace
}  // namespace zorvane
