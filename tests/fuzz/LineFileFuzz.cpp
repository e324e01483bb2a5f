// libFuzzer target: any bytes as "Address.dat" or "tanbun.dat", read and saved through the
// real file layer. A file the program wrote comes back byte for byte.
#include <dirent.h>
#include <stdlib.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>

#include "tests/fuzz/FuzzSupport.h"
#include "userdata/LineFile.h"

namespace {

// A directory of its own in memory, so that the saves' syncs cost nothing.
const std::string& Directory() {
    static const std::string dir = [] {
        std::string pattern = (::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp");
        pattern += "/linefile-fuzz.XXXXXX";
        Require(::mkdtemp(pattern.data()) != nullptr);
        return pattern;
    }();
    return dir;
}

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int Entries(const std::string& dir) {
    DIR* d = ::opendir(dir.c_str());
    int n = 0;
    while (const dirent* e = ::readdir(d))
        n += e->d_name[0] != '.';
    ::closedir(d);
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::string path = Directory() + "/Address.dat";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << input;

    const std::vector<std::string> lines = userdata::ReadLineFile(path);
    for (const auto& line : lines)
        Require(line.find_first_of("\r\x1A") == std::string::npos);

    userdata::WriteLineFile(path, lines);
    const std::string written = Bytes(path);
    Require(written == userdata::JoinLines(lines));
    Require(Entries(Directory()) == 1);  // no temporary file left

    // The program's own file: read and saved again, nothing moves.
    Require(userdata::ReadLineFile(path) == lines);
    userdata::WriteLineFile(path, userdata::ReadLineFile(path));
    Require(Bytes(path) == written);
    return 0;
}
