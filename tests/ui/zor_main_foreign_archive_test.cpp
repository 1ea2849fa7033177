// zor_main_foreign_archive_test.cpp - listing zip and tar archives through libarchive, in the archive layer and in the window.
#include "tests/ui/zor_main_test_support.h"

#include "archive/foreign_archive_listing.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>

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
    bool packedSizeKnown;  // 7z keeps its data solid: no packed size per entry
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
    EXPECT_EQ(entries[1].packedSize > 0, GetParam().packedSizeKnown);
    EXPECT_EQ(entries[2].folderPart(), "docs/img/");
    EXPECT_EQ(entries[3].fileName(), "readme.md");
    EXPECT_EQ(entries[3].folderPart(), "");
    EXPECT_EQ(entries[3].size, 9u);
}

INSTANTIATE_TEST_SUITE_P(
    Libarchive, ForeignArchiveFormats,
    testing::Values(FormatCase {"bundle.zip", ARCHIVE_FORMAT_ZIP, ARCHIVE_FILTER_NONE, true},
                    FormatCase {"bundle.tar", ARCHIVE_FORMAT_TAR_USTAR, ARCHIVE_FILTER_NONE, true},
                    FormatCase {"bundle.tar.gz", ARCHIVE_FORMAT_TAR_PAX_RESTRICTED, ARCHIVE_FILTER_GZIP, true},
                    FormatCase {"bundle.cpio", ARCHIVE_FORMAT_CPIO_POSIX, ARCHIVE_FILTER_NONE, true},
                    FormatCase {"bundle.7z", ARCHIVE_FORMAT_7ZIP, ARCHIVE_FILTER_NONE, false}),
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
    EXPECT_GT(list.SubItem(guide, 2).toLongLong(), 0);
    EXPECT_LT(list.SubItem(guide, 2).toLongLong(), 40000) << "the zip compressed it";
    EXPECT_FALSE(list.SubItem(guide, 3).isEmpty()) << "a type name";
    EXPECT_EQ(list.SubItem(guide, 4), "docs/");
    EXPECT_EQ(fixture.window->panelText(0), "");
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

}  // namespace
}  // namespace zor::test
