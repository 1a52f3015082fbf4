// Writes the committed seed archives of the LZH and RAR fuzz targets (what
// no installed tool makes: Shift-JIS names, level 3 headers, LArc methods, a
// self-extracting stub, RAR 4 stored and compressed, RAR5). Usage:
//   make_fuzz_seeds LZH_FOLDER RAR_FOLDER
#include <cstdio>
#include <string>

#include "tests/archivers/support/fixtures.h"
#include "tests/archivers/support/lzhbuilder.h"
#include "tests/archivers/support/rarbuilder.h"

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s LZH_FOLDER RAR_FOLDER\n", argv[0]);
        return 2;
    }
    const std::string lzh = argv[1], rar = argv[2];
    const std::string sound = "RIFF" + std::string(200, 'w');

    std::vector<fixtures::LzhMember> members(4);
    for (int level = 0; level < 4; ++level) {
        members[size_t(level)].rawName = "\x89\xb9" + std::to_string(level) + ".wav";  // 音N.wav
        members[size_t(level)].data = sound;
        members[size_t(level)].level = level;
    }
    members[2].rawFolder = "snd\xff";
    fixtures::LzhMember folder;
    folder.rawName = "snd\xff";
    folder.level = 2;
    folder.directory = true;
    members.push_back(folder);
    fixtures::LzhMember lz5;
    lz5.rawName = "lz5.wav";
    lz5.data = "12345678";
    lz5.method = "-lz5-";
    lz5.packed = "\xff"
                 "12345678";
    members.push_back(lz5);
    const std::string archive = fixtures::buildLzh(members);
    fixtures::writeFile(lzh + "/levels.lzh", archive);
    fixtures::writeFile(lzh + "/sfx.exe", "MZ" + std::string(300, '\0') + archive);

    fixtures::RarMember dir{"snd", {}};
    dir.directory = true;
    fixtures::RarMember wide{std::string("?.wav\0", 6) + fixtures::rarUnicodeName(u"音.wav"), "w", true};
    const std::vector<fixtures::RarMember> files{{"a.wav", sound}, dir, {"snd\\b.wav", "bb"}, wide};
    fixtures::writeFile(rar + "/plain.rar", fixtures::buildRar(files));
    fixtures::writeFile(rar + "/solid.rar", fixtures::buildRar(files, {true, true}));
    fixtures::writeFile(rar + "/five.rar", fixtures::buildRar5(files));
    fixtures::RarMember first{"a.wav", sound}, second{"b.wav", "bb"};
    first.method = second.method = 0x33;
    first.packed = fixtures::rar29Literals(sound);
    second.packed = fixtures::rar29Literals("bb", false);
    fixtures::writeFile(rar + "/compressed.rar", fixtures::buildRar({first, second}, {true, true}));
    return 0;
}
