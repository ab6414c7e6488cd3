#pragma once
// File and path utilities. Every file path of the library goes through these:
// texts at the C interface are UTF-8 strings, internal paths are
// std::filesystem::path, and relative paths are resolved against a base
// directory (the current working directory when the base is empty).
// All functions are stateless and reentrant.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace ksq {

class CIOUtils {
public:
    // UTF-8 text -> path. Malformed UTF-8 sequences become U+FFFD; an empty
    // text gives an empty path.
    static std::filesystem::path fromUtf8String(const std::string& text);
    // Path -> UTF-8 text (malformed sequences become U+FFFD); an empty path
    // gives the empty string.
    static std::string toUtf8String(const std::filesystem::path& path);

    // The directory itself in absolute form: empty -> the current working
    // directory, absolute -> unchanged, relative -> made absolute against the
    // current working directory. No component is removed.
    static std::filesystem::path getBaseDirP(const std::filesystem::path& dir);
    static std::string getBaseDir(const std::string& dir);

    // p resolved against base: empty p -> getBaseDirP(base), absolute p -> p,
    // relative p -> getBaseDirP(base) joined with p, made absolute.
    static std::filesystem::path resolveBasePathP(const std::filesystem::path& p,
                                                  const std::filesystem::path& base);
    static std::string resolveBasePath(const std::string& p, const std::string& base);

    // Makes sure the parent directory of filePath exists, creating missing
    // ancestors. True when there is no directory part or it exists (now);
    // false on any file-system error.
    static bool ensureDirectoryExistsP(const std::filesystem::path& filePath);

    // The local time as 14 digits, YYYYMMDDhhmmss.
    static std::string generateTimestamp();

    // A name without extension becomes name + "_" + timestamp + ext, so runs
    // in different seconds never overwrite each other. Unchanged when ext is
    // empty or the name already has an extension.
    static void prepareFileNameP(std::filesystem::path& p, const std::string& ext);
    static void prepareFileName(std::string& p, const std::string& ext);

    // Inserts suffix at the end of the stem, before the extension
    // (dir/a.csv + _x -> dir/a_x.csv, a + _x -> a_x). Empty suffix: unchanged.
    static void suffixFileNameP(std::filesystem::path& p, const std::string& suffix);
    static void suffixFileName(std::string& p, const std::string& suffix);

    // True when the file name has an extension (".profile" has none).
    static bool hasFileSuffix(const std::string& p);
    // The path without its extension; unchanged when it has none.
    static std::string removeFileSuffix(const std::string& p);

    // Writes header + "\n" (when the header is not empty) and then data to the
    // file, truncating it or appending to it; missing directories are created.
    // False on an empty path, a directory that cannot be created, or a failed
    // open or write.
    static bool writeFile(const std::string& path, const std::string& header,
                          const std::vector<uint8_t>& data, bool append);
};

}  // namespace ksq
