#pragma once
// Independent converters for checking ours: glibc iconv.
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

// Bytes in encoding from -> encoding to; nothing when iconv rejects them.
inline std::optional<std::string> Iconv(const char* to, const char* from, std::string_view bytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    std::string in(bytes), out(bytes.size() * 4 + 16, '\0');
    char* inp = in.data();
    char* outp = out.data();
    size_t inLeft = in.size(), outLeft = out.size();
    const bool ok = iconv(cd, &inp, &inLeft, &outp, &outLeft) != static_cast<size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &outp, &outLeft) != static_cast<size_t>(-1);
    iconv_close(cd);
    if (!ok)
        return std::nullopt;
    out.resize(outp - out.data());
    return out;
}

// Bytes in the named encoding -> UTF-8; nothing when iconv rejects them.
inline std::optional<std::string> IconvToUtf8(const char* from, std::string_view bytes) {
    return Iconv("UTF-8", from, bytes);
}
