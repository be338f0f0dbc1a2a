// The ZString suite: reference-counted UTF-16 strings; C and Pascal strings
// are taken and given as UTF-8.

#include "host/ActiveHost.h"
#include "host/HostCallbacks.h"
#include "text/Unicode.h"

#include <algorithm>
#include <cstdio>

namespace host {

using namespace hostapi;

namespace {

ZString* zfind(ASZString z, const char* use) {
    ZStringTable* zstrings = activeZStrings();
    return zstrings != nullptr ? zstrings->find(z, use) : nullptr;
}

ASErr zMake(std::u16string text, ASZString* out) {
    ZStringTable* zstrings = activeZStrings();
    if (zstrings == nullptr || out == nullptr) {
        return paramErr;
    }
    *out = zstrings->make(std::move(text));
    return noErr;
}

// Applies `change` to the string's text; paramErr for an unknown string.
template <typename Change> ASErr edit(ASZString zstring, const char* use, Change change) {
    ZString* z = zfind(zstring, use);
    if (z == nullptr) {
        return paramErr;
    }
    change(z->text);
    return noErr;
}

// "^1" ... "^9" in a string are placeholders for replacements.
std::u16string placeholder(uint32 index) {
    return u"^" + text::utf16FromUtf8(std::to_string(index));
}

bool isSpace(char16_t c) {
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\u00A0';
}

// A ZString is a C string: it ends at the first NUL within the count.
ASErr zMakeFromUnicode(ASUnicode* src, std::size_t count, ASZString* out) {
    if (src == nullptr && count > 0) {
        return paramErr;
    }
    std::u16string text;
    for (std::size_t i = 0; i < count && src[i] != 0; ++i) {
        text.push_back(static_cast<char16_t>(src[i]));
    }
    return zMake(std::move(text), out);
}

ASErr zMakeFromCString(const char* src, std::size_t byteCount, ASZString* out) {
    if (src == nullptr && byteCount > 0) {
        return paramErr;
    }
    const std::string bytes(src, src + byteCount);
    return zMake(text::utf16FromUtf8(bytes.substr(0, bytes.find('\0'))), out);
}

ASErr zMakeFromPascalString(const uint8* src, std::size_t byteCount, ASZString* out) {
    if (src == nullptr || byteCount == 0) {
        return zMake(std::u16string(), out);
    }
    const std::size_t length = std::min<std::size_t>(src[0], byteCount - 1);
    return zMake(text::utf16FromUtf8(std::string(src + 1, src + 1 + length)), out);
}

ASErr zMakeRomanizationOfInteger(int32 value, ASZString* out) {
    return zMake(text::utf16FromUtf8(std::to_string(value)), out);
}

ASErr zMakeRomanizationOfFixed(int32 value, int16 places, ASBoolean trim, ASBoolean isSigned,
                               ASZString* out) {
    const double number =
        isSigned != 0 ? value / 65536.0 : static_cast<std::uint32_t>(value) / 65536.0;
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", std::clamp<int>(places, 0, 10), number);
    std::string text = buffer;
    if (trim != 0 && text.find('.') != std::string::npos) {
        text.erase(text.find_last_not_of('0') + 1);
        if (text.back() == '.') {
            text.pop_back();
        }
    }
    return zMake(text::utf16FromUtf8(text), out);
}

ASErr zMakeRomanizationOfDouble(double value, ASZString* out) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%g", value);
    return zMake(text::utf16FromUtf8(buffer), out);
}

ASZString zGetEmpty() {
    ZStringTable* zstrings = activeZStrings();
    return zstrings != nullptr ? zstrings->empty() : nullptr;
}

ASErr zCopy(ASZString source, ASZString* copy) {
    const ZString* z = zfind(source, "Copy");
    return z != nullptr ? zMake(z->text, copy) : paramErr;
}

ASErr zReplace(ASZString zstring, uint32 index, ASZString replacement) {
    ZString* z = zfind(zstring, "Replace");
    const ZString* r = zfind(replacement, "Replace");
    if (z == nullptr || r == nullptr) {
        return paramErr;
    }
    const std::u16string marker = placeholder(index);
    if (const std::size_t at = z->text.find(marker); at != std::u16string::npos) {
        z->text.replace(at, marker.size(), r->text);
    }
    return noErr;
}

ASErr zTrimEllipsis(ASZString zstring) {
    return edit(zstring, "TrimEllipsis", [](std::u16string& text) {
        if (text.size() >= 3 && text.compare(text.size() - 3, 3, u"...") == 0) {
            text.resize(text.size() - 3);
        } else if (!text.empty() && text.back() == u'\u2026') {
            text.pop_back();
        }
    });
}

ASErr zTrimSpaces(ASZString zstring) {
    return edit(zstring, "TrimSpaces", [](std::u16string& text) {
        while (!text.empty() && isSpace(text.back())) {
            text.pop_back();
        }
        text.erase(text.begin(), std::find_if_not(text.begin(), text.end(), isSpace));
    });
}

// "&&" stands for a literal ampersand; a single one marks the accelerator.
ASErr zRemoveAccelerators(ASZString zstring) {
    return edit(zstring, "RemoveAccelerators", [](std::u16string& text) {
        std::u16string out;
        for (std::size_t i = 0; i < text.size(); ++i) {
            if (text[i] != u'&') {
                out.push_back(text[i]);
            } else if (i + 1 < text.size() && text[i + 1] == u'&') {
                out.push_back(u'&');
                ++i;
            }
        }
        text = std::move(out);
    });
}

ASErr zAddRef(ASZString zstring) {
    ZString* z = zfind(zstring, "AddRef");
    if (z == nullptr) {
        return paramErr;
    }
    ++z->references;
    return noErr;
}

ASErr zRelease(ASZString zstring) {
    ZString* z = zfind(zstring, "Release");
    if (z == nullptr) {
        return paramErr;
    }
    activeZStrings()->release(zstring, *z);
    return noErr;
}

ASBoolean zIsAllWhiteSpace(ASZString zstring) {
    const ZString* z = zfind(zstring, "IsAllWhiteSpace");
    return z != nullptr && std::all_of(z->text.begin(), z->text.end(), isSpace) ? 1 : 0;
}

ASBoolean zIsEmpty(ASZString zstring) {
    const ZString* z = zfind(zstring, "IsEmpty");
    return z != nullptr && z->text.empty() ? 1 : 0;
}

ASBoolean zWillReplace(ASZString zstring, uint32 index) {
    const ZString* z = zfind(zstring, "WillReplace");
    return z != nullptr && z->text.find(placeholder(index)) != std::u16string::npos ? 1 : 0;
}

// How many units the length calls count beyond the text: the terminator,
// unless the host is told to leave it out.
uint32 terminatorUnits() {
    const HostOptions* options = activeOptions();
    return options != nullptr && options->zstringLengthIncludesTerminator ? 1 : 0;
}

uint32 zLengthAsUnicodeCString(ASZString zstring) {
    const ZString* z = zfind(zstring, "LengthAsUnicodeCString");
    return z != nullptr ? static_cast<uint32>(z->text.size()) + terminatorUnits() : 0;
}

// Copies as much as fits, with a terminator when there is room; with
// checkSize a buffer too small for the text and its terminator is an error.
template <typename Unit, typename Text>
ASErr copyOut(const Text& text, Unit* buffer, uint32 size, ASBoolean checkSize) {
    if (buffer == nullptr) {
        return paramErr;
    }
    if (checkSize != 0 && size < text.size() + 1) {
        return paramErr;
    }
    const std::size_t n = std::min<std::size_t>(text.size(), size);
    for (std::size_t i = 0; i < n; ++i) {
        buffer[i] = static_cast<Unit>(text[i]);
    }
    if (n < size) {
        buffer[n] = 0;
    }
    return noErr;
}

ASErr zAsUnicodeCString(ASZString zstring, ASUnicode* buffer, uint32 size, ASBoolean checkSize) {
    const ZString* z = zfind(zstring, "AsUnicodeCString");
    return z != nullptr ? copyOut(z->text, buffer, size, checkSize) : paramErr;
}

uint32 zLengthAsCString(ASZString zstring) {
    const ZString* z = zfind(zstring, "LengthAsCString");
    return z != nullptr
               ? static_cast<uint32>(text::utf8FromUtf16(z->text).size()) + terminatorUnits()
               : 0;
}

ASErr zAsCString(ASZString zstring, char* buffer, uint32 size, ASBoolean checkSize) {
    const ZString* z = zfind(zstring, "AsCString");
    return z != nullptr ? copyOut(text::utf8FromUtf16(z->text), buffer, size, checkSize) : paramErr;
}

uint32 zLengthAsPascalString(ASZString zstring) {
    const ZString* z = zfind(zstring, "LengthAsPascalString");
    if (z == nullptr) {
        return 0;
    }
    return static_cast<uint32>(std::min<std::size_t>(text::utf8FromUtf16(z->text).size(), 255)) + 1;
}

// A Pascal string: a length byte and no terminator.
ASErr zAsPascalString(ASZString zstring, char* buffer, uint32 size, ASBoolean /*checkSize*/) {
    const ZString* z = zfind(zstring, "AsPascalString");
    if (z == nullptr || buffer == nullptr || size == 0) {
        return paramErr;
    }
    const std::string text = text::utf8FromUtf16(z->text);
    const auto n = std::min<std::size_t>({text.size(), 255, size - 1});
    buffer[0] = static_cast<char>(n);
    std::copy_n(text.data(), n, buffer + 1);
    return noErr;
}

const ZStringSuite kZStringSuite = {zMakeFromUnicode,
                                    zMakeFromCString,
                                    zMakeFromPascalString,
                                    zMakeRomanizationOfInteger,
                                    zMakeRomanizationOfFixed,
                                    zMakeRomanizationOfDouble,
                                    zGetEmpty,
                                    zCopy,
                                    zReplace,
                                    zTrimEllipsis,
                                    zTrimSpaces,
                                    zRemoveAccelerators,
                                    zAddRef,
                                    zRelease,
                                    zIsAllWhiteSpace,
                                    zIsEmpty,
                                    zWillReplace,
                                    zLengthAsUnicodeCString,
                                    zAsUnicodeCString,
                                    zLengthAsCString,
                                    zAsCString,
                                    zLengthAsPascalString,
                                    zAsPascalString};

} // namespace

const ZStringSuite& zstringSuite() {
    return kZStringSuite;
}

} // namespace host
