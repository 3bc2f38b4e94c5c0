#include "platform/Registry.h"
#include "platform/RegistrySystem.h"

namespace qwz::platform {
namespace {

Registry*& Override() {
    static Registry* registry = nullptr;
    return registry;
}

}  // namespace

Registry& CurrentRegistry() {
    if (Override()) return *Override();
    return SystemRegistry();
}

Registry* UseRegistry(Registry* registry) {
    Registry* previous = Override();
    Override() = registry;
    return previous;
}

const char* RootName(RegistryRoot root) {
    return root == RegistryRoot::ClassesRoot ? "HKEY_CLASSES_ROOT" : "HKEY_CURRENT_USER";
}

}  // namespace qwz::platform
