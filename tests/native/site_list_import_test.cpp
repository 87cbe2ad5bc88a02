// Site lists read from other tools' files and written out again: each format on files of the
// shapes browsers and feed readers write, each encoding, hostile input, and an export read back.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "registry/site_list_export.h"
#include "registry/site_list_import.h"

namespace {

struct Site {
    std::string name;
    std::string url;
    bool operator==(const Site& o) const { return name == o.name && url == o.url; }
};

std::ostream& operator<<(std::ostream& out, const Site& s) { return out << "{" << s.name << ", " << s.url << "}"; }

std::vector<Site> Sites(const SiteListImport& import)
{
    std::vector<Site> sites;
    for (size_t i = 0; i < import.Count(); ++i)
        sites.push_back({import.Site(i).name, import.Site(i).url});
    return sites;
}

std::vector<Site> Read(const std::string& text, SiteListImport* import, const char* fallbackName = "")
{
    EXPECT_EQ(import->Read(text.data(), text.size(), fallbackName), SiteListImport::kRead);
    return Sites(*import);
}

// 日本 in code page 932 and in UTF-8.
const std::string kNihonCp932 = "\x93\xfa\x96\x7b";
const std::string kNihonUtf8 = "\xe6\x97\xa5\xe6\x9c\xac";

std::string Utf16(const std::string& ascii, bool bigEndian)
{
    std::string out = bigEndian ? "\xfe\xff" : "\xff\xfe";
    for (char c : ascii) {
        if (bigEndian)
            out += std::string(1, '\0') + c;
        else
            out += std::string(1, c) + '\0';
    }
    return out;
}

TEST(SiteListImportTest, PlainListsTakeUrlsAndNamedLines)
{
    SiteListImport import;
    auto sites = Read("# my sites\r\n"
                      "http://example.com/news.html\r\n"
                      "\r\n"
                      "  Weather\thttps://weather.example.org/today  \r\n"
                      "example.net:8080/page\n"
                      "ftp://files.example.com/\n"
                      "mailto:someone@example.com\n"
                      "http://bad port.example/\n"
                      "http://example.com:99999/\n" +
                          kNihonCp932 + "\thttp://example.jp/\n",
                      &import);
    EXPECT_EQ(sites, (std::vector<Site>{{"http://example.com/news.html", "http://example.com/news.html"},
                                        {"Weather", "https://weather.example.org/today"},
                                        {"example.net:8080/page", "example.net:8080/page"},
                                        {kNihonCp932, "http://example.jp/"}}));
    EXPECT_EQ(import.Unreadable(), 4u);
    EXPECT_EQ(import.Format(), SiteListFormat::kPlainList);
}

TEST(SiteListImportTest, OpmlOutlinesNestedWithTheirNamesAndOurSettings)
{
    SiteListImport import;
    auto sites = Read("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<opml version=\"2.0\" xmlns:sitewake=\"urn:x-sitewake:site-settings\">\n"
                      "<head><title>feeds</title></head><body>\n"
                      "<outline text=\"Tech\">\n"
                      "  <outline type=\"rss\" text=\"A &amp; B\" xmlUrl=\"https://a.example/feed\" htmlUrl=\"https://a.example/\"/>\n"
                      "  <outline title='only a title' xmlUrl='http://b.example/rss'/>\n"
                      "  <!-- <outline text=\"commented\" htmlUrl=\"http://c.example/\"/> -->\n"
                      "  <OUTLINE TEXT=\"" + kNihonUtf8 + "\" HTMLURL=\"http://jp.example/\"\n"
                      "      sitewake:interval=\"60\" sitewake:ignore=\"a&#10;b\" sitewake:compare=\"text\"/>\n"
                      "  <outline text=\"bad\" htmlUrl=\"javascript:alert(1)\"/>\n"
                      "</outline>\n</body></opml>\n",
                      &import);
    EXPECT_EQ(sites, (std::vector<Site>{{"A & B", "https://a.example/"},
                                        {"only a title", "http://b.example/rss"},
                                        {kNihonCp932, "http://jp.example/"}}));
    EXPECT_EQ(import.Unreadable(), 1u);
    EXPECT_EQ(import.Format(), SiteListFormat::kOpml);
    ImportedSite jp = import.Site(2);
    EXPECT_STREQ(jp.settings[kSettingInterval], "60");
    EXPECT_STREQ(jp.settings[kSettingIgnore], "a\nb");
    EXPECT_STREQ(jp.settings[kSettingCompare], "text");
    EXPECT_EQ(jp.settings[kSettingFrom], nullptr);
    EXPECT_EQ(import.Site(0).settings[kSettingCompare], nullptr);
}

TEST(SiteListImportTest, BookmarkFilesOfBrowsers)
{
    SiteListImport import;
    auto sites = Read("<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
                      "<!-- This is an automatically generated file. -->\n"
                      "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
                      "<TITLE>Bookmarks</TITLE>\n<H1>Bookmarks Menu</H1>\n<DL><p>\n"
                      "    <DT><H3 ADD_DATE=\"1700000000\" PERSONAL_TOOLBAR_FOLDER=\"true\">Toolbar</H3>\n"
                      "    <DL><p>\n"
                      "        <DT><A HREF=\"https://news.example/\" ADD_DATE=\"1700000001\" ICON=\"data:image/png;base64,AAAA\">News &lt;daily&gt;</A>\n"
                      "        <DT><A HREF=\"place:sort=8&maxResults=10\">Most Visited</A>\n"
                      "    </DL><p>\n"
                      "    <DT><A HREF=\"http://jp.example/\">" + kNihonUtf8 + "</A>\n"
                      "    <DT><a href=http://bare.example/>bare</a>\n"
                      "</DL>\n",
                      &import);
    EXPECT_EQ(sites, (std::vector<Site>{{"News <daily>", "https://news.example/"},
                                        {kNihonCp932, "http://jp.example/"},
                                        {"bare", "http://bare.example/"}}));
    EXPECT_EQ(import.Unreadable(), 1u);
    EXPECT_EQ(import.Format(), SiteListFormat::kBookmarks);
}

TEST(SiteListImportTest, InternetShortcutsWithOtherSections)
{
    SiteListImport import;
    auto sites = Read("[{000214A0-0000-0000-C000-000000000046}]\r\nProp3=19,11\r\nURL=http://wrong.example/\r\n"
                      "[InternetShortcut]\r\nIDList=\r\nURL=https://right.example/page\r\nIconIndex=0\r\n",
                      &import, "Right page");
    EXPECT_EQ(sites, (std::vector<Site>{{"Right page", "https://right.example/page"}}));
    EXPECT_EQ(import.Format(), SiteListFormat::kInternetShortcut);

    // Several at once: each file adds its site; a shortcut without a URL is unreadable.
    Read("[InternetShortcut]\nURL=http://second.example/\n", &import, "second");
    Read("[InternetShortcut]\nIconFile=x\n", &import, "none");
    EXPECT_EQ(Sites(import).size(), 2u);
    EXPECT_EQ(import.Unreadable(), 1u);
}

TEST(SiteListImportTest, AFormatNamedInsideAnEntryDoesNotDecideTheFormat)
{
    // OPML of ours whose site names a shortcut's section in its name, URL and ignored texts.
    const char* ignore = "[InternetShortcut]\n[internetshortcut]";
    ImportedSite named[] = {{"[InternetShortcut]", "http://a.example/[InternetShortcut]", {}}};
    named[0].settings[kSettingIgnore] = ignore;
    HeapBlock out;
    size_t len = 0;
    ASSERT_TRUE(FormatSiteList(ExportFormat::kOpml, named, 1, &out, &len));
    SiteListImport opml;
    EXPECT_EQ(Read(std::string(out.Data(), len), &opml),
              (std::vector<Site>{{"[InternetShortcut]", "http://a.example/[InternetShortcut]"}}));
    EXPECT_EQ(opml.Format(), SiteListFormat::kOpml);

    // A shortcut whose URL holds markup, and a plain list that mentions the section.
    SiteListImport shortcut;
    EXPECT_EQ(Read("[InternetShortcut]\r\nURL=http://b.example/<opml>\r\n", &shortcut, "b"),
              (std::vector<Site>{{"b", "http://b.example/<opml>"}}));
    EXPECT_EQ(shortcut.Format(), SiteListFormat::kInternetShortcut);
    SiteListImport plain;
    EXPECT_EQ(Read("c\thttp://c.example/[InternetShortcut]\n", &plain),
              (std::vector<Site>{{"c", "http://c.example/[InternetShortcut]"}}));
    EXPECT_EQ(plain.Format(), SiteListFormat::kPlainList);
}

TEST(SiteListImportTest, EveryEncodingGivesTheSameCodePage932Names)
{
    for (const std::string& text : {"\xef\xbb\xbf" + kNihonUtf8 + "\thttp://a.example/\n",
                                    kNihonUtf8 + "\thttp://a.example/\n",
                                    kNihonCp932 + "\thttp://a.example/\n"}) {
        SiteListImport import;
        EXPECT_EQ(Read(text, &import), (std::vector<Site>{{kNihonCp932, "http://a.example/"}}));
    }
    for (bool bigEndian : {false, true}) {
        SiteListImport import;
        std::string text = Utf16("name\thttp://u16.example/\r\n", bigEndian);
        text.insert(bigEndian ? 2 : 2, bigEndian ? std::string("\x65\xe5", 2) : std::string("\xe5\x65", 2));  // 日
        EXPECT_EQ(Read(text, &import), (std::vector<Site>{{"\x93\xfa" "name", "http://u16.example/"}}));
    }
    // A character code page 932 lacks becomes "?"; a name is cut to 99 bytes, never inside a
    // double-byte character.
    SiteListImport import;
    std::string longName;
    for (int i = 0; i < 60; ++i)
        longName += kNihonUtf8;
    auto sites = Read("\xf0\x9f\x98\x80 smile\thttp://e.example/\n" + longName + "\thttp://l.example/\n", &import);
    EXPECT_EQ(sites[0].name, "? smile");
    EXPECT_EQ(sites[1].name.size(), 98u);
}

TEST(SiteListImportTest, HostileInputIsBoundedAndCounted)
{
    SiteListImport import;
    // Unclosed tags and quotes: what came before is read, the cut entry counted.
    Read("<opml><body><outline text=\"ok\" htmlUrl=\"http://ok.example/\"/><outline text=\"cut\" htmlUrl=\"http://c", &import);
    EXPECT_EQ(Sites(import), (std::vector<Site>{{"ok", "http://ok.example/"}}));
    EXPECT_EQ(import.Unreadable(), 1u);

    // References are read once, never expanded further; out-of-range ones stay as written.
    SiteListImport refs;
    Read("<opml><outline text=\"&amp;amp; &#x110000; &#0; &#99999999999;\" htmlUrl=\"http://r.example/\"/></opml>", &refs);
    EXPECT_EQ(refs.Site(0).name, std::string("&amp; &#x110000; &#0; &#99999999999;"));

    // NUL bytes and a 16 MiB line.
    SiteListImport nul;
    Read(std::string("http://n.example/\0\n", 19) + std::string(kImportMaxFileBytes - 64, 'x') + "\n", &nul);
    EXPECT_EQ(nul.Count(), 0u);
    EXPECT_EQ(nul.Unreadable(), 2u);

    // Past the limits nothing is taken.
    SiteListImport big;
    std::string tooBig(kImportMaxFileBytes + 1, '\n');
    EXPECT_EQ(big.Read(tooBig.data(), tooBig.size()), SiteListImport::kTooLarge);
    std::string many;
    for (int i = 0; i <= kImportMaxEntries; ++i)
        many += "http://s" + std::to_string(i) + ".example/\n";
    Read("http://kept.example/\n", &big);
    EXPECT_EQ(big.Read(many.data(), many.size()), SiteListImport::kTooManyEntries);
    EXPECT_EQ(Sites(big), (std::vector<Site>{{"http://kept.example/", "http://kept.example/"}}));
    many.resize(many.find("http://s10000"));
    EXPECT_EQ(big.Read(many.data(), many.size()), SiteListImport::kRead);
    EXPECT_EQ(big.Count(), 1u + kImportMaxEntries);
}

TEST(SiteListExportTest, OpmlReadsBackTheSameSitesAndSettings)
{
    const char* settings[kSettingCount] = {"text", "1440", "<main>", nullptr, "\x95\xaa\x91\x4f\n\"quoted\" & more"};
    ImportedSite sites[] = {
        {"A & B <\"c\">", "http://a.example/?x=1&y=2", {}},
        {"\x93\xfa\x96\x7b\x82\xcc\x83\x54\x83\x43\x83\x67", "https://jp.example/", {}},  // 日本のサイト
        {"tab\tname", "example.com:8080/", {}},
    };
    for (int k = 0; k < kSettingCount; ++k)
        sites[1].settings[k] = settings[k];
    HeapBlock out;
    size_t len = 0;
    ASSERT_TRUE(FormatSiteList(ExportFormat::kOpml, sites, 3, &out, &len));
    std::string opml(out.Data(), len);
    EXPECT_NE(opml.find("text=\"\xe6\x97\xa5\xe6\x9c\xac"), std::string::npos) << "UTF-8 names";
    SiteListImport import;
    auto read = Read(opml, &import);
    EXPECT_EQ(read, (std::vector<Site>{{"A & B <\"c\">", "http://a.example/?x=1&y=2"},
                                       {sites[1].name, "https://jp.example/"},
                                       {"tab name", "example.com:8080/"}}));
    for (int k = 0; k < kSettingCount; ++k) {
        if (settings[k])
            EXPECT_STREQ(import.Site(1).settings[k], settings[k]) << kImportedSettingNames[k];
        else
            EXPECT_EQ(import.Site(1).settings[k], nullptr);
    }

    ASSERT_TRUE(FormatSiteList(ExportFormat::kPlainList, sites, 3, &out, &len));
    EXPECT_EQ(std::string(out.Data(), len), "A & B <\"c\">\thttp://a.example/?x=1&y=2\r\n" + std::string(sites[1].name) +
                                                 "\thttps://jp.example/\r\ntab name\texample.com:8080/\r\n");
}

}  // namespace
