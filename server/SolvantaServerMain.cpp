// The reference server, started by the plug-in with
// " -server:<connectionName> -clientpid:<pid>". Its behaviour beyond the
// protocol (the user it plays, misbehaviour for tests) comes from the
// SOLVANTA_SERVER_* environment variables that it inherits.
#include "ServerArguments.h"
#include "ServerOptions.h"
#include "ServerSession.h"
#include "SolvantaVersion.h"

#include <cstdio>
#include <exception>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    try {
        const std::vector<std::string> arguments(argv + 1, argv + argc);
        if (arguments.size() == 1 && arguments[0] == "--version") {
            std::printf("solvanta-server %s\n", solvanta::kVersion);
            return 0;
        }
        const std::optional<refserver::ServerArguments> parsed =
            refserver::parseServerArguments(arguments);
        if (!parsed) {
            std::fprintf(stderr,
                         "usage: solvanta-server -server:<connectionName> -clientpid:<pid>\n");
            return refserver::exitBadCommandLine;
        }
        std::vector<std::string> problems;
        refserver::ServerOptions options = refserver::ServerOptions::fromEnvironment(problems);
        for (const std::string& problem : problems) {
            std::fprintf(stderr, "solvanta-server: %s\n", problem.c_str());
        }
        refserver::ServerSession session(*parsed, std::move(options), std::move(problems));
        return session.run();
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "solvanta-server: %s\n", failure.what());
        return refserver::exitFailure;
    }
}
