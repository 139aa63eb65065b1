#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>

#include "boot_ini.h"
#include "guarded_buffer.h"
#include "host_search.h"

namespace {

namespace fs = std::filesystem;

// Hands a text out in pieces of at most `piece` bytes, so that line endings fall
// across reads.
class TextSource final : public ByteSource {
public:
    TextSource(std::string text, size_t piece) : text_(std::move(text)), piece_(piece) {}
    size_t Read(char* buffer, size_t capacity) override {
        const size_t take = std::min({capacity, piece_, text_.size() - at_});
        text_.copy(buffer, take, at_);
        at_ += take;
        return take;
    }

private:
    std::string text_;
    size_t piece_;
    size_t at_ = 0;
};

constexpr size_t kPieces[] = {1, 7, 4096};

// Long texts are shown by their length in failure messages.
std::string Shown(const std::string& text) {
    return text.size() <= 64 ? text : "<" + std::to_string(text.size()) + " chars>";
}

std::vector<std::string> Lines(const std::string& text, size_t piece) {
    TextSource source(text, piece);
    LineReader reader(source);
    std::vector<std::string> lines;
    std::string line;
    while (reader.Next(&line)) lines.push_back(line);
    return lines;
}

std::string Shown(const std::vector<std::string>& lines) {
    std::string shown;
    for (const std::string& line : lines) shown += "[" + Shown(line) + "]";
    return shown;
}

TEST(LineReader, WholeLinesWithoutTheirEndings) {
    const std::string longest(kMaxLineLength, 'x');
    const std::string tooLong(kMaxLineLength + 1, 'x');
    const struct {
        std::string text;
        std::vector<std::string> lines;
    } cases[] = {
        {"", {}},
        {"a\r\nb\n\nc", {"a", "b", "", "c"}},
        {"a\r\r\n\r\n", {"a", ""}},
        {"a\rb\r", {"a\rb"}},
        {longest + "\r\nend", {longest, "end"}},
        {tooLong + "\r\nend\r\n", {"end"}},
        {"start\n" + tooLong, {"start"}},
    };
    for (size_t piece : kPieces) {
        for (const auto& c : cases) {
            const std::vector<std::string> lines = Lines(c.text, piece);
            EXPECT_TRUE(lines == c.lines)
                << Shown(lines) << " from " << Shown(c.text) << " in " << piece;
        }
    }
}

TEST(BootIni, DefaultLine) {
    const std::string winnt = "default=multi(0)disk(0)rdisk(0)partition(1)\\WINNT\r\n";
    // Pieces of this line that a reader with a fixed buffer would take for lines.
    std::string planted(100000, 'x');
    for (size_t offset : {127, 255, 511, 1023, 4095, 65535})
        planted.replace(offset, 24, "default=multi(0)\\PLANTED");
    std::string longest = "default=multi(0)\\";
    longest.resize(kMaxLineLength, 'W');
    const struct {
        std::string text;
        std::optional<std::string> path;
    } cases[] = {
        {"[boot loader]\r\ntimeout=30\r\n" + winnt + "[operating systems]\r\n", "\\WINNT"},
        {"DEFAULT=MULTI(0)DISK(0)RDISK(0)PARTITION(2)\\WINDOWS", "\\WINDOWS"},
        {"default=C:\\WINNT\r\n", std::nullopt},
        {"default=C:\\\r\n" + winnt, "\\WINNT"},
        {" default=multi(0)\\WINNT\r\ndefaults=multi(0)\\WINNT\r\ndefault", std::nullopt},
        {"default=scsi(0)disk(1)(x)\\A)\\LAST\r\n", "\\LAST"},
        {"default=multi(0)disk(0)rdisk(0)partition(1)\r\n", ""},
        {planted + "\r\n", std::nullopt},
        {planted + "\r\n" + winnt, "\\WINNT"},
        {longest + "\r\n", longest.substr(16)},
        {longest + "W\r\n" + winnt, "\\WINNT"},
    };
    for (size_t piece : kPieces) {
        for (const auto& c : cases) {
            TextSource source(c.text, piece);
            const std::optional<std::string> path = ReadBootDefaultPath(source);
            EXPECT_TRUE(path == c.path)
                << Shown(path.value_or("<none>")) << " from " << Shown(c.text) << " in " << piece;
        }
    }
}

// Drives whose roots are temporary folders. Listings come in name order; every
// directory listed is recorded.
class FolderDrives final : public HostFileSystem {
public:
    FolderDrives() {
        std::random_device random;
        base_ = fs::temp_directory_path() / ("kvprobe_drives_" + std::to_string(random()));
        fs::create_directories(base_);
    }
    ~FolderDrives() override {
        std::error_code ignored;
        fs::remove_all(base_, ignored);
    }

    std::optional<std::string> systemDirectory = "C:\\WINDOWS\\system32";
    std::vector<std::string> listed;

    void File(const std::string& path, const std::string& text = "[fonts]\r\n") {
        fs::create_directories(Map(path).parent_path());
        std::ofstream(Map(path), std::ios::binary) << text;
    }
    void Directory(const std::string& path) { fs::create_directories(Map(path)); }
    bool Link(const std::string& path, const std::string& target) {
        std::error_code error;
        fs::create_directory_symlink(Map(target), Map(path), error);
        return !error;
    }
    // The depth below its drive root of the deepest directory listed.
    int DeepestListing() const {
        int deepest = -1;
        for (const std::string& directory : listed)
            deepest = std::max(
                deepest, static_cast<int>(std::count(directory.begin(), directory.end(), '/')));
        return deepest;
    }

    bool SystemDirectory(std::string* out) override {
        if (systemDirectory) *out = *systemDirectory;
        return systemDirectory.has_value();
    }
    bool IsFile(const std::string& path) override { return fs::is_regular_file(Map(path)); }
    std::unique_ptr<ByteSource> OpenRead(const std::string& path) override {
        std::ifstream in(Map(path), std::ios::binary);
        if (!in) return nullptr;
        return std::make_unique<TextSource>(
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()),
            4096);
    }
    bool List(const std::string& pattern, const Visit& visit) override {
        EXPECT_EQ(pattern.substr(pattern.size() - 4), "/*.*");
        const std::string directory = pattern.substr(0, pattern.size() - 4);
        listed.push_back(directory);
        std::error_code error;
        fs::directory_iterator it(Map(directory), error);
        if (error) return false;
        std::vector<DirectoryEntry> entries;
        for (const fs::directory_entry& entry : it)
            entries.push_back({entry.path().filename().string(), entry.is_directory(error)});
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.name < b.name; });
        entries.insert(entries.begin(), {{".", true}, {"..", true}});
        for (const DirectoryEntry& entry : entries) {
            if (!visit(entry)) break;
        }
        return true;
    }

private:
    // "C:\a\b" and "C:/a/b" alike: the drive's folder, then the rest.
    fs::path Map(const std::string& path) const {
        std::string rest = path.substr(2);
        std::replace(rest.begin(), rest.end(), '\\', '/');
        while (!rest.empty() && rest[0] == '/') rest.erase(0, 1);
        const char drive = static_cast<char>(std::toupper(static_cast<unsigned char>(path[0])));
        return base_ / std::string(1, drive) / rest;
    }

    fs::path base_;
};

std::pair<int, std::string> Check(FolderDrives& drives, int length) {
    return CheckGuarded(
        length, [&](char* buffer, int size) { return FindHostDirectory(drives, buffer, size); });
}

const char kBootWinnt[] = "[boot loader]\r\ndefault=multi(0)disk(0)rdisk(0)partition(1)\\WINNT\r\n";

TEST(HostCheck, DrivesBuffersAndDepth) {
    const char* onC = "C:\\WINDOWS\\system32";
    const char* onX = "X:\\WINDOWS\\system32";
    const std::string ini = "[fonts]\r\n";
    const struct {
        const char* name;
        const char* system;  // null: the system directory cannot be read
        std::vector<std::pair<std::string, std::string>> files;
        std::vector<std::string> directories;
        int length;
        int result;
        std::string text;
    } cases[] = {
        // clang-format off: one case a line or two
        {"BootIniOnCSystemOnX", onX, {{"C:\\boot.ini", kBootWinnt}}, {}, 64, 1, "C:\\WINNT"},
        {"BootIniOnD",
         onX,
         {{"D:\\boot.ini", "default=multi(0)disk(0)rdisk(1)partition(1)\\W"}},
         {},
         64,
         1,
         "D:\\W"},
        {"FirstDriveWins",
         onX,
         {{"D:\\boot.ini", "default=(0)\\D"}, {"C:\\boot.ini", kBootWinnt}},
         {},
         64,
         1,
         "C:\\WINNT"},
        {"NoDrivePastTheSystemDrive",
         "d:\\windows\\system32",
         {{"E:\\boot.ini", kBootWinnt},
          {"E:\\W\\win.ini", ini},
          {"D:\\D\\win.ini", ini}},
         {},
         64,
         1,
         "D:/D"},
        {"OnlyCWhenTheSystemIsOnC",
         onC,
         {{"D:\\boot.ini", kBootWinnt}, {"D:\\W\\win.ini", ini}},
         {},
         64,
         0,
         ""},
        {"SystemDirectoryNotOnALetter",
         "\\\\server\\share",
         {{"C:\\boot.ini", kBootWinnt}},
         {},
         64,
         0,
         ""},
        {"SystemDirectoryUnreadable", nullptr, {{"C:\\boot.ini", kBootWinnt}}, {}, 64, 0, ""},
        {"LengthZero", onC, {{"C:\\boot.ini", kBootWinnt}}, {}, 0, 0, "<nothing written>"},
        {"LengthOne", onC, {{"C:\\boot.ini", kBootWinnt}}, {}, 1, 1, ""},
        {"LengthTwo", onC, {{"C:\\boot.ini", kBootWinnt}}, {}, 2, 1, "\\"},
        {"LengthThree", onC, {{"C:\\boot.ini", kBootWinnt}}, {}, 3, 1, "C:"},
        {"LengthFour", onC, {{"C:\\boot.ini", kBootWinnt}}, {}, 4, 1, "C:\\"},
        {"NoParenFallsBackToWinIni",
         onC,
         {{"C:\\boot.ini", "default=C:\\WINNT\r\n"}, {"C:\\WINNT\\win.ini", ini}},
         {},
         64,
         1,
         "C:/WINNT"},
        {"BootIniDirectory",
         onC,
         {{"C:\\WINNT\\WIN.INI", ini}},
         {"C:\\boot.ini"},
         64,
         1,
         "C:/WINNT"},
        {"WinIniInTheRoot", onC, {{"C:\\win.ini", ini}}, {}, 64, 1, "C:\\"},
        {"WinIniTwoLevelsDown", onC, {{"C:\\a\\b\\win.ini", ini}}, {}, 64, 1, "C:/a/b"},
        {"WinIniThreeLevelsDown", onC, {{"C:\\a\\b\\c\\win.ini", ini}}, {}, 64, 0, ""},
        {"FileBeforeADeepDirectory",
         onC,
         {{"C:\\a\\b\\0.txt", ""}, {"C:\\a\\b\\c\\win.ini", ini}},
         {},
         64,
         0,
         ""},
        {"DepthFirstInEnumerationOrder",
         onC,
         {{"C:\\b\\win.ini", ini}, {"C:\\a\\b\\win.ini", ini}},
         {},
         64,
         1,
         "C:/a/b"},
        {"DirectoryNamedWinIni", onC, {}, {"C:\\a\\b\\win.ini"}, 64, 0, ""},
        {"DirectoryNamedWinIniInTheRoot",
         onC,
         {{"C:\\x\\win.ini", ini}},
         {"C:\\WIN.INI\\x"},
         64,
         1,
         "C:/x"},
        {"WinIniOnD", onX, {{"D:\\WINNT\\win.ini", ini}}, {}, 64, 1, "D:/WINNT"},
        {"WinIniCutToTheBuffer", onC, {{"C:\\WINDOWS\\win.ini", ini}}, {}, 5, 1, "C:/W"},
        // clang-format on
    };
    for (const auto& c : cases) {
        FolderDrives drives;
        if (c.system != nullptr) {
            drives.systemDirectory = c.system;
        } else {
            drives.systemDirectory.reset();
        }
        for (const auto& [path, text] : c.files) drives.File(path, text);
        for (const std::string& path : c.directories) drives.Directory(path);
        EXPECT_EQ(Check(drives, c.length), std::make_pair(c.result, c.text)) << c.name;
        EXPECT_LE(drives.DeepestListing(), kDeepestSearchLevel) << c.name;
    }
}

TEST(HostCheck, NullBufferIsNotWritten) {
    FolderDrives drives;
    drives.File("C:\\boot.ini", kBootWinnt);
    EXPECT_EQ(FindHostDirectory(drives, nullptr, 64), 0);
    char byte = 0x5A;
    EXPECT_EQ(FindHostDirectory(drives, &byte, -1), 0);
    EXPECT_EQ(byte, 0x5A);
}

TEST(HostCheck, SameAnswerEveryCall) {
    FolderDrives drives;
    drives.Directory("C:\\a\\b\\c\\d");
    drives.File("C:\\a\\b\\c.txt");
    drives.File("C:\\z\\win.ini");
    const auto first = Check(drives, 64);
    EXPECT_EQ(first, std::make_pair(1, std::string("C:/z")));
    EXPECT_EQ(Check(drives, 64), first);
}

TEST(HostCheck, LoopOfLinksEndsAtTheDeepestLevel) {
    FolderDrives drives;
    drives.File("C:\\loop\\a.txt");
    if (!drives.Link("C:\\loop\\self", "C:\\loop")) GTEST_SKIP() << "no directory links here";
    drives.File("C:\\z\\win.ini");
    EXPECT_EQ(Check(drives, 64), std::make_pair(1, std::string("C:/z")));
    EXPECT_EQ(drives.DeepestListing(), kDeepestSearchLevel);
}

}  // namespace
