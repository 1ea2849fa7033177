// zor_main_foreign_archive_test.cpp - listing zip and tar archives through libarchive, in the archive layer and in the window.
#include "tests/ui/zor_main_test_support.h"

#include "archive/foreign_archive_listing.h"

#include <archive.h>
#include <archive_entry.h>

#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

#include <sys/stat.h>

namespace zor::test {
namespace {

struct StoredEntry {
    std::string name;
    std::string data;
    bool folder = false;
};

// Writes `entries` with libarchive's writer in `format` (ARCHIVE_FORMAT_ZIP,
// ..._TAR_USTAR) through `filter` (ARCHIVE_FILTER_NONE, ..._GZIP).
void writeArchive(const QString& path, int format, int filter, const std::vector<StoredEntry>& entries) {
    archive* writer = archive_write_new();
    ASSERT_EQ(archive_write_set_format(writer, format), ARCHIVE_OK);
    ASSERT_EQ(archive_write_add_filter(writer, filter), ARCHIVE_OK);
    ASSERT_EQ(archive_write_open_filename(writer, path.toLocal8Bit().constData()), ARCHIVE_OK);
    for (const StoredEntry& stored : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, stored.name.c_str());
        archive_entry_set_filetype(entry, stored.folder ? AE_IFDIR : AE_IFREG);
        archive_entry_set_perm(entry, stored.folder ? 0755 : 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(stored.data.size()));
        ASSERT_EQ(archive_write_header(writer, entry), ARCHIVE_OK);
        if (!stored.data.empty()) archive_write_data(writer, stored.data.data(), stored.data.size());
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

const std::vector<StoredEntry> kEntries = {
    {"docs/", "", true},
    {"docs/guide.txt", std::string(40000, 'g'), false},
    {"docs/img/logo.png", "\x89PNG not really", false},
    {"readme.md", "# read me", false},
};

std::vector<ForeignArchiveEntry> readAll(const QString& path, bool* complete = nullptr) {
    std::vector<ForeignArchiveEntry> entries;
    const bool ok = readForeignArchiveDirectory(
        path.toStdString(), [&entries](const ForeignArchiveEntry& entry) { entries.push_back(entry); });
    if (complete) *complete = ok;
    return entries;
}

class ForeignArchiveTest : public TempFolderTest {};

struct FormatCase {
    const char* file;
    int format;
    int filter;
};

class ForeignArchiveFormats : public ForeignArchiveTest, public testing::WithParamInterface<FormatCase> {};

TEST_P(ForeignArchiveFormats, ListsEveryEntryWithItsSizeAndFolder) {
    const QString path = root_ + "/" + GetParam().file;
    writeArchive(path, GetParam().format, GetParam().filter, kEntries);
    ASSERT_TRUE(recogniseForeignArchive(path.toStdString()).has_value());
    bool complete = false;
    std::vector<ForeignArchiveEntry> entries = readAll(path, &complete);
    EXPECT_TRUE(complete);
    ASSERT_EQ(entries.size(), kEntries.size());
    // 7z stores the empty entries after the others; compare in name order.
    std::sort(entries.begin(), entries.end(), [](auto& a, auto& b) { return a.path < b.path; });
    EXPECT_EQ(entries[0].path, "docs");
    EXPECT_TRUE(entries[0].isFolder);
    EXPECT_EQ(entries[1].fileName(), "guide.txt");
    EXPECT_EQ(entries[1].folderPart(), "docs/");
    EXPECT_FALSE(entries[1].isFolder);
    EXPECT_EQ(entries[1].size, 40000u);
    EXPECT_EQ(entries[2].folderPart(), "docs/img/");
    EXPECT_EQ(entries[3].fileName(), "readme.md");
    EXPECT_EQ(entries[3].folderPart(), "");
    EXPECT_EQ(entries[3].size, 9u);
}

INSTANTIATE_TEST_SUITE_P(
    Libarchive, ForeignArchiveFormats,
    testing::Values(FormatCase {"bundle.zip", ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE},
                    FormatCase {"bundle.tar", ARCHIVE_FORMAT_TAR_USTAR, ARCHIVE_FILTER_NONE},
                    FormatCase {"bundle.tar.gz", ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, ARCHIVE_FILTER_GZIP},
                    FormatCase {"bundle.cpio", ARCHIVE_FORMAT_CPIO_POSIX, ARCHIVE_FILTER_NONE},
                    FormatCase {"bundle.7z", ARCHIVE_FORMAT_7ZIP, ARCHIVE_FILTER_NONE}),
    [](const testing::TestParamInfo<FormatCase>& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (c == '.') c = '_';
        return name;
    });

TEST_F(ForeignArchiveTest, ZorArchivesTextAndEmptyFilesAreNotForeign) {
    writeFile(root_ + "/empty.zip", "");
    writeFile(root_ + "/notes.txt", "plain words, no archive here\n");
    QByteArray zorHeader("ZOR", 4);
    zorHeader.append(QByteArray(72, '\0'));
    writeFile(root_ + "/backup.zor", zorHeader);
    for (const char* name : {"empty.zip", "notes.txt", "backup.zor", "missing.zip"})
        EXPECT_FALSE(recogniseForeignArchive((root_ + "/" + name).toStdString()).has_value()) << name;
}

TEST_F(ForeignArchiveTest, ATruncatedArchiveReportsTheEntriesBeforeTheDamage) {
    const QString path = root_ + "/cut.tar";
    writeArchive(path, ARCHIVE_FORMAT_TAR_USTAR, ARCHIVE_FILTER_NONE, kEntries);
    QByteArray bytes = readFile(path);
    // Keep the first two entries whole (headers of 512 bytes, data padded to
    // 512) and half of the third's header.
    bytes.truncate(512 + 512 + 40448 + 256);
    writeFile(path, bytes);
    bool complete = true;
    const std::vector<ForeignArchiveEntry> entries = readAll(path, &complete);
    EXPECT_FALSE(complete);
    ASSERT_EQ(entries.size(), 2u);
    EXPECT_EQ(entries[1].path, "docs/guide.txt");
}

TEST_F(ForeignArchiveTest, WindowListsAZipInTheArchiveColumnsAndUpLeavesIt) {
    writeArchive(root_ + "/bundle.zip", ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE, kEntries);
    WindowFixture fixture(root_);
    TExpListView& list = fixture.list();
    selectRows(list, {"bundle.zip"});
    fixture.window->DirListDblClick();

    const WindowState& state = fixture.window->state();
    EXPECT_EQ(state.InForeignArchive, 1);
    EXPECT_EQ(state.ArchiveLevel, 0);
    EXPECT_EQ(list.ColumnCount(), 5);
    EXPECT_EQ(captions(list), QStringList({"docs", "guide.txt", "logo.png", "readme.md"}));
    const int guide = rowOf(list, "guide.txt");
    EXPECT_EQ(list.SubItem(guide, 1), "40000");
    EXPECT_EQ(list.SubItem(guide, 2), "") << "libarchive does not tell the packed size";
    EXPECT_FALSE(list.SubItem(guide, 3).isEmpty()) << "a type name";
    EXPECT_EQ(list.SubItem(guide, 4), "docs/");
    EXPECT_EQ(fixture.window->panelText(0), "Reading files : 4");
    EXPECT_EQ(fixture.window->panelText(1), "");

    // A double click inside the foreign archive does nothing; Up leaves it.
    selectRows(list, {"docs"});
    fixture.window->DirListDblClick();
    EXPECT_EQ(list.RowCount(), 4);
    fixture.window->UpButtonClick();
    EXPECT_EQ(state.InForeignArchive, 0);
    EXPECT_EQ(state.ArchiveLevel, -1);
    EXPECT_EQ(list.Folder(), root_);
    EXPECT_GE(rowOf(list, "bundle.zip"), 0);
    EXPECT_EQ(fixture.window->panelText(0), root_);
}

// Archives made by the real tools, listed in the window: every entry but
// the archive's own root, the unpacked size, no packed size.
struct ToolCase {
    const char* file;
    const char* program;
    QStringList arguments;  // run in the folder holding docs/ and readme.md, writing ../FILE
    const char* compressor = nullptr;  // the program tar calls, when it calls one
};

class ArchivesOfRealTools : public ForeignArchiveTest, public testing::WithParamInterface<ToolCase> {};

TEST_P(ArchivesOfRealTools, ListWithoutDotRowsOrPackedSizes) {
    for (const char* needed : {GetParam().program, GetParam().compressor}) {
        if (needed && QStandardPaths::findExecutable(needed).isEmpty())
            GTEST_SKIP() << needed << " is not installed (scripts/setup.sh installs it)";
    }
    const QString source = root_ + "/source";
    writeFile(source + "/docs/guide.txt", QByteArray(44986, 'g'));
    writeFile(source + "/readme.md", "# read me");
    QProcess tool;
    tool.setWorkingDirectory(source);
    tool.start(GetParam().program, GetParam().arguments);
    ASSERT_TRUE(tool.waitForFinished(60000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();

    WindowFixture fixture(root_);
    TExpListView& list = fixture.list();
    selectRows(list, {GetParam().file});
    fixture.window->DirListDblClick();
    ASSERT_EQ(fixture.window->state().InForeignArchive, 1);
    QStringList names = captions(list);
    names.sort();
    EXPECT_EQ(names, QStringList({"docs", "guide.txt", "readme.md"}));
    const int guide = rowOf(list, "guide.txt");
    ASSERT_GE(guide, 0);
    EXPECT_EQ(list.SubItem(guide, 1), "44986");
    EXPECT_EQ(list.SubItem(guide, 4).toLower(), "docs/");
    for (int row = 0; row < list.RowCount(); ++row) EXPECT_EQ(list.SubItem(row, 2), "") << list.Caption(row).toStdString();
    EXPECT_EQ(fixture.window->panelText(0), "Reading files : 3");
}

INSTANTIATE_TEST_SUITE_P(
    Desktop, ArchivesOfRealTools,
    testing::Values(ToolCase {"bundle.zip", "zip", {"-qr", "../bundle.zip", "docs", "readme.md"}},
                    ToolCase {"bundle.7z", "7z", {"a", "-bd", "-bso0", "../bundle.7z", "docs", "readme.md"}},
                    ToolCase {"bundle.iso", "xorriso", {"-as", "mkisofs", "-quiet", "-R", "-o", "../bundle.iso", "."}},
                    ToolCase {"bundle.tar", "tar", {"-cf", "../bundle.tar", "."}},
                    ToolCase {"bundle.tar.gz", "tar", {"-czf", "../bundle.tar.gz", "docs", "readme.md"}, "gzip"},
                    ToolCase {"bundle.tar.xz", "tar", {"-cJf", "../bundle.tar.xz", "docs", "readme.md"}, "xz"},
                    ToolCase {"bundle.tar.zst", "tar", {"--zstd", "-cf", "../bundle.tar.zst", "docs", "readme.md"}, "zstd"}),
    [](const testing::TestParamInfo<ToolCase>& info) {
        std::string name = info.param.file;
        for (char& c : name)
            if (c == '.') c = '_';
        return name;
    });

// Listing a large compressed tar keeps the window served (the count grows
// in the status bar) and takes no input meanwhile.
TEST_F(ForeignArchiveTest, ReadingALargeTarPumpsAndShowsTheCount) {
    std::vector<StoredEntry> many;
    for (int i = 0; i < 300; ++i)
        many.push_back({QStringLiteral("f%1.bin").arg(i).toStdString(), std::string(100000, char('a' + i % 7)), false});
    writeArchive(root_ + "/many.tar.gz", ARCHIVE_FORMAT_TAR_USTAR, ARCHIVE_FILTER_GZIP, many);
    WindowFixture fixture(root_);
    QStringList shown;
    bool blocked = true;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (fixture.window->state().InForeignArchive != 1) return;
        shown << fixture.window->panelText(0);
        blocked = blocked && fixture.window->inputBlocked();
    });
    watch.start(0);
    selectRows(fixture.list(), {"many.tar.gz"});
    fixture.window->DirListDblClick();
    watch.stop();
    EXPECT_EQ(fixture.list().RowCount(), 300);
    ASSERT_FALSE(shown.isEmpty()) << "the reading let timers run";
    EXPECT_TRUE(blocked);
    EXPECT_TRUE(shown.front().startsWith("Reading files : "));
    EXPECT_EQ(fixture.window->panelText(0), "Reading files : 300");
}

TEST_F(ForeignArchiveTest, AFifoIsNoArchiveAndIsNotOpened) {
    const QString fifo = root_ + "/pipe.zip";
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
    EXPECT_FALSE(recogniseForeignArchive(fifo.toStdString()).has_value());
    std::string error;
    EXPECT_FALSE(readForeignArchiveDirectory(fifo.toStdString(), [](const ForeignArchiveEntry&) {}, &error));
    EXPECT_EQ(error, "not a regular file");
}

}  // namespace
}  // namespace zor::test
