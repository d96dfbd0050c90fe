#include "PasswordTables.h"

namespace password_tables {
namespace {

// Development tables: four permutations of the same 92 printable ASCII characters. A build that
// logs in to the real platform replaces them with the operator's tables.
const char kT1[] =
    "jWY2l/8fug>y6X?,1%M}q:tH;`F9{Z[kn(=r'Ex_Q&La~p4.eRmVBdG-0zP#@!COw3|+7i<TscU5Kb^)I]$ASNhJvD*o";
const char kT2[] =
    "cHPk-O*<,t.'KJ+A(~dfwzm/&{RUY2%Wjg8FILT`E57_6No}u>BG|C^;[v$!pDnl)13eqiXx]=#:hQyb90aMrS@V4?sZ";
const char kT3[] =
    "o<z9rjP?=tyV,Q';!H>-LT{NeA3cfEsR+IW$vn4u&/B0p(~_gUS[q}hZiY86`MXD*5FCOk|w7#%^@dG1l]a:bJm.2)xK";
const char kT4[] =
    "Qj_lgzY#DaW{}vEqZ)-Um!SI4,R]CNr'(yd&?hM8[$3Xb|ot5:~nPL@1^%.Jw;i7O0kx=GH6BAT+u2/<e`cfVpKF9s*>";

struct Pair {
    const char* from;
    const char* to;
};

Pair PairTables(int pair) {
    switch (pair) {
        case 1:
            return {kT1, kT2};
        case 2:
            return {kT1, kT3};
        case 3:
            return {kT1, kT4};
        case 4:
            return {kT2, kT3};
        case 5:
            return {kT2, kT4};
        case 6:
            return {kT3, kT4};
        default:
            return {"", ""};
    }
}

// Every occurrence in the from-table contributes one output character; bytes missing from the
// table contribute nothing.
std::string Map(const std::string& bytes, const char* from, const char* to) {
    std::string out;
    const std::string from_table(from);
    for (char c : bytes) {
        for (size_t j = 0; j < from_table.size(); ++j) {
            if (from_table[j] == c)
                out.push_back(to[j]);
        }
    }
    return out;
}

}  // namespace

std::string Substitute(const std::string& bytes, int pair) {
    const Pair p = PairTables(pair);
    return Map(bytes, p.from, p.to);
}

std::string Restore(const std::string& encoded, int pair) {
    const Pair p = PairTables(pair);
    return Map(encoded, p.to, p.from);
}

std::string Decode(const std::string& encoded) {
    if (encoded.empty())
        return std::string();
    const char digit = encoded.back();
    if (digit < '1' || digit > '6')
        return std::string();
    return Restore(encoded.substr(0, encoded.size() - 1), digit - '0');
}

}  // namespace password_tables
