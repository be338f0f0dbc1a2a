// Puts the server's shortcut beside the tests, as the product's installation
// puts it beside the plug-in: a proxy in a test executable of this directory
// then finds and starts the reference server.

#include "TestSupport.h"
#include "ipc/ServerLaunch.h"
#include "platform/Shortcut.h"

#include <cstdio>
#include <string>

int main() {
    using namespace ipc::serverLocation;
    const std::string server = testing_support::helperPath("solvanta-server");
    const std::string shortcut =
        testing_support::besideTest(std::string(maker) + " " + product + shortcutExtension);
    if (!platform::createShortcut(shortcut, server)) {
        std::fprintf(stderr, "cannot create %s -> %s\n", shortcut.c_str(), server.c_str());
        return 1;
    }
    std::printf("%s -> %s\n", shortcut.c_str(), server.c_str());
    return 0;
}
