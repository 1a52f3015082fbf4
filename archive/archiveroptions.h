// The option set of the archive operations, named after the LHA switch
// letters. Every archive component carries one; a caller may also pass one
// per call.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

#include "archive/filelist.h"

namespace archives {

// The "not set" value of every text option: one character of code 0. The
// empty text is a set value (an empty argument).
extern const std::string UnsetText;

enum TPackFilter : std::uint8_t { pfArchiver, pfComponent };

enum TResFileUse : std::uint8_t { ruOnPack, ruOnUnpack, ruOnRemoveItem, ruOnUpdate };

// A set of TResFileUse: the command operations whose file list goes through
// the response file.
class TResFileUsage {
public:
    TResFileUsage() = default;
    TResFileUsage(std::initializer_list<TResFileUse> uses)
    {
        for (TResFileUse u : uses)
            include(u);
    }
    bool contains(TResFileUse u) const { return (m_bits >> u) & 1u; }
    void include(TResFileUse u) { m_bits |= std::uint8_t(1u << u); }
    void exclude(TResFileUse u) { m_bits &= std::uint8_t(~(1u << u)); }
    bool empty() const { return m_bits == 0; }
    std::uint8_t bits() const { return m_bits; }
    bool operator==(const TResFileUsage&) const = default;

private:
    std::uint8_t m_bits = 0;
};

class TArchiverOptions {
public:
    TArchiverOptions();
    // Copies go through Assign only (it keeps ten js switches and
    // ResFileUsage of the destination), never implicitly.
    TArchiverOptions(const TArchiverOptions&) = delete;
    TArchiverOptions& operator=(const TArchiverOptions&) = delete;

    // Every option back to its default.
    void SetDefaults();
    // Takes over every value of source, jx entries included, except jsb, jsc,
    // jsd, jse, jsf, jsl, jso, jst, jsv, jsz and ResFileUsage.
    void Assign(const TArchiverOptions& source);

    // The 68 published property names, in their order.
    static const std::vector<std::string>& PropertyNames();
    // The properties a stored form holds: number options equal to -1 are
    // left out (except jyc, always stored); PackFilter equal to pfComponent
    // is left out. In property order.
    std::vector<std::string> StoredPropertyNames() const;

    // Number options: -1 = not set (no switch).
    std::int8_t a, c, e, f, h, i, l, m, n, o, p, r, s, t, u;
    std::string w;
    std::int8_t x, y, z, jc, jd, je, jf, jh, ji, jm, jn;
    std::string jo, job;
    std::int8_t jp, jr, jsb, jsc, jsd, jse, jsf, jsl, jso, jss, jst, jsv, jsz, jw;
    TStringList jx;
    std::int8_t jyc, jyd, jyk, jyn, jyo;
    std::string jz;
    std::int8_t ga, gd, ge, gf, gj, gm, gn, go, gp;
    std::string gr;
    std::int8_t gs, gu, gw;
    std::string UserOptions;   // switches appended verbatim to every command
    std::string UserFileList;  // appended verbatim after the file list
    TPackFilter PackFilter;
    std::string ResFileName;  // path of the response file
    TResFileUsage ResFileUsage;
};

}  // namespace archives
