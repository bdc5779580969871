// Reading a published update definition. Everything here treats the text as hostile until the
// signature has been checked, and stays strict afterwards: the updater joins these paths to the
// installation folder with no checks of its own.
#include "updcore.h"

#include <cstring>

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isHex(char c) { return isDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

bool isDeviceName(std::string name) {
    // Windows opens a device for these names whatever the extension.
    size_t dot = name.find('.');
    if (dot != std::string::npos) name.resize(dot);
    for (char& c : name) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    while (!name.empty() && name.back() == ' ') name.pop_back();
    static const char* const DEVICES[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const char* d : DEVICES)
        if (name == d) return true;
    return name.size() == 4 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "LPT") == 0) &&
           name[3] >= '0' && name[3] <= '9';
}

// Splits into lines, each without its CR LF; false when a line lacks CR LF or is too long.
bool splitLines(const char* data, size_t size, std::vector<std::string>& lines) {
    size_t start = 0;
    while (start < size) {
        const char* lf = static_cast<const char*>(memchr(data + start, '\n', size - start));
        if (!lf) return false; // a last line without its end: truncated
        size_t end = static_cast<size_t>(lf - data);
        if (end == start || data[end - 1] != '\r') return false;
        if (end + 1 - start > DEF_MAX_LINE) return false;
        lines.emplace_back(data + start, end - 1 - start);
        start = end + 1;
    }
    return true;
}

} // namespace

bool isVersion(const std::string& text) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t digits = 0;
        while (i < text.size() && isDigit(text[i])) ++i, ++digits;
        if (digits == 0 || digits > 9) return false;
        if (++parts > 4) return false;
        if (i == text.size()) return true;
        if (text[i] != '.') return false;
        ++i;
    }
}

int compareVersions(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        unsigned long x = 0, y = 0; // at most 9 digits each: no overflow
        while (i < a.size() && a[i] != '.') x = x * 10 + static_cast<unsigned long>(a[i++] - '0');
        while (j < b.size() && b[j] != '.') y = y * 10 + static_cast<unsigned long>(b[j++] - '0');
        if (x != y) return x < y ? -1 : 1;
        if (i < a.size()) ++i;
        if (j < b.size()) ++j;
    }
    return 0;
}

bool isSafeEntryPath(const std::string& path, bool isFile) {
    if (path.size() < 2 || path[0] != '/') return false;
    std::vector<std::string> names;
    size_t start = 1;
    while (true) {
        size_t slash = path.find('/', start);
        std::string name = path.substr(start, slash == std::string::npos ? std::string::npos : slash - start);
        if (name.empty() || name == "." || name == "..") return false;
        if (name.back() == '.' || name.back() == ' ' || name.front() == ' ') return false;
        for (char c : name) {
            bool ok = isDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '_' ||
                      c == '-' || c == ' ';
            if (!ok) return false; // this also keeps out '\', ':' (drives, streams), '%', '*', '?'
        }
        if (isDeviceName(name)) return false;
        names.push_back(name);
        if (slash == std::string::npos) break;
        start = slash + 1;
    }
    if (!isFile) return true;
    // The temporary store holds only top-level files and a lang folder.
    if (names.size() == 1) return true;
    return names.size() == 2 && _stricmp(names[0].c_str(), "lang") == 0;
}

bool decodeBase64(const std::string& text, std::vector<unsigned char>& out) {
    out.clear();
    if (text.empty() || text.size() % 4 != 0) return false;
    auto value = [](char c) -> int {
        if (c >= 'A' && c <= 'Z') return c - 'A';
        if (c >= 'a' && c <= 'z') return c - 'a' + 26;
        if (isDigit(c)) return c - '0' + 52;
        if (c == '+') return 62;
        if (c == '/') return 63;
        return -1;
    };
    for (size_t i = 0; i < text.size(); i += 4) {
        bool last = i + 4 == text.size();
        int v[4];
        int pad = 0;
        for (int k = 0; k < 4; ++k) {
            char c = text[i + k];
            if (c == '=' && last && k >= 2) {
                v[k] = 0;
                ++pad;
                continue;
            }
            if (pad) return false; // data after padding
            v[k] = value(c);
            if (v[k] < 0) return false;
        }
        unsigned triple = (v[0] << 18) | (v[1] << 12) | (v[2] << 6) | v[3];
        out.push_back(static_cast<unsigned char>(triple >> 16));
        if (pad < 2) out.push_back(static_cast<unsigned char>(triple >> 8));
        if (pad < 1) out.push_back(static_cast<unsigned char>(triple));
    }
    return true;
}

bool parseSignatureLine(const std::string& line, unsigned char signature[SIGNATURE_SIZE]) {
    std::vector<unsigned char> raw;
    if (line.compare(0, 4, "SIG ") != 0 || !decodeBase64(line.substr(4), raw) || raw.size() != SIGNATURE_SIZE)
        return false;
    memcpy(signature, raw.data(), SIGNATURE_SIZE);
    return true;
}

DefStatus parseDefinition(const char* data, size_t size, Definition& out) {
    out = Definition{};
    if (!data || size == 0 || size > DEF_MAX_SIZE) return DEF_BAD_FORMAT;
    for (size_t i = 0; i < size; ++i) {
        unsigned char c = static_cast<unsigned char>(data[i]);
        // The updater reads narrow text through the ANSI code page: plain ASCII means the same there.
        if (c != '\r' && c != '\n' && (c < 0x20 || c > 0x7E)) return DEF_BAD_FORMAT;
    }
    std::vector<std::string> lines;
    if (!splitLines(data, size, lines) || lines.size() < 3) return DEF_BAD_FORMAT;

    static const char HEADER[] = "TOLVADEF 1 min=";
    if (lines[0].compare(0, sizeof HEADER - 1, HEADER) != 0) return DEF_BAD_FORMAT;
    out.minVersion = lines[0].substr(sizeof HEADER - 1);
    if (!isVersion(out.minVersion)) return DEF_BAD_VERSION;

    if (!parseSignatureLine(lines[1], out.signature)) return DEF_BAD_FORMAT;

    out.version = lines[2];
    if (!isVersion(out.version)) return DEF_BAD_VERSION;

    for (size_t n = 3; n < lines.size(); ++n) {
        const std::string& line = lines[n];
        if (line.empty()) continue;
        DefEntry entry;
        entry.tag = line.substr(0, 2);
        std::string rest = line.size() > 2 ? line.substr(2) : std::string();
        bool file = entry.tag == "+f";
        // "+s": the setup program a re-install downloads and runs, carried here so that its digest
        // is signed with the rest. It is never installed, so it is no file of the installation.
        bool setup = entry.tag == "+s";
        if (file || setup) {
            size_t colon = rest.find(':');
            if (colon == std::string::npos) return DEF_BAD_ENTRY;
            entry.digest = rest.substr(colon + 1);
            rest.resize(colon);
            if (entry.digest.size() != 32) return DEF_BAD_ENTRY;
            for (char c : entry.digest)
                if (!isHex(c)) return DEF_BAD_ENTRY;
        } else if (entry.tag != "-f" && entry.tag != "+d" && entry.tag != "-d") {
            return DEF_BAD_ENTRY; // the release tool writes nothing else; anything else is tampering
        }
        if (rest.find(':') != std::string::npos || rest.find('\\') != std::string::npos) return DEF_BAD_PATH;
        if (!isSafeEntryPath(rest, file || setup)) return DEF_BAD_PATH;
        if (setup) {
            // Downloaded into %TEMP% itself, so one name at the top; and one program only.
            if (rest.find('/', 1) != std::string::npos) return DEF_BAD_PATH;
            for (const DefEntry& earlier : out.entries)
                if (earlier.tag == "+s") return DEF_BAD_ENTRY;
        }
        entry.path = rest;
        out.entries.push_back(std::move(entry));
    }

    // What the signature covers: the whole file with line 2 (the signature itself) left out.
    size_t line2 = lines[0].size() + 2;
    size_t line3 = line2 + lines[1].size() + 2;
    out.signedBytes.assign(data, line2);
    out.signedBytes.append(data + line3, size - line3);
    return DEF_OK;
}

DefStatus checkDefinitionWithKey(const char* data, size_t size, const unsigned char publicXY[64], Definition& out) {
    DefStatus status = parseDefinition(data, size, out);
    if (status != DEF_OK) return status;
    if (!verifyP256(out.signedBytes.data(), out.signedBytes.size(), out.signature, publicXY)) return DEF_BAD_SIGNATURE;
    return DEF_OK;
}

DefStatus checkDefinition(const char* data, size_t size, Definition& out) {
    return checkDefinitionWithKey(data, size, RELEASE_KEY, out);
}

bool parseDetachedSignature(const char* data, size_t size, unsigned char signature[SIGNATURE_SIZE]) {
    std::string line(data, size);
    if (line.size() >= 2 && line.compare(line.size() - 2, 2, "\r\n") == 0) line.resize(line.size() - 2);
    return parseSignatureLine(line, signature);
}

bool verifyDetached(const std::string& body, const std::string& signatureFile, const unsigned char publicXY[64]) {
    unsigned char signature[SIGNATURE_SIZE];
    return parseDetachedSignature(signatureFile.data(), signatureFile.size(), signature) &&
           verifyP256(body.data(), body.size(), signature, publicXY);
}
