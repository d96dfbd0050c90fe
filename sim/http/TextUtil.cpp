#include "sim/http/TextUtil.h"

#include <algorithm>
#include <cctype>
#include <random>

namespace text_util {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

bool EqualsIgnoreCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() && Lower(a) == Lower(b);
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

namespace {
int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}
}  // namespace

std::string PercentDecode(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out.push_back(' ');
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 &&
                   HexValue(text[i + 2]) >= 0) {
            out.push_back(static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2])));
            i += 2;
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> ParseForm(const std::string& body) {
    std::vector<std::pair<std::string, std::string>> fields;
    size_t start = 0;
    while (start <= body.size()) {
        size_t end = body.find('&', start);
        if (end == std::string::npos)
            end = body.size();
        const std::string pair = body.substr(start, end - start);
        if (!pair.empty()) {
            const auto eq = pair.find('=');
            fields.emplace_back(
                PercentDecode(pair.substr(0, eq)),
                eq == std::string::npos ? std::string() : PercentDecode(pair.substr(eq + 1)));
        }
        start = end + 1;
    }
    return fields;
}

int64_t ToInt(const std::string& text, int64_t def) {
    if (text.empty())
        return def;
    size_t used = 0;
    try {
        const int64_t value = std::stoll(text, &used);
        return used == text.size() ? value : def;
    } catch (const std::exception&) {
        return def;
    }
}

std::string HtmlEscape(const std::string& text) {
    std::string out;
    for (char c : text) {
        switch (c) {
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '&':
                out += "&amp;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out.push_back(c);
        }
    }
    return out;
}

std::string SafeSuffix(const std::string& file_name) {
    const auto dot = file_name.rfind('.');
    if (dot == std::string::npos)
        return std::string();
    const std::string suffix = file_name.substr(dot + 1);
    const bool plain = !suffix.empty() && suffix.size() <= 8 &&
                       std::all_of(suffix.begin(), suffix.end(),
                                   [](unsigned char c) { return std::isalnum(c) != 0; });
    return plain ? Lower(suffix) : std::string();
}

std::string RandomHex(int bytes) {
    static thread_local std::mt19937_64 engine{std::random_device{}()};
    static const char kDigits[] = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < bytes; ++i) {
        const auto value = static_cast<unsigned>(engine() & 0xff);
        out.push_back(kDigits[value >> 4]);
        out.push_back(kDigits[value & 0xf]);
    }
    return out;
}

}  // namespace text_util
