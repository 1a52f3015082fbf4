// The remembered directory of the LZH reader: whatever the cache holds, a
// reader gives what a walk of the file as it is now would give; a stale or
// damaged listing is never extracted from.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <filesystem>

#include "archivers/common/wildcard.h"
#include "archivers/unlha32/lzh_listing_cache.h"
#include "archivers/unlha32/lzh_reader.h"
#include "tests/archivers/support/archivetest.h"
#include "tests/archivers/support/lzhbuilder.h"

namespace {

using fixtures::LzhMember;
using fixtures::pattern;

LzhMember member(std::string name, std::string data, int level)
{
    LzhMember m;
    m.rawName = std::move(name);
    m.data = std::move(data);
    m.level = level;
    return m;
}

// Four members of mixed header levels; `shift` moves bytes from the first
// member to the third, so the archive keeps its size and its names while
// every later header moves.
std::string archive(size_t shift = 0)
{
    return fixtures::buildLzh({member("a.wav", pattern(700 - shift, 1), 0), member("snd/b.wav", pattern(50, 2), 2),
                               member("c.wav", pattern(300 + shift, 3), 1), member("d.wav", pattern(90, 4), 2)});
}

arc::FileIdentity identityOf(const std::string& path)
{
    struct stat st {};
    EXPECT_EQ(::stat(path.c_str(), &st), 0) << path;
    return arc::fileIdentity(st);
}

class LzhListingCacheTest : public fixtures::ArchiveFileTest {
protected:
    // What a walk of the file as it is gives, with nothing remembered.
    struct Walked {
        arc::Result opened;
        std::vector<arc::Entry> entries;
        std::vector<std::string> data;
    };
    Walked walkAfresh(const std::string& path)
    {
        arc::LzhListingCache none(int64_t(1) << 62);  // remembers nothing
        arc::LzhReader reader(none);
        Walked w;
        w.opened = reader.open(path);
        w.entries = reader.entries();
        for (size_t i = 0; i < w.entries.size(); ++i) {
            std::string out;
            EXPECT_TRUE(extract(reader, i, out).ok()) << w.entries[i].name;
            w.data.push_back(out);
        }
        return w;
    }
    void expectSameAsWalk(arc::LzhReader& reader, const Walked& walked)
    {
        ASSERT_EQ(reader.entries().size(), walked.entries.size());
        for (size_t i = 0; i < walked.entries.size(); ++i) {
            const arc::Entry& e = reader.entries()[i];
            EXPECT_EQ(e.name, walked.entries[i].name);
            EXPECT_EQ(e.size, walked.entries[i].size);
            EXPECT_EQ(e.crc, walked.entries[i].crc);
            EXPECT_EQ(e.dosDateTime, walked.entries[i].dosDateTime);
            std::string out;
            const arc::Result r = extract(reader, i, out);
            EXPECT_TRUE(r.ok()) << e.name << ": " << r.message;
            EXPECT_TRUE(out == walked.data[i]) << e.name;
        }
    }

    // Takes every file as settled, however new: what a file written in the
    // same tick of the file system's clock as its last listing looks like.
    arc::LzhListingCache cache{-(int64_t(10) << 30)};
};

TEST_F(LzhListingCacheTest, RememberedDirectoryGivesWhatTheWalkGives)
{
    // Behind a self-extractor's stub, so the start is remembered too.
    const std::string path = write(std::string(300, 'Z') + archive(), "a.lzh");
    const Walked walked = walkAfresh(path);
    ASSERT_TRUE(walked.opened.ok()) << walked.opened.message;

    arc::LzhReader first(cache);
    ASSERT_TRUE(first.open(path).ok());
    EXPECT_FALSE(first.openedFromMemory());
    arc::LzhReader second(cache);
    ASSERT_TRUE(second.open(path).ok());
    EXPECT_TRUE(second.openedFromMemory());
    EXPECT_EQ(second.archiveStart(), 300u);
    expectSameAsWalk(second, walked);

    // By the real rule, a file stamped at (here: after) the walk is not
    // remembered: a rewrite within the same tick could not be told apart.
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    struct timespec times[2] = {st.st_atim, st.st_mtim};
    times[1].tv_sec += 3600;
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    arc::LzhListingCache settling;
    arc::LzhReader fresh(settling);
    ASSERT_TRUE(fresh.open(path).ok());
    ASSERT_TRUE(fresh.open(path).ok());
    EXPECT_FALSE(fresh.openedFromMemory());
}

TEST_F(LzhListingCacheTest, RewrittenArchiveIsNeverReadFromStaleOffsets)
{
    const std::string path = dir.file("a.lzh");
    const std::string before = archive(), after = archive(200);
    ASSERT_EQ(before.size(), after.size());
    ASSERT_NE(before, after);

    // In place, same inode and size, the modification time put back.
    fixtures::writeFile(path, before);
    arc::LzhReader reader(cache);
    ASSERT_TRUE(reader.open(path).ok());
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    fixtures::writeFile(path, after);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0);
    const Walked walkedAfter = walkAfresh(path);
    ASSERT_TRUE(reader.open(path).ok());
    expectSameAsWalk(reader, walkedAfter);

    // Replaced by another file of the same size and stamps.
    const std::string other = write(before, "other.lzh");
    ASSERT_TRUE(reader.open(path).ok());  // remembers `after`
    ASSERT_EQ(::utimensat(AT_FDCWD, other.c_str(), times, 0), 0);
    std::filesystem::rename(other, path);
    const Walked walkedBefore = walkAfresh(path);
    ASSERT_TRUE(reader.open(path).ok());
    expectSameAsWalk(reader, walkedBefore);
}

// The cache is made to hold what no longer fits the file under the file's
// current identity, as a rewrite that kept every stamp would leave it.
TEST_F(LzhListingCacheTest, HeaderNotFoundAtRememberedOffsetFallsBackToTheWalk)
{
    const std::string path = write(archive(), "a.lzh");
    arc::LzhReader reader(cache);
    ASSERT_TRUE(reader.open(path).ok());
    auto remembered = cache.find(identityOf(path));
    ASSERT_TRUE(remembered);

    // A remembered offset that is off: the entry still comes out right.
    auto moved = std::make_shared<arc::LzhListing>(*remembered);
    moved->members[2].headerOffset += 1;
    cache.remember(moved, arc::LzhListingCache::nowNs());
    const Walked walked = walkAfresh(path);
    ASSERT_TRUE(reader.open(path).ok());
    ASSERT_TRUE(reader.openedFromMemory());
    expectSameAsWalk(reader, walked);
    EXPECT_FALSE(cache.find(identityOf(path)));  // forgotten, not trusted again

    // A damaged middle header: the walk's error, for that entry and for the
    // others, as the walk refuses the whole archive.
    std::string bytes = archive();
    const size_t third = remembered->members[2].headerOffset;
    bytes[third + 3] = 'X';  // "-lX5-": not a header
    fixtures::writeFile(path, bytes);
    const Walked damaged = walkAfresh(path);
    ASSERT_EQ(damaged.opened.status, arc::Status::Corrupt);
    auto stale = std::make_shared<arc::LzhListing>(*remembered);
    stale->identity = identityOf(path);
    cache.remember(stale, arc::LzhListingCache::nowNs());
    ASSERT_TRUE(reader.open(path).ok());
    ASSERT_TRUE(reader.openedFromMemory());
    std::string out;
    for (size_t i : {size_t(2), size_t(0)}) {
        const arc::Result r = extract(reader, i, out);
        EXPECT_EQ(r.status, arc::Status::Corrupt) << i;
        EXPECT_EQ(r.message, damaged.opened.message) << i;
    }
}

TEST_F(LzhListingCacheTest, ReaderForNamedMembersListsOnlyThoseAndRemembersNothing)
{
    // The fourth member is named in Shift-JIS (音.wav), so it is matched
    // only after decoding.
    const std::string path =
        write(fixtures::buildLzh({member("a.wav", pattern(700, 1), 0), member("snd/b.wav", pattern(50, 2), 2),
                                  member("c.wav", pattern(300, 3), 1), member("\x89\xB9.wav", pattern(90, 4), 2)}),
              "a.lzh");
    const Walked walked = walkAfresh(path);
    ASSERT_TRUE(walked.opened.ok()) << walked.opened.message;
    const arc::WildcardSet wanted({"SND\\B.WAV", "\xE9\x9F\xB3.wav"});
    arc::LzhReader named(cache);
    named.listOnly(&wanted);
    ASSERT_TRUE(named.open(path).ok());
    ASSERT_EQ(named.entries().size(), 2u);
    for (size_t i = 0; i < 2; ++i) {
        const size_t all = i == 0 ? 1 : 3;
        EXPECT_EQ(named.entries()[i], walked.entries[all]);
        std::string out;
        EXPECT_TRUE(extract(named, i, out).ok());
        EXPECT_TRUE(out == walked.data[all]) << i;
    }
    EXPECT_FALSE(cache.find(identityOf(path)));

    // A whole directory remembered before serves named readers too.
    arc::LzhReader whole(cache);
    ASSERT_TRUE(whole.open(path).ok());
    ASSERT_TRUE(cache.find(identityOf(path)));
    ASSERT_TRUE(named.open(path).ok());
    EXPECT_TRUE(named.openedFromMemory());
    expectSameAsWalk(named, walked);
}

TEST_F(LzhListingCacheTest, SurvivesDamagedArchivesRewrittenInPlace)
{
    arc::LzhReader reader(cache);
    survivesDamage(reader, archive(), 300);
}

}  // namespace
