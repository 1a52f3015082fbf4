#include "archive/archiveroptions.h"

#include <algorithm>
#include <array>

namespace archives {

const std::string UnsetText(1, '\0');

namespace {

using Num = std::int8_t TArchiverOptions::*;
using Text = std::string TArchiverOptions::*;

struct NumOption {
    const char* name;
    Num member;
};

// The number options in property order.
const std::array<NumOption, 57> kNumOptions = {{
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
}};

// The switch texts that default to UnsetText.
const std::array<Text, 5> kSwitchTexts = {
    &TArchiverOptions::w, &TArchiverOptions::jo, &TArchiverOptions::job, &TArchiverOptions::jz, &TArchiverOptions::gr,
};

// Switches whose destination value survives Assign.
const std::array<Num, 10> kKeptOnAssign = {
    &TArchiverOptions::jsb, &TArchiverOptions::jsc, &TArchiverOptions::jsd, &TArchiverOptions::jse,
    &TArchiverOptions::jsf, &TArchiverOptions::jsl, &TArchiverOptions::jso, &TArchiverOptions::jst,
    &TArchiverOptions::jsv, &TArchiverOptions::jsz,
};

const NumOption* findNum(const std::string& name)
{
    for (const NumOption& o : kNumOptions)
        if (name == o.name)
            return &o;
    return nullptr;
}

}  // namespace

TArchiverOptions::TArchiverOptions()
{
    SetDefaults();
}

void TArchiverOptions::SetDefaults()
{
    for (const NumOption& o : kNumOptions)
        this->*o.member = -1;
    for (Text t : kSwitchTexts)
        this->*t = UnsetText;
    jx.clear();
    UserOptions.clear();
    UserFileList.clear();
    ResFileName.clear();
    PackFilter = pfComponent;
    ResFileUsage = {ruOnPack, ruOnUnpack, ruOnRemoveItem};
}

void TArchiverOptions::Assign(const TArchiverOptions& source)
{
    if (&source == this)
        return;
    std::array<std::int8_t, kKeptOnAssign.size()> kept;
    for (std::size_t k = 0; k < kKeptOnAssign.size(); ++k)
        kept[k] = this->*kKeptOnAssign[k];

    for (const NumOption& o : kNumOptions)
        this->*o.member = source.*o.member;
    for (Text t : kSwitchTexts)
        this->*t = source.*t;
    jx = source.jx;
    UserOptions = source.UserOptions;
    UserFileList = source.UserFileList;
    PackFilter = source.PackFilter;
    ResFileName = source.ResFileName;

    for (std::size_t k = 0; k < kKeptOnAssign.size(); ++k)
        this->*kKeptOnAssign[k] = kept[k];
}

const std::vector<std::string>& TArchiverOptions::PropertyNames()
{
    static const std::vector<std::string> names = {
        "a",
        "c",
        "e",
        "f",
        "h",
        "i",
        "l",
        "m",
        "n",
        "o",
        "p",
        "r",
        "s",
        "t",
        "u",
        "w",
        "x",
        "y",
        "z",
        "jc",
        "jd",
        "je",
        "jf",
        "jh",
        "ji",
        "jm",
        "jn",
        "jo",
        "job",
        "jp",
        "jr",
        "jsb",
        "jsc",
        "jsd",
        "jse",
        "jsf",
        "jsl",
        "jso",
        "jss",
        "jst",
        "jsv",
        "jsz",
        "jw",
        "jx",
        "jyc",
        "jyd",
        "jyk",
        "jyn",
        "jyo",
        "jz",
        "ga",
        "gd",
        "ge",
        "gf",
        "gj",
        "gm",
        "gn",
        "go",
        "gp",
        "gr",
        "gs",
        "gu",
        "gw",
        "UserOptions",
        "UserFileList",
        "PackFilter",
        "ResFileName",
        "ResFileUsage",
    };
    return names;
}

std::vector<std::string> TArchiverOptions::StoredPropertyNames() const
{
    std::vector<std::string> stored;
    for (const std::string& name : PropertyNames()) {
        if (const NumOption* o = findNum(name)) {
            if (this->*o->member == -1 && name != "jyc")
                continue;
        } else if (name == "PackFilter" && PackFilter == pfComponent) {
            continue;
        }
        stored.push_back(name);
    }
    return stored;
}

}  // namespace archives
