// The configuration file ci_create reads: the input is written as the INI file
// and read for the service's address. The address is not connected to (a
// fuzzed host name would be looked up on the network).

#include "api/service_config.h"
#include "scratch_dir.h"

#include <cstdint>
#include <fstream>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const ScratchDir scratch("fuzz_ini_create");
    static const std::string path = scratch.path() + "/service.ini";
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    (void)vel::readServiceConfig(path);
    return 0;
}
