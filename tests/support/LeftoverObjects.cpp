// Fails when named kernel objects of ours outlived every process that used
// them, and lists them.
#include "platform/ObjectNamespace.h"

#include <cstdio>

int main() {
    const auto leftovers = platform::leftoverObjects();
    for (const auto& name : leftovers) {
        std::printf("left behind: %s\n", name.c_str());
    }
    std::printf("%zu named objects left behind\n", leftovers.size());
    return leftovers.empty() ? 0 : 1;
}
