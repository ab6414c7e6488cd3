#pragma once
// Converts a raw binary file into hex text (CCommonUtils::bytesToHexs format:
// 16 digits per line, a line feed after each line), reading 1 MiB at a time
// into one reused buffer and writing the text through an AsyncFileWriter
// without volume limit, so memory use does not depend on the file size.
//
// Output path: a hex file argument that is non-empty and differs from the bin
// file argument is used as given when it has an extension, else with ".dat"
// appended; otherwise the bin file path without its extension plus
// "_convert.dat" (raw.bin -> raw_convert.dat). Both paths are resolved against
// the base directory by convert(). Errors go to the standard error stream.

#include <cstdint>
#include <string>
#include <vector>

class NBinFileConverter {
public:
    static constexpr uint64_t kChunkSize = 1048576;

    NBinFileConverter(const std::string& binFile, const std::string& hexFile, const std::string& baseDir);
    ~NBinFileConverter();

    NBinFileConverter(const NBinFileConverter&) = delete;
    NBinFileConverter& operator=(const NBinFileConverter&) = delete;

    // True when the whole input was converted and the text file written and
    // cut to its length. Otherwise "Convert RAW binary file error: <why>" goes
    // to the standard error stream and the result is false; a missing input
    // creates no output file. Never throws.
    bool convert();

    // The output path as derived from the arguments, before resolution.
    const std::string& hexFile() const { return hexFile_; }

private:
    void convertOrThrow();

    std::string binFile_;
    std::string hexFile_;
    std::string baseDir_;
    uint64_t chunkSize_ = kChunkSize;
    std::string defaultExtension_ = ".dat";
    std::vector<char> readBuffer_;
    std::vector<uint8_t> textBuffer_;
};
