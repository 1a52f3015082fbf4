// Entry names made safe to write below a destination folder.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace arc {

// The folder parts and file name that an entry name may create: "/" and "\"
// both separate; empty parts, "." and ".." are dropped; a leading drive
// ("C:") or root is dropped; control characters become "_". So
// "../../etc/x" gives {"etc", "x"} and "C:\\Windows\\x" gives {"Windows", "x"}.
// Empty when nothing usable is left.
std::vector<std::string> safeComponents(std::string_view name);

}  // namespace arc
