// list_entries_test.cpp - zor-cli list -r and --json: every entry with its full path, and a JSON document for scripts.
#include <gtest/gtest.h>

#include <ctime>
#include <sys/stat.h>
#include <utime.h>

#include "tests/cli/cli_runner.h"

namespace zor::test {
namespace {

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

constexpr std::time_t kWhen = 1700000000;  // even: DOS times keep 2-second steps

std::string localIso(std::time_t when) {
    std::tm local {};
    ::localtime_r(&when, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &local);
    return text;
}

class ListEntries : public testing::Test {
protected:
    void put(const std::string& relative, const std::string& bytes) {
        writeFile(folder / relative, bytes);
        struct utimbuf times { kWhen, kWhen };
        ::utime((folder / relative).c_str(), &times);
    }

    CliResult run(const std::vector<std::string>& args) { return runCli(folder.path(), args); }

    TempFolder folder;
};

// Names that JSON must escape, or that are not UTF-8, come out as a valid
// document that keeps every byte: quotes and backslashes escaped, control
// characters as \u00XX or their short forms, a stray byte read as Latin-1.
TEST_F(ListEntries, JsonEscapesEveryNameAndGivesTheFixedKeys) {
    for (const char* name : {"t/q\"uote", "t/tab\there", "t/caf\xc3\xa9", "t/latin\xe9", "t/ctl\x01", "t/.hidden",
                             "t/ro", "t/bad\xed\xa0\x80", "t/sub/in"})
        put(name, "");
    ::chmod((folder / "t/ro").c_str(), 0444);
    struct utimbuf times { kWhen, kWhen };
    ::utime((folder / "t/sub").c_str(), &times);
    ASSERT_EQ(run({"pack", "-q", "n.zor", "t"}).status, 0);
    put("p/sub/in", "");
    ASSERT_EQ(run({"pack", "-q", "--plain", "plain.zor", "p"}).status, 0);

    const std::string time = '"' + localIso(kWhen) + '"';
    const auto file = [&](const std::string& path, bool readOnly = false, bool hidden = false) {
        std::string line = "  {\"path\": \"";
        line += path;
        line += "\", \"folder\": false, \"size\": 0, \"packed\": 0, \"modified\": ";
        line += time;
        line += std::string(", \"readOnly\": ") + (readOnly ? "true" : "false");
        line += std::string(", \"hidden\": ") + (hidden ? "true" : "false") + "}";
        return line;
    };
    const std::string expected = "[\n"
                                 "  {\"path\": \"t/sub\", \"folder\": true, \"size\": 0, \"packed\": 0, \"modified\": " +
                                 time + ", \"readOnly\": false, \"hidden\": false},\n" +
                                 file("t/.hidden", false, true) + ",\n" +
                                 file("t/bad\\u00ed\\u00a0\\u0080") + ",\n" +  // an encoded surrogate is no UTF-8
                                 file("t/caf\xc3\xa9") + ",\n" +
                                 file("t/ctl\\u0001") + ",\n" +
                                 file("t/latin\\u00e9") + ",\n" +
                                 file("t/q\\\"uote") + ",\n" +
                                 file("t/ro", true) + ",\n" +
                                 file("t/tab\\there") + "\n]\n";
    const CliResult level = run({"list", "--json", "n.zor", "t"});
    ASSERT_EQ(level.status, 0) << level.err;
    EXPECT_EQ(level.out, expected);

    const CliResult all = run({"list", "-r", "--json", "n.zor"});
    ASSERT_EQ(all.status, 0) << all.err;
    for (const std::string& part : {std::string("{\"path\": \"t\", \"folder\": true"), file("t/sub/in"),
                                    file("t/latin\\u00e9")})
        EXPECT_TRUE(contains(all.out, part)) << part << "\n" << all.out;
    EXPECT_TRUE(all.out.starts_with("[\n  {") && all.out.ends_with("}\n]\n")) << all.out;
    // An archive without exact times has none for its folders.
    EXPECT_TRUE(contains(run({"list", "--json", "plain.zor", "p"}).out,
                         "{\"path\": \"p/sub\", \"folder\": true, \"size\": 0, \"packed\": 0, \"modified\": null"));
    EXPECT_EQ(run({"list", "--json", "n.zor", "t/sub/in/nothing"}).status, 1);
}

TEST_F(ListEntries, RecursiveLinesGiveSizesTimesAttributesAndFullPaths) {
    put("p/docs/readme.txt", std::string(1000, 'r'));
    put("p/.profile", "h");
    put("p/docs/img/x\x02y.png", "x");
    ::chmod((folder / "p/docs/readme.txt").c_str(), 0444);
    ASSERT_EQ(run({"pack", "-q", "p.zor", "p"}).status, 0);

    const CliResult all = run({"list", "-r", "p.zor"});
    ASSERT_EQ(all.status, 0) << all.err;
    std::vector<std::string> lines;
    for (std::size_t start = 0, end; start < all.out.size(); start = end + 1) {
        end = all.out.find('\n', start);
        lines.push_back(all.out.substr(start, end - start));
    }
    ASSERT_EQ(lines.size(), 6u) << all.out;  // p, docs, img and three files
    const std::string time = localIso(kWhen);
    struct Expected {
        const char* ending;  // attributes and path
        const char* start;   // the size column, as aligned
    };
    for (const Expected& e : {Expected{"d--  p/", "   0"}, Expected{"d--  p/docs/", "   0"},
                              Expected{"d--  p/docs/img/", "   0"}, Expected{"-r-  p/docs/readme.txt", "1000"},
                              Expected{"--h  p/.profile", "   1"}, Expected{"---  p/docs/img/x?y.png", "   1"}}) {
        const auto line = std::find_if(lines.begin(), lines.end(),
                                       [&](const std::string& l) { return l.ends_with(std::string("  ") + e.ending); });
        ASSERT_NE(line, lines.end()) << e.ending << "\n" << all.out;
        EXPECT_TRUE(line->starts_with(e.start)) << *line;
        const bool folder = e.ending[0] == 'd';
        EXPECT_TRUE(contains(*line, folder ? "  -                    d" : "  " + time + "  ")) << *line;
    }
    const CliResult below = run({"list", "-r", "p.zor", "P/Docs/img"});
    EXPECT_EQ(below.status, 0) << below.err;
    EXPECT_EQ(std::count(below.out.begin(), below.out.end(), '\n'), 2) << below.out;
    EXPECT_TRUE(contains(below.out, "p/docs/img/x?y.png\n")) << below.out;

    // One level stays the window's table.
    EXPECT_TRUE(run({"list", "p.zor"}).out.starts_with("Name")) << run({"list", "p.zor"}).out;
}

TEST_F(ListEntries, ADamagedArchiveGivesNoDocumentAtAll) {
    put("d/a.txt", "alpha");
    ASSERT_EQ(run({"pack", "-q", "d.zor", "d"}).status, 0);
    std::string bytes = readFile(folder / "d.zor");
    bytes[76 + 43 + 20] = bytes[76 + 43 + 21] = 0;  // the entry after the folder entry "d" has no name
    writeFile(folder / "d.zor", bytes);
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"list", "-r", "--json", "d.zor"}, {"list", "-r", "d.zor"}}) {
        const CliResult result = run(args);
        EXPECT_EQ(result.status, 1) << result.out;
        EXPECT_EQ(result.out, "");
        EXPECT_EQ(result.err, "zor-cli: d.zor: ZOR archive is corrupt\n");
    }
}

}  // namespace
}  // namespace zor::test
