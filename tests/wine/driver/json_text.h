// Text helpers shared by the driver and its probe: code-page conversion and JSON output.
#pragma once
#include <windows.h>

#include <cstdio>
#include <string>

inline std::string Convert(const std::string& in, UINT from, UINT to) {
    if (in.empty()) return std::string();
    int wn = MultiByteToWideChar(from, 0, in.data(), (int)in.size(), nullptr, 0);
    std::wstring w(wn, L'\0');
    MultiByteToWideChar(from, 0, in.data(), (int)in.size(), &w[0], wn);
    int n = WideCharToMultiByte(to, 0, w.data(), wn, nullptr, 0, nullptr, nullptr);
    std::string out(n, '\0');
    WideCharToMultiByte(to, 0, w.data(), wn, &out[0], n, nullptr, nullptr);
    return out;
}
inline std::string ToUtf8(const std::string& cp932) { return Convert(cp932, 932, CP_UTF8); }
inline std::string ToCp932(const std::string& utf8) { return Convert(utf8, CP_UTF8, 932); }

inline std::string JsonString(const std::string& s) {
    std::string o = "\"";
    for (unsigned char c : s) {
        switch (c) {
        case '"': o += "\\\""; break;
        case '\\': o += "\\\\"; break;
        case '\n': o += "\\n"; break;
        case '\r': o += "\\r"; break;
        case '\t': o += "\\t"; break;
        default:
            if (c < 0x20) {
                char b[8];
                snprintf(b, sizeof b, "\\u%04x", c);
                o += b;
            } else {
                o += (char)c;
            }
        }
    }
    return o + "\"";
}

inline std::string Hex(const std::string& bytes) {
    static const char* d = "0123456789abcdef";
    std::string o;
    for (unsigned char c : bytes) {
        o += d[c >> 4];
        o += d[c & 15];
    }
    return o;
}
