#include "core/io_utils.h"

#include <array>
#include <ctime>
#include <fstream>
#include <string_view>
#include <system_error>

namespace fs = std::filesystem;

namespace ksq {

namespace {

constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// Number of continuation bytes a lead byte announces and the range its first
// continuation byte must lie in (this excludes overlong forms, surrogates and
// code points above U+10FFFF). Returns false for bytes that cannot start a
// sequence.
bool describeLeadByte(unsigned char lead, int& continuations, unsigned char& low,
                      unsigned char& high) {
    low = 0x80;
    high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        continuations = 1;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        continuations = 2;
        if (lead == 0xE0) {
            low = 0xA0;
        } else if (lead == 0xED) {
            high = 0x9F;
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        continuations = 3;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;
        }
    } else {
        return false;
    }
    return true;
}

// Length of the well-formed sequence starting at text[pos] (ok = true), or of
// its longest ill-formed prefix, at least 1 (ok = false). Each such prefix is
// replaced by one U+FFFD, as the platform converters do.
size_t measureSequence(std::string_view text, size_t pos, bool& ok) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    ok = true;
    if (lead < 0x80) {
        return 1;
    }
    int continuations = 0;
    unsigned char low = 0;
    unsigned char high = 0;
    if (!describeLeadByte(lead, continuations, low, high)) {
        ok = false;
        return 1;
    }
    size_t length = 1;
    for (int k = 0; k < continuations; ++k) {
        if (pos + length >= text.size()) {
            ok = false;
            return length;
        }
        const auto byte = static_cast<unsigned char>(text[pos + length]);
        if (byte < low || byte > high) {
            ok = false;
            return length;
        }
        ++length;
        low = 0x80;
        high = 0xBF;
    }
    return length;
}

// The text with every malformed UTF-8 sequence replaced by U+FFFD; well-formed
// text comes back unchanged.
std::string repairUtf8(std::string_view text) {
    std::string repaired;
    repaired.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        bool ok = false;
        const size_t length = measureSequence(text, pos, ok);
        if (ok) {
            repaired.append(text.substr(pos, length));
        } else {
            repaired.append(kReplacementCharacter);
        }
        pos += length;
    }
    return repaired;
}

// Applies a name change given as UTF-8 text to the file-name part of p.
template <typename Rename>
void renameFile(std::string& p, Rename rename) {
    fs::path path = CIOUtils::fromUtf8String(p);
    rename(path);
    p = CIOUtils::toUtf8String(path);
}

}  // namespace

// Where paths are wide (Windows), the standard library converts between
// UTF-8 and UTF-16; elsewhere paths are UTF-8 bytes already.
fs::path CIOUtils::fromUtf8String(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const std::string repaired = repairUtf8(text);
#if defined(_WIN32)
    return fs::path(std::u8string(repaired.begin(), repaired.end()));
#else
    return fs::path(repaired);
#endif
}

std::string CIOUtils::toUtf8String(const fs::path& path) {
#if defined(_WIN32)
    const std::u8string text = path.u8string();
    return repairUtf8(std::string(text.begin(), text.end()));
#else
    return repairUtf8(path.native());
#endif
}

fs::path CIOUtils::getBaseDirP(const fs::path& dir) {
    if (dir.empty()) {
        return fs::current_path();
    }
    if (dir.is_absolute()) {
        return dir;
    }
    return fs::absolute(dir);
}

std::string CIOUtils::getBaseDir(const std::string& dir) {
    return toUtf8String(getBaseDirP(fromUtf8String(dir)));
}

fs::path CIOUtils::resolveBasePathP(const fs::path& p, const fs::path& base) {
    if (p.empty()) {
        return getBaseDirP(base);
    }
    if (p.is_absolute()) {
        return p;
    }
    return fs::absolute(getBaseDirP(base) / p);
}

std::string CIOUtils::resolveBasePath(const std::string& p, const std::string& base) {
    return toUtf8String(resolveBasePathP(fromUtf8String(p), fromUtf8String(base)));
}

bool CIOUtils::ensureDirectoryExistsP(const fs::path& filePath) {
    const fs::path dir = filePath.parent_path();
    if (dir.empty()) {
        return true;
    }
    std::error_code ec;
    if (fs::exists(dir, ec)) {
        return true;
    }
    // create_directories reports false when another thread created the
    // directory first; what counts is that it is there afterwards.
    fs::create_directories(dir, ec);
    if (ec) {
        return false;
    }
    return fs::is_directory(dir, ec);
}

std::string CIOUtils::generateTimestamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    std::array<char, 32> text{};
    const size_t length = std::strftime(text.data(), text.size(), "%Y%m%d%H%M%S", &local);
    return std::string(text.data(), length);
}

void CIOUtils::prepareFileNameP(fs::path& p, const std::string& ext) {
    if (ext.empty() || p.has_extension()) {
        return;
    }
    const std::string name = toUtf8String(p.filename()) + "_" + generateTimestamp() + ext;
    p.replace_filename(fromUtf8String(name));
}

void CIOUtils::prepareFileName(std::string& p, const std::string& ext) {
    renameFile(p, [&ext](fs::path& path) { prepareFileNameP(path, ext); });
}

void CIOUtils::suffixFileNameP(fs::path& p, const std::string& suffix) {
    if (suffix.empty()) {
        return;
    }
    if (p.has_extension()) {
        const std::string name =
            toUtf8String(p.stem()) + suffix + toUtf8String(p.extension());
        p = p.parent_path() / fromUtf8String(name);
    } else {
        p.replace_filename(fromUtf8String(toUtf8String(p.filename()) + suffix));
    }
}

void CIOUtils::suffixFileName(std::string& p, const std::string& suffix) {
    renameFile(p, [&suffix](fs::path& path) { suffixFileNameP(path, suffix); });
}

bool CIOUtils::hasFileSuffix(const std::string& p) {
    return fromUtf8String(p).has_extension();
}

std::string CIOUtils::removeFileSuffix(const std::string& p) {
    const fs::path path = fromUtf8String(p);
    if (!path.has_extension()) {
        return p;
    }
    return toUtf8String(path.parent_path() / path.stem());
}

bool CIOUtils::writeFile(const std::string& path, const std::string& header,
                         const std::vector<uint8_t>& data, bool append) {
    if (path.empty()) {
        return false;
    }
    const fs::path filePath = fromUtf8String(path);
    if (!ensureDirectoryExistsP(filePath)) {
        return false;
    }
    const auto mode = std::ios::binary | (append ? std::ios::app : std::ios::trunc);
    std::ofstream out(filePath, std::ios::out | mode);
    if (!out.is_open()) {
        return false;
    }
    if (!header.empty()) {
        out.write(header.data(), static_cast<std::streamsize>(header.size()));
        out.put('\n');
        if (!out.good()) {
            return false;
        }
    }
    if (!data.empty()) {
        out.write(reinterpret_cast<const char*>(data.data()),
                  static_cast<std::streamsize>(data.size()));
    }
    // Closing flushes the buffer; a failure there (disk full) is a failed write.
    out.close();
    return !out.fail();
}

}  // namespace ksq
