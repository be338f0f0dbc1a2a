#include "host/DescriptorText.h"

#include "text/Unicode.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace host {

using namespace hostapi;

namespace {

enum class TokenKind { Code, Text, Word };

struct Token {
    TokenKind kind = TokenKind::Word;
    std::string value;
    // Texts stay UTF-16, so that lone surrogates written as \u escapes
    // come back as they were.
    std::u16string text;
};

std::string quotedCode(std::uint32_t code) {
    return "'" + fourCharText(code) + "'";
}

std::string quotedText(const std::u16string& text) {
    std::string out = "\"";
    for (const char16_t unit : text) {
        if (unit == u'"') {
            out += "\\\"";
        } else if (unit == u'\\') {
            out += "\\\\";
        } else if (unit == u'\n') {
            out += "\\n";
        } else if (unit == u'\t') {
            out += "\\t";
        } else if (unit < 0x20 || unit == 0x7F || (unit >= 0xD800 && unit < 0xE000)) {
            // Controls and surrogates (paired or not) are written as units,
            // so that any UTF-16 text comes back unit for unit.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04X", static_cast<unsigned>(unit));
            out += escape;
        } else {
            out += text::utf8FromUtf16(std::u16string(1, unit));
        }
    }
    return out + "\"";
}

std::string hexBytes(const std::vector<std::uint8_t>& bytes) {
    static const char* digits = "0123456789abcdef";
    std::string out;
    for (std::uint8_t b : bytes) {
        out.push_back(digits[b >> 4]);
        out.push_back(digits[b & 0xF]);
    }
    return out.empty() ? "-" : out;
}

std::string number(double value) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    return buffer;
}

bool tokenize(const std::string& line, std::vector<Token>& tokens, std::string& error) {
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        Token token;
        if (c == '\'') {
            const std::size_t end = line.find('\'', i + 1);
            if (end == std::string::npos) {
                error = "unterminated code";
                return false;
            }
            token.kind = TokenKind::Code;
            token.value = line.substr(i + 1, end - i - 1);
            i = end + 1;
        } else if (c == '"') {
            token.kind = TokenKind::Text;
            std::u16string text;
            std::string run;
            ++i;
            bool closed = false;
            while (i < line.size()) {
                const char d = line[i];
                if (d == '"') {
                    closed = true;
                    ++i;
                    break;
                }
                if (d != '\\') {
                    run.push_back(d);
                    ++i;
                    continue;
                }
                text += text::utf16FromUtf8(run);
                run.clear();
                if (i + 1 >= line.size()) {
                    break;
                }
                const char e = line[i + 1];
                i += 2;
                if (e == 'n') {
                    text.push_back(u'\n');
                } else if (e == 't') {
                    text.push_back(u'\t');
                } else if (e == '"' || e == '\\') {
                    text.push_back(static_cast<char16_t>(e));
                } else if (e == 'u' && i + 4 <= line.size()) {
                    char* end = nullptr;
                    const std::string hex = line.substr(i, 4);
                    const unsigned long unit = std::strtoul(hex.c_str(), &end, 16);
                    if (end != hex.c_str() + 4) {
                        error = "bad \\u escape";
                        return false;
                    }
                    text.push_back(static_cast<char16_t>(unit));
                    i += 4;
                } else {
                    error = std::string("unknown escape \\") + e;
                    return false;
                }
            }
            if (!closed) {
                error = "unterminated text";
                return false;
            }
            text += text::utf16FromUtf8(run);
            token.text = std::move(text);
        } else {
            const std::size_t end = line.find_first_of(" \t\r", i);
            token.value = line.substr(i, end == std::string::npos ? std::string::npos : end - i);
            i = end == std::string::npos ? line.size() : end;
        }
        tokens.push_back(std::move(token));
    }
    return true;
}

bool codeOf(const Token& token, std::uint32_t& code) {
    if (token.kind == TokenKind::Text || token.value.size() != 4) {
        return false;
    }
    code = 0;
    for (char c : token.value) {
        code = (code << 8) | static_cast<unsigned char>(c);
    }
    return true;
}

bool integerOf(const Token& token, std::int64_t low, std::int64_t high, std::int64_t& value) {
    if (token.kind != TokenKind::Word || token.value.empty()) {
        return false;
    }
    errno = 0;
    char* end = nullptr;
    const long long parsed = std::strtoll(token.value.c_str(), &end, 10);
    if (errno != 0 || *end != '\0' || parsed < low || parsed > high) {
        return false;
    }
    value = parsed;
    return true;
}

bool doubleOf(const Token& token, double& value) {
    if (token.kind != TokenKind::Word || token.value.empty()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtod(token.value.c_str(), &end);
    return *end == '\0';
}

bool bytesOf(const Token& token, std::vector<std::uint8_t>& bytes) {
    bytes.clear();
    if (token.value == "-") {
        return true;
    }
    if (token.kind != TokenKind::Word || token.value.size() % 2 != 0) {
        return false;
    }
    for (std::size_t i = 0; i < token.value.size(); i += 2) {
        char* end = nullptr;
        const std::string pair = token.value.substr(i, 2);
        const unsigned long b = std::strtoul(pair.c_str(), &end, 16);
        if (end != pair.c_str() + 2) {
            return false;
        }
        bytes.push_back(static_cast<std::uint8_t>(b));
    }
    return true;
}

} // namespace

std::string descriptorToText(const ActionDescriptor& descriptor) {
    std::ostringstream out;
    for (const auto& [key, v] : descriptor.entries()) {
        const std::string head = quotedCode(key) + " " + fourCharText(v.type) + " ";
        switch (v.type) {
        case typeInteger:
        case typeInteger64:
            out << head << v.integer << "\n";
            break;
        case typeBoolean:
            out << head << (v.integer != 0 ? "true" : "false") << "\n";
            break;
        case typeFloat:
            out << head << number(v.number) << "\n";
            break;
        case typeUnitFloat:
            out << head << quotedCode(v.unit) << " " << number(v.number) << "\n";
            break;
        case typeText:
            out << head << quotedText(v.text) << "\n";
            break;
        case typeEnumerated:
            out << head << quotedCode(v.classId) << " " << quotedCode(v.enumValue) << "\n";
            break;
        case typeClass:
        case typeGlobalClass:
            out << head << quotedCode(v.classId) << "\n";
            break;
        case typeRawData:
        case typeAlias:
            out << head << hexBytes(v.data) << "\n";
            break;
        default:
            out << "# " << quotedCode(key) << " " << quotedCode(v.type) << " has no line form\n";
            break;
        }
    }
    return out.str();
}

bool addDescriptorLine(const std::string& line, ActionDescriptor& descriptor, std::string& error) {
    std::vector<Token> tokens;
    if (!tokenize(line, tokens, error)) {
        return false;
    }
    std::uint32_t key = 0;
    std::uint32_t type = 0;
    if (tokens.size() < 3 || !codeOf(tokens[0], key) || !codeOf(tokens[1], type)) {
        error = "expected: 'key' type value";
        return false;
    }
    const std::size_t values = tokens.size() - 2;
    const Token& first = tokens[2];
    DescriptorValue value;
    std::int64_t integer = 0;
    double real = 0.0;
    std::uint32_t codeA = 0;
    std::uint32_t codeB = 0;
    bool ok = false;
    switch (type) {
    case typeInteger:
        ok = values == 1 && integerOf(first, INT32_MIN, INT32_MAX, integer);
        value = DescriptorValue::makeInteger(static_cast<std::int32_t>(integer));
        break;
    case typeInteger64:
        ok = values == 1 && integerOf(first, INT64_MIN, INT64_MAX, integer);
        value = DescriptorValue::makeInteger64(integer);
        break;
    case typeBoolean:
        ok = values == 1 && first.kind == TokenKind::Word &&
             (first.value == "true" || first.value == "false");
        value = DescriptorValue::makeBoolean(first.value == "true");
        break;
    case typeFloat:
        ok = values == 1 && doubleOf(first, real);
        value = DescriptorValue::makeFloat(real);
        break;
    case typeUnitFloat:
        ok = values == 2 && codeOf(first, codeA) && doubleOf(tokens[3], real);
        value = DescriptorValue::makeUnitFloat(codeA, real);
        break;
    case typeText:
        ok = values == 1 && first.kind == TokenKind::Text;
        value = DescriptorValue::makeText(first.text);
        break;
    case typeEnumerated:
        ok = values == 2 && codeOf(first, codeA) && codeOf(tokens[3], codeB);
        value = DescriptorValue::makeEnumerated(codeA, codeB);
        break;
    case typeClass:
    case typeGlobalClass:
        ok = values == 1 && codeOf(first, codeA);
        value = DescriptorValue::makeClass(codeA, type == typeGlobalClass);
        break;
    case typeRawData:
    case typeAlias: {
        std::vector<std::uint8_t> bytes;
        ok = values == 1 && bytesOf(first, bytes);
        value = type == typeRawData ? DescriptorValue::makeData(bytes)
                                    : DescriptorValue::makeAlias(bytes);
        break;
    }
    default:
        error = "type '" + fourCharText(type) + "' has no line form";
        return false;
    }
    if (!ok) {
        error = "bad value for type '" + fourCharText(type) + "'";
        return false;
    }
    descriptor.put(key, std::move(value));
    return true;
}

bool descriptorFromText(const std::string& text, ActionDescriptor& descriptor, std::string& error) {
    std::istringstream in(text);
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line[start] == '#') {
            continue;
        }
        std::string reason;
        if (!addDescriptorLine(line, descriptor, reason)) {
            error = "line " + std::to_string(number) + ": " + reason;
            return false;
        }
    }
    return true;
}

} // namespace host
