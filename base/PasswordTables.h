#pragma once

#include <string>

// The login password substitution, shared by the client and by platform-sim. Plain C++ so that
// the simulator can use it without Qt.
namespace password_tables {

// Substitutes every byte through table pair 1..6 (from-table -> to-table); any other pair
// gives an empty text.
std::string Substitute(const std::string& bytes, int pair);

// The reverse mapping (to-table -> from-table) of the same pair.
std::string Restore(const std::string& encoded, int pair);

// Undoes a complete encoded password: the substituted text followed by its pair digit.
std::string Decode(const std::string& encoded);

}  // namespace password_tables
