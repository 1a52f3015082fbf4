#include "archive/archiverregistry.h"

#include <map>

namespace archives {
namespace {

std::map<TArchiverType, ArchiverRegistration>& registrations()
{
    // Built on first use: wrappers register from their units' initialisers.
    static std::map<TArchiverType, ArchiverRegistration> table;
    return table;
}

}  // namespace

bool RegisterArchiver(const ArchiverRegistration& registration)
{
    registrations()[registration.type] = registration;
    return true;
}

const ArchiverRegistration* RegisteredArchiver(TArchiverType type)
{
    auto it = registrations().find(type);
    return it == registrations().end() ? nullptr : &it->second;
}

}  // namespace archives
