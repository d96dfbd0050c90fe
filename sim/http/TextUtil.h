#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Small text helpers shared by the services.
namespace text_util {

std::string Lower(std::string text);
bool EqualsIgnoreCase(const std::string& a, const std::string& b);
bool StartsWith(const std::string& text, const std::string& prefix);
// Percent-decoding of one form or query component; "+" is a space.
std::string PercentDecode(const std::string& text);
// Splits "a=1&b=2" into decoded name/value pairs.
std::vector<std::pair<std::string, std::string>> ParseForm(const std::string& body);
// A whole decimal number, or `def`.
int64_t ToInt(const std::string& text, int64_t def = 0);
std::string HtmlEscape(const std::string& text);
// The file name's suffix when it is short and plain ASCII ("png"), else empty.
std::string SafeSuffix(const std::string& file_name);
std::string RandomHex(int bytes);

}  // namespace text_util
