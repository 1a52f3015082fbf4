// The file list argument of the archive operations: an ordered sequence of
// items of different kinds, each contributing zero or more file names.
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace archives {

// An ordered list of texts (the string list object of the file list).
using TStringList = std::vector<std::string>;

// A loosely typed value as a scripting or automation caller hands it over.
// Converted to text it gives its decimal or textual form; an array gives
// one name per element of its first dimension.
struct Variant {
    using Array = std::vector<Variant>;
    std::variant<std::monostate, bool, std::int64_t, double, std::string, Array> value;

    Variant() = default;
    Variant(bool b) : value(b) {}
    Variant(int i) : value(std::int64_t(i)) {}
    Variant(std::int64_t i) : value(i) {}
    Variant(double d) : value(d) {}
    Variant(const char* s) : value(std::string(s ? s : "")) {}
    Variant(std::string s) : value(std::move(s)) {}
    Variant(Array a) : value(std::move(a)) {}
};

// Null-terminated array of zero-terminated strings (argv style).
using CStringArray = const char* const*;

// One element of a file list. Texts, C strings, string arrays, string lists,
// wide texts (converted to the ANSI code page) and variants contribute names;
// numbers, Booleans and single characters contribute nothing.
using FileListItem = std::variant<std::string,     // text
                                  const char*,     // zero-terminated string (null contributes nothing)
                                  CStringArray,    // each string up to the null entry; a null array gives nothing
                                  TStringList,     // each string in order
                                  std::u16string,  // wide text (UTF-16)
                                  std::wstring,    // wide text (wchar_t)
                                  Variant,         // converted to text; an array gives each element
                                  int, std::int64_t, bool, char, double>;  // nothing

using FileList = std::vector<FileListItem>;

// The names of a file list in order, empty names skipped.
TStringList FileListToStrings(const FileList& list);

// A single variant converted to text (empty for an unassigned variant and
// for values that have no text form).
std::string VariantToText(const Variant& v);

}  // namespace archives
