#pragma once

#include <string>

namespace base64 {

std::string Encode(const std::string& bytes);
// Skips characters outside the alphabet; a space counts as "+", which a form decoder makes
// of an unescaped plus sign.
std::string Decode(const std::string& text);

}  // namespace base64
