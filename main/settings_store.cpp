#include "main/settings_store.h"

#include <limits>

#include "core/exceptions.h"
#include "main/module_paths.h"
#include "platform/win32.h"

namespace tidebell {

namespace {

constexpr char kNotAnInteger[] = "'%s' は整数ではありません";

std::string readText(const std::string& ini, const char* key, const char* defaultValue)
{
    char buffer[256] = {};
    GetPrivateProfileStringA(kIniSection, key, defaultValue, buffer, sizeof buffer, ini.c_str());
    return buffer;
}

bool readFlag(const std::string& ini, const char* key, int defaultValue)
{
    return GetPrivateProfileIntA(kIniSection, key, defaultValue, ini.c_str()) != 0;
}

void writeText(const std::string& ini, const char* key, const std::string& value)
{
    // Profile writes that fail (a read-only folder) are not reported: the
    // close goes on.
    WritePrivateProfileStringA(kIniSection, key, value.c_str(), ini.c_str());
}

void writeFlag(const std::string& ini, const char* key, bool value)
{
    writeText(ini, key, value ? "1" : "0");
}

std::string joinIntegers(std::initializer_list<int32_t> values)
{
    std::string text;
    for (const int32_t value : values) {
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(value);
    }
    return text;
}

void parseGuarded(const std::string& text, int32_t* const* fields, int count, const ErrorHandler& onError)
{
    try {
        parseIntegerList(text, fields, count);
    } catch (const EConvertError& error) {
        if (!onError) {
            throw;
        }
        onError(error);
    }
}

}  // namespace

int32_t strToInt(const std::string& text)
{
    std::size_t at = 0;
    while (at < text.size() && (text[at] == ' ' || text[at] == '\t')) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    const std::size_t digitsStart = at;
    int64_t value = 0;
    constexpr int64_t limit = int64_t{std::numeric_limits<int32_t>::max()} + 1;
    while (at < text.size() && text[at] >= '0' && text[at] <= '9') {
        value = value * 10 + (text[at] - '0');
        if (value > limit) {
            break;
        }
        ++at;
    }
    if (at == digitsStart || at != text.size() || value > limit || (!negative && value == limit)) {
        throw EConvertError(formatMessage(kNotAnInteger, text));
    }
    return static_cast<int32_t>(negative ? -value : value);
}

void parseIntegerList(const std::string& text, int32_t* const* fields, int count)
{
    std::string rest = text;
    for (int i = 0; i < count - 1; ++i) {
        const auto comma = rest.find(',');
        if (comma == std::string::npos) {
            // Too few items: there is no text before a comma to convert.
            throw EConvertError(formatMessage(kNotAnInteger, std::string()));
        }
        *fields[i] = strToInt(rest.substr(0, comma));
        rest.erase(0, comma + 1);
    }
    *fields[count - 1] = strToInt(rest);
}

void RegistoryReadExecute(SharedState& state, const ErrorHandler& onError)
{
    state.IniPath = iniPathForExecutable();
    const std::string& ini = state.IniPath;
    AppSettings& s = state.Settings;
    const AppSettings preRead;
    s.MainLeft = preRead.MainLeft;
    s.MainTop = preRead.MainTop;
    s.MainWidth = preRead.MainWidth;
    s.MainHeight = preRead.MainHeight;
    s.TreeWidth = preRead.TreeWidth;
    s.LZHWidth = preRead.LZHWidth;
    s.LZHHeight = preRead.LZHHeight;

    int32_t* const mainFields[] = {&s.MainLeft, &s.MainTop, &s.MainWidth, &s.MainHeight, &s.TreeWidth};
    parseGuarded(readText(ini, "MainSize", "-1,-1,-1,-1,-1"), mainFields, 5, onError);
    int32_t* const lzhFields[] = {&s.LZHWidth, &s.LZHHeight};
    parseGuarded(readText(ini, "LZHSize", "-1,-1"), lzhFields, 2, onError);

    s.SingleClick = readFlag(ini, "SingleClick", 0);
    s.ShowMainToolBar = readFlag(ini, "ShowMainToolBar", 1);
    s.ShowMainStatusBar = readFlag(ini, "ShowMainStatusBar", 1);
    s.ShowLZHToolBar = readFlag(ini, "ShowLZHToolBar", 1);
    s.ShowLZHStatusBar = readFlag(ini, "ShowLZHStatusBar", 1);
    s.DeleteTemp = readFlag(ini, "DeleteTemp", 0);
    s.SaveSetting = readFlag(ini, "SaveSetting", 1);
    s.SoundEvent = readFlag(ini, "SoundEvent", 0);
}

void RegistoryWriteExecute(const SharedState& state)
{
    const std::string& ini = state.IniPath;
    const AppSettings& s = state.Settings;
    writeFlag(ini, "SaveSetting", s.SaveSetting);
    if (!s.SaveSetting) {
        return;
    }
    writeText(ini, "MainSize", joinIntegers({s.MainLeft, s.MainTop, s.MainWidth, s.MainHeight, s.TreeWidth}));
    writeText(ini, "LZHSize", joinIntegers({s.LZHWidth, s.LZHHeight}));
    writeFlag(ini, "SingleClick", s.SingleClick);
    writeFlag(ini, "ShowMainToolBar", s.ShowMainToolBar);
    writeFlag(ini, "ShowMainStatusBar", s.ShowMainStatusBar);
    writeFlag(ini, "ShowLZHToolBar", s.ShowLZHToolBar);
    writeFlag(ini, "ShowLZHStatusBar", s.ShowLZHStatusBar);
    writeFlag(ini, "DeleteTemp", s.DeleteTemp);
    writeFlag(ini, "SoundEvent", s.SoundEvent);
}

}  // namespace tidebell
