#include "acq/nbin_file_converter.h"

#include "acq/async_file_writer.h"
#include "core/common_utils.h"
#include "core/io_utils.h"

#include <filesystem>
#include <fstream>
#include <iostream>
#include <stdexcept>

using ksq::CIOUtils;

NBinFileConverter::NBinFileConverter(const std::string& binFile, const std::string& hexFile, const std::string& baseDir)
    : binFile_(binFile), hexFile_(hexFile), baseDir_(baseDir) {
    if (!hexFile_.empty() && hexFile_ != binFile_) {
        if (!CIOUtils::hasFileSuffix(hexFile_)) {
            hexFile_ += defaultExtension_;
        }
    } else {
        hexFile_ = CIOUtils::removeFileSuffix(binFile_) + "_convert" + defaultExtension_;
    }
    readBuffer_.resize(static_cast<size_t>(chunkSize_));
}

NBinFileConverter::~NBinFileConverter() = default;

bool NBinFileConverter::convert() {
    try {
        convertOrThrow();
        return true;
    } catch (const std::exception& e) {
        std::cerr << "Convert RAW binary file error: " << e.what() << std::endl;
    } catch (...) {
        // Writer-level errors go to the standard error stream, not to the log.
        std::cerr << "Convert RAW binary file error: unknown error" << std::endl;
    }
    return false;
}

void NBinFileConverter::convertOrThrow() {
    const std::string binPath = CIOUtils::resolveBasePath(binFile_, baseDir_);
    const std::filesystem::path binFsPath = CIOUtils::fromUtf8String(binPath);
    std::ifstream input;
    // A directory opens on some systems but has no bytes to read.
    if (!std::filesystem::is_directory(binFsPath)) {
        input.open(binFsPath, std::ios::binary);
    }
    if (!input.is_open()) {
        throw std::runtime_error("Failed to open binary file: " + binPath);
    }

    const std::string hexPath = CIOUtils::resolveBasePath(hexFile_, baseDir_);
    ksq::AsyncFileWriter writer(hexPath, -1, ksq::AsyncFileWriter::kDefaultMapSize,
                                ksq::AsyncFileWriter::kDefaultMapSize);
    bool written = true;
    while (written) {
        input.read(readBuffer_.data(), static_cast<std::streamsize>(readBuffer_.size()));
        const std::streamsize count = input.gcount();
        if (count <= 0) {
            break;
        }
        textBuffer_.clear();
        ksq::CCommonUtils::fastBytesToHexs(reinterpret_cast<const unsigned char*>(readBuffer_.data()),
                                           static_cast<uint64_t>(count), textBuffer_);
        if (!textBuffer_.empty()) {
            written = writer.writeData(reinterpret_cast<const char*>(textBuffer_.data()), textBuffer_.size());
        }
    }
    const bool readFailed = input.bad();
    input.close();
    writer.flush();
    const bool closed = writer.close();
    if (readFailed) {
        throw std::runtime_error("Failed to read binary file: " + binPath);
    }
    // A text that did not reach the file completely is a failed conversion.
    if (!written || !closed) {
        throw std::runtime_error("Failed to write hex file: " + hexPath);
    }
}
