#include "archive/archiveroptions.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

using namespace archives;

namespace {

using Num = std::int8_t TArchiverOptions::*;

// Every number option, listed independently of the implementation.
const std::vector<std::pair<std::string, Num>> kNumbers = {
    {"a", &TArchiverOptions::a},     {"c", &TArchiverOptions::c},     {"e", &TArchiverOptions::e},
    {"f", &TArchiverOptions::f},     {"h", &TArchiverOptions::h},     {"i", &TArchiverOptions::i},
    {"l", &TArchiverOptions::l},     {"m", &TArchiverOptions::m},     {"n", &TArchiverOptions::n},
    {"o", &TArchiverOptions::o},     {"p", &TArchiverOptions::p},     {"r", &TArchiverOptions::r},
    {"s", &TArchiverOptions::s},     {"t", &TArchiverOptions::t},     {"u", &TArchiverOptions::u},
    {"x", &TArchiverOptions::x},     {"y", &TArchiverOptions::y},     {"z", &TArchiverOptions::z},
    {"jc", &TArchiverOptions::jc},   {"jd", &TArchiverOptions::jd},   {"je", &TArchiverOptions::je},
    {"jf", &TArchiverOptions::jf},   {"jh", &TArchiverOptions::jh},   {"ji", &TArchiverOptions::ji},
    {"jm", &TArchiverOptions::jm},   {"jn", &TArchiverOptions::jn},   {"jp", &TArchiverOptions::jp},
    {"jr", &TArchiverOptions::jr},   {"jsb", &TArchiverOptions::jsb}, {"jsc", &TArchiverOptions::jsc},
    {"jsd", &TArchiverOptions::jsd}, {"jse", &TArchiverOptions::jse}, {"jsf", &TArchiverOptions::jsf},
    {"jsl", &TArchiverOptions::jsl}, {"jso", &TArchiverOptions::jso}, {"jss", &TArchiverOptions::jss},
    {"jst", &TArchiverOptions::jst}, {"jsv", &TArchiverOptions::jsv}, {"jsz", &TArchiverOptions::jsz},
    {"jw", &TArchiverOptions::jw},   {"jyc", &TArchiverOptions::jyc}, {"jyd", &TArchiverOptions::jyd},
    {"jyk", &TArchiverOptions::jyk}, {"jyn", &TArchiverOptions::jyn}, {"jyo", &TArchiverOptions::jyo},
    {"ga", &TArchiverOptions::ga},   {"gd", &TArchiverOptions::gd},   {"ge", &TArchiverOptions::ge},
    {"gf", &TArchiverOptions::gf},   {"gj", &TArchiverOptions::gj},   {"gm", &TArchiverOptions::gm},
    {"gn", &TArchiverOptions::gn},   {"go", &TArchiverOptions::go},   {"gp", &TArchiverOptions::gp},
    {"gs", &TArchiverOptions::gs},   {"gu", &TArchiverOptions::gu},   {"gw", &TArchiverOptions::gw},
};

const std::vector<std::string> kKeptByAssign = {"jsb", "jsc", "jsd", "jse", "jsf", "jsl", "jso", "jst", "jsv", "jsz"};

// Every property rendered as text, so two option sets compare by name.
std::map<std::string, std::string> snapshot(const TArchiverOptions& o)
{
    std::map<std::string, std::string> m;
    for (const auto& [name, member] : kNumbers)
        m[name] = std::to_string(o.*member);
    m["w"] = o.w;
    m["jo"] = o.jo;
    m["job"] = o.job;
    m["jz"] = o.jz;
    m["gr"] = o.gr;
    std::string jx;
    for (const std::string& s : o.jx)
        jx += s + '|';
    m["jx"] = jx;
    m["UserOptions"] = o.UserOptions;
    m["UserFileList"] = o.UserFileList;
    m["PackFilter"] = std::to_string(o.PackFilter);
    m["ResFileName"] = o.ResFileName;
    m["ResFileUsage"] = std::to_string(o.ResFileUsage.bits());
    return m;
}

// Sets every property to a value different from its default (and from the
// values of another seed).
void fillAll(TArchiverOptions& o, int seed)
{
    int k = seed;
    for (const auto& [name, member] : kNumbers)
        o.*member = std::int8_t(k++ % 100);
    o.w = "w" + std::to_string(seed);
    o.jo = "";
    o.job = "job" + std::to_string(seed);
    o.jz = "jz" + std::to_string(seed);
    o.gr = "gr" + std::to_string(seed);
    o.jx = {"x" + std::to_string(seed), "y"};
    o.UserOptions = "-uo" + std::to_string(seed);
    o.UserFileList = "ufl" + std::to_string(seed);
    o.PackFilter = pfArchiver;
    o.ResFileName = "C:\\r" + std::to_string(seed);
    o.ResFileUsage = seed % 2 ? TResFileUsage{ruOnUpdate} : TResFileUsage{};
}

}  // namespace

TEST(ArchiverOptions, DefaultsAndSetDefaultsRestoreEveryProperty)
{
    TArchiverOptions fresh;
    const auto defaults = snapshot(fresh);
    for (const auto& [name, member] : kNumbers)
        EXPECT_EQ(fresh.*member, -1) << name;
    for (const std::string& t : {fresh.w, fresh.jo, fresh.job, fresh.jz, fresh.gr})
        EXPECT_EQ(t, UnsetText);
    EXPECT_EQ(UnsetText, std::string(1, '\0'));
    EXPECT_TRUE(fresh.jx.empty());
    EXPECT_EQ(fresh.UserOptions, "");
    EXPECT_EQ(fresh.ResFileName, "");
    EXPECT_EQ(fresh.PackFilter, pfComponent);
    EXPECT_EQ(fresh.ResFileUsage, (TResFileUsage{ruOnPack, ruOnUnpack, ruOnRemoveItem}));
    EXPECT_FALSE(fresh.ResFileUsage.contains(ruOnUpdate));

    TArchiverOptions changed;
    fillAll(changed, 3);
    ASSERT_NE(snapshot(changed), defaults);
    changed.SetDefaults();
    EXPECT_EQ(snapshot(changed), defaults);
}

TEST(ArchiverOptions, AssignCopiesAllButTenJsSwitchesAndResFileUsage)
{
    TArchiverOptions source, dest;
    fillAll(source, 1);
    fillAll(dest, 2);
    const auto before = snapshot(dest);
    dest.Assign(source);
    const auto after = snapshot(dest);
    const auto expectedFromSource = snapshot(source);

    for (const auto& [name, value] : after) {
        const bool kept = name == "ResFileUsage" ||
                          std::find(kKeptByAssign.begin(), kKeptByAssign.end(), name) != kKeptByAssign.end();
        EXPECT_EQ(value, kept ? before.at(name) : expectedFromSource.at(name)) << name;
    }
    EXPECT_NE(source.jss, -1);
    EXPECT_EQ(dest.jss, source.jss);

    // The destination owns its own copy of the jx entries.
    source.jx.push_back("later");
    EXPECT_EQ(dest.jx.size(), 2u);
}

TEST(ArchiverOptions, StoredFormLeavesOutUnsetNumbersButJycAndDefaultPackFilter)
{
    const auto& all = TArchiverOptions::PropertyNames();
    ASSERT_EQ(all.size(), 68u);
    EXPECT_EQ(all.front(), "a");
    EXPECT_EQ(all[15], "w");
    EXPECT_EQ(all.back(), "ResFileUsage");

    TArchiverOptions o;
    const std::vector<std::string> defaults = {"w",  "jo",          "job",          "jx",          "jyc",         "jz",
                                               "gr", "UserOptions", "UserFileList", "ResFileName", "ResFileUsage"};
    EXPECT_EQ(o.StoredPropertyNames(), defaults);

    o.c = 0;
    o.gw = 5;
    o.PackFilter = pfArchiver;
    const auto stored = o.StoredPropertyNames();
    for (const char* name : {"c", "gw", "PackFilter", "jyc"})
        EXPECT_NE(std::find(stored.begin(), stored.end(), name), stored.end()) << name;
    EXPECT_EQ(stored.size(), defaults.size() + 3);
    EXPECT_EQ(stored.front(), "c");
}
