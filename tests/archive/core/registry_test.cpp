// The archive core alone, without any wrapper unit linked in: archivers
// reach it only through what is registered.
#include <gtest/gtest.h>

#include <stdexcept>

#include "archive/archivefile.h"
#include "archive/archiverregistry.h"

using namespace archives;

namespace {

class Stand : public TArchiver {
public:
    int Extract(HWND, const std::string&, const TArchiverOptions&, const std::string&, const FileList&, bool,
                std::string&) override
    {
        return 42;
    }
};

std::unique_ptr<TArchiver> createStand()
{
    return std::make_unique<Stand>();
}
std::unique_ptr<TArchiver> refuse()
{
    throw EArchiver("missing library");
}

TArchiverType tgzKind(const std::string&)
{
    return atTgz;
}
TArchiverType zipYes(const std::string&)
{
    return atZip;
}
TArchiverType no(const std::string&)
{
    return atNone;
}
TArchiverType lhaIfNamed(const std::string& name)
{
    return name == "lha.exe" ? atLha : atNone;
}
TArchiverType broken(const std::string&)
{
    throw std::runtime_error("probe failed");
}

}  // namespace

TEST(ArchiverRegistry, ComponentCreatesAndDetectsOnlyThroughRegistrations)
{
    TArchiveFile file;
    try {
        file.SetFileName("C:\\x.lzh");
        FAIL() << "no wrapper serves LZH yet";
    } catch (const EArchiver&) {
    }
    EXPECT_EQ(file.Archiver(), nullptr);

    RegisterArchiver({atLha, &createStand, &lhaIfNamed});
    file.SetFileName("C:\\x.lzh");
    ASSERT_NE(dynamic_cast<Stand*>(file.Archiver()), nullptr);
    EXPECT_EQ(file.ArchiverType(), atLha);
    EXPECT_EQ(file.Extract(nullptr, nullptr, "", {}), 42);

    // A factory that throws leaves the component as it was.
    RegisterArchiver({atZip, &refuse, &zipYes});
    EXPECT_THROW(file.SetFileName("C:\\x.zip"), EArchiver);
    EXPECT_EQ(file.ArchiverType(), atLha);

    // Contents: probes run tar first, LHA last; a later "yes" wins, a
    // failing probe is a "no".
    EXPECT_EQ(DetectArchiverType("zip.exe", false), atZip);
    EXPECT_EQ(DetectArchiverType("lha.exe", false), atLha);
    RegisterArchiver({atTar, &createStand, &tgzKind});
    RegisterArchiver({atZip, &refuse, &no});
    RegisterArchiver({atCab, &createStand, &broken});
    EXPECT_EQ(DetectArchiverType("any.exe", false), atTgz);
    EXPECT_EQ(DetectArchiverType("lha.exe", false), atLha);
}
