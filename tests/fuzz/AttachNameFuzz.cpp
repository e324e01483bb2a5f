// libFuzzer target: any bytes as the path of an attachment. The name keeps no control or
// reordering character, and the part header that carries it is 7-bit, ends each line in CR LF
// and keeps every line within 78 characters, whatever the name.
#include <QList>
#include <QString>
#include <cstdint>
#include <string>

#include "smtp/ZelAttach.h"
#include "tests/fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string entry(reinterpret_cast<const char*>(data), size);
    const std::string name = AttachmentName(entry);
    Require(!name.empty() && name.find('/') == std::string::npos);
    for (const char32_t c : QString::fromStdString(name).toUcs4())
        Require(c >= 0x20 && (c < 0x7F || c > 0x9F) && c != 0x200E && c != 0x202E && c != 0x2066);
    const std::string header = AttachmentPartHeader("application/octet-stream", name);
    Require(header.ends_with("\r\n"));
    for (size_t at = 0; at < header.size();) {
        const size_t end = header.find("\r\n", at);
        Require(end != std::string::npos && end - at <= 78);
        for (size_t i = at; i < end; ++i)
            Require(header[i] > 0 && static_cast<unsigned char>(header[i]) < 0x80 &&
                    header[i] != '\r' && header[i] != '\n');
        at = end + 2;
    }
    return 0;
}
