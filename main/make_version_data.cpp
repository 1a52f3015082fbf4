// Build step: writes the C source that puts the program's version resource
// into the executable's version section, where GetFileVersionInfoA finds it.
//
//   make_version_data OUT.c LANGUAGE CODEPAGE KEY=VALUE...
//
// LANGUAGE and CODEPAGE are hexadecimal ("0411" "03a4"). FileVersion and
// ProductVersion also fill the fixed file information.
#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>

#include "platform/version_resource.h"

int main(int argc, char** argv)
{
    if (argc < 4) {
        std::cerr << "usage: make_version_data OUT.c LANGUAGE CODEPAGE KEY=VALUE...\n";
        return 2;
    }
    const std::string language = argv[2], codePage = argv[3];
    platform::VersionResource resource;
    resource.translations.push_back(std::stoul(language, nullptr, 16) | (std::stoul(codePage, nullptr, 16) << 16));
    platform::VersionStringTable table{language + codePage, {}};
    platform::FixedFileInfo fixed;
    for (int i = 4; i < argc; ++i) {
        const std::string pair = argv[i];
        const size_t equals = pair.find('=');
        if (equals == std::string::npos) {
            std::cerr << "make_version_data: not KEY=VALUE: " << pair << '\n';
            return 2;
        }
        const std::string key = pair.substr(0, equals), value = pair.substr(equals + 1);
        table.strings.push_back({key, value});
        if (key == "FileVersion" || key == "ProductVersion") {
            const auto number = platform::parseVersionNumber(value);
            if (!number) {
                std::cerr << "make_version_data: not a version number: " << value << '\n';
                return 2;
            }
            (key == "FileVersion" ? fixed.fileVersionMS : fixed.productVersionMS) = number->first;
            (key == "FileVersion" ? fixed.fileVersionLS : fixed.productVersionLS) = number->second;
        }
    }
    resource.fixed = fixed;
    resource.stringTables.push_back(table);
    const std::string bytes = platform::encodeVersionResource(resource);

    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    out << "/* Written by make_version_data at build time. */\n"
        << "__attribute__((section(\"" << platform::kVersionSectionName << "\"), used, aligned(4)))\n"
        << "static const unsigned char version_resource[" << bytes.size() << "] = {";
    for (size_t i = 0; i < bytes.size(); ++i) {
        char hex[8];
        std::snprintf(hex, sizeof hex, "%s0x%02x", i % 16 == 0 ? "\n  " : " ", static_cast<unsigned char>(bytes[i]));
        out << hex << (i + 1 < bytes.size() ? "," : "");
    }
    out << "\n};\n";
    return out.good() ? 0 : 1;
}
