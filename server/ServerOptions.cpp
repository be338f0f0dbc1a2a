#include "ServerOptions.h"

#include "platform/Environment.h"

#include <charconv>

namespace refserver {

namespace {

bool parseInteger(const std::string& text, std::int64_t low, std::int64_t high,
                  std::int64_t& value) {
    const char* end = text.data() + text.size();
    const auto [next, error] = std::from_chars(text.data(), end, value);
    return error == std::errc() && next == end && value >= low && value <= high;
}

class Reader {
public:
    Reader(const ServerOptions::Lookup& lookup, std::vector<std::string>& problems)
        : lookup_(lookup), problems_(problems) {}

    std::optional<std::string> text(const char* name) const {
        std::string value = lookup_(name);
        if (value.empty()) {
            return std::nullopt;
        }
        return value;
    }

    template <typename T>
    void integer(const char* name, std::int64_t low, std::int64_t high, T& target) const {
        const std::optional<std::string> value = text(name);
        std::int64_t number = 0;
        if (!value) {
            return;
        }
        if (parseInteger(*value, low, high, number)) {
            target = static_cast<T>(number);
        } else {
            reject(name, *value);
        }
    }

    void step(const char* name, ServerStep& target) const {
        const std::optional<std::string> value = text(name);
        if (!value) {
            return;
        }
        if (const std::optional<ServerStep> step = parseServerStep(*value)) {
            target = *step;
        } else {
            reject(name, *value);
        }
    }

    void reject(const char* name, const std::string& value) const {
        problems_.push_back(std::string("ignoring ") + name + "=" + value);
    }

private:
    const ServerOptions::Lookup& lookup_;
    std::vector<std::string>& problems_;
};

} // namespace

std::string ServerStep::text() const {
    switch (kind) {
    case Kind::none:
        return "none";
    case Kind::start:
        return "start";
    case Kind::request:
        return "request:" + std::to_string(value);
    case Kind::tile:
        return "tile:" + std::to_string(value);
    case Kind::afterRender:
        return "after-render";
    }
    return "none";
}

std::optional<ServerStep> parseServerStep(const std::string& text) {
    if (text == "start") {
        return ServerStep::start();
    }
    if (text == "after-render") {
        return ServerStep::afterRender();
    }
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos) {
        return std::nullopt;
    }
    const std::string kind = text.substr(0, colon);
    std::int64_t value = 0;
    if (!parseInteger(text.substr(colon + 1), 0, INT32_MAX, value)) {
        return std::nullopt;
    }
    if (kind == "request") {
        return ServerStep::request(static_cast<std::int32_t>(value));
    }
    if (kind == "tile" && value > 0) {
        return ServerStep::tile(static_cast<std::int32_t>(value));
    }
    return std::nullopt;
}

ServerOptions ServerOptions::fromLookup(const Lookup& lookup, std::vector<std::string>& problems) {
    const Reader read(lookup, problems);
    ServerOptions options;

    if (const std::optional<std::string> user = read.text(variables::user)) {
        if (*user == "accept") {
            options.user = UserChoice::accept;
        } else if (*user == "cancel") {
            options.user = UserChoice::cancel;
        } else if (*user == "accept-new-layer") {
            options.user = UserChoice::acceptNewLayer;
        } else {
            read.reject(variables::user, *user);
        }
    }
    read.integer(variables::delay, 0, 3600000, options.userDelayMs);
    options.userEdit = read.text(variables::edit);
    if (const std::optional<std::string> preview = read.text(variables::preview)) {
        if (*preview == "0" || *preview == "1") {
            options.preview = *preview == "1";
        } else {
            read.reject(variables::preview, *preview);
        }
    }
    if (const std::optional<std::string> colour = read.text(variables::colour)) {
        if (*colour == "pick") {
            options.colour = ColourRequest::pick;
        } else if (*colour == "convert") {
            options.colour = ColourRequest::convert;
        } else {
            read.reject(variables::colour, *colour);
        }
    }
    options.initialSettings = read.text(variables::settings);
    read.integer(variables::tile, 1, 4096, options.tileSize);
    if (const std::optional<std::string> end = read.text(variables::renderEnd)) {
        std::int64_t code = 0;
        if (*end == "finish") {
            options.renderEnd = RenderEnd::finish;
        } else if (*end == "cancel") {
            options.renderEnd = RenderEnd::cancel;
        } else if (end->compare(0, 6, "error:") == 0 &&
                   parseInteger(end->substr(6), INT32_MIN, INT32_MAX, code)) {
            options.renderEnd = RenderEnd::error;
            options.renderErrorCode = static_cast<std::int32_t>(code);
        } else {
            read.reject(variables::renderEnd, *end);
        }
    }
    read.integer(variables::idle, 0, INT32_MAX, options.idleLimitMs);
    options.logPath = read.text(variables::log).value_or(std::string());
    options.recordDirectory = read.text(variables::records).value_or(std::string());

    read.step(variables::die, options.faults.dieAt);
    read.step(variables::silent, options.faults.silentAt);
    read.step(variables::unknown, options.faults.unknownAt);
    read.step(variables::flood, options.faults.floodAt);
    read.integer(variables::floodCount, 1, 1000, options.faults.floodCount);
    std::int32_t wrong = -1;
    read.integer(variables::wrongAnswer, 0, INT32_MAX, wrong);
    if (wrong >= 0) {
        options.faults.wrongAnswerTo = wrong;
    }
    return options;
}

ServerOptions ServerOptions::fromEnvironment(std::vector<std::string>& problems) {
    return fromLookup([](const std::string& name) { return platform::environmentVariable(name); },
                      problems);
}

} // namespace refserver
