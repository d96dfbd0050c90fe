#include "SearchText.h"

#include <algorithm>

namespace {

const QChar kEllipsis(0x2026);

bool IsLikeWildcard(QChar c) {
    return c == QLatin1Char('%') || c == QLatin1Char('_');
}

// Moves a cut off the second half of a surrogate pair.
int CharStart(const QString& text, int pos) {
    if (pos > 0 && pos < text.size() && text.at(pos).isLowSurrogate())
        return pos - 1;
    return pos;
}

}  // namespace

QString SearchText::Query(const QString& typed) {
    const QString query = typed.trimmed();
    if (query.size() <= kMaxQueryLength)
        return query;
    return query.left(CharStart(query, kMaxQueryLength));
}

QString SearchText::LongestLiteral(const QString& query) {
    QString longest;
    int longest_count = 0;
    int start = 0;
    for (int i = 0; i <= query.size(); ++i) {
        if (i < query.size() && !IsLikeWildcard(query.at(i)))
            continue;
        const QString piece = query.mid(start, i - start);
        const int count = CharacterCount(piece);
        if (count > longest_count) {
            longest = piece;
            longest_count = count;
        }
        start = i + 1;
    }
    return longest;
}

int SearchText::CharacterCount(const QString& text) {
    return text.toUcs4().size();
}

QString SearchText::ContainsPattern(const QString& piece) {
    return QLatin1Char('%') + piece + QLatin1Char('%');
}

QString SearchText::LoosePattern(const QString& query) {
    QString pattern = query;
    for (QChar& c : pattern) {
        if (IsLikeWildcard(c))
            c = QLatin1Char('_');
    }
    return ContainsPattern(pattern);
}

QString SearchText::FoldAscii(const QString& text) {
    QString folded = text;
    for (QChar& c : folded) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return folded;
}

QString SearchText::OneLine(const QString& text) {
    QString line = text;
    for (QChar& c : line) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r') || c == QLatin1Char('\t'))
            c = QLatin1Char(' ');
    }
    return line;
}

SearchText::Matches SearchText::Find(const QString& text, const QString& query) {
    Matches matches;
    if (query.isEmpty())
        return matches;
    const QString folded_text = FoldAscii(text);
    const QString folded_query = FoldAscii(query);
    int from = 0;
    while ((from = folded_text.indexOf(folded_query, from)) >= 0) {
        matches.append({from, query.size()});
        from += query.size();
    }
    return matches;
}

QString SearchText::Excerpt(const QString& text, const QString& query, Matches* matches) {
    const QString line = OneLine(text);
    const Matches all = Find(line, query);
    if (line.size() <= kExcerptLength) {
        *matches = all;
        return line;
    }
    const int first = all.isEmpty() ? 0 : all.first().first;
    int start = std::max(0, first - kContextBefore);
    // Near the end the excerpt shows more of what came before instead.
    start = CharStart(line, std::min(start, line.size() - kExcerptLength));
    const int end = CharStart(line, std::min(line.size(), start + kExcerptLength));
    const bool cut_front = start > 0;
    const bool cut_back = end < line.size();
    QString excerpt = line.mid(start, end - start);
    const int shift = cut_front ? 1 - start : -start;
    matches->clear();
    for (const auto& match : all) {
        const int from = std::max(match.first, start);
        const int to = std::min(match.first + match.second, end);
        if (from < to)
            matches->append({from + shift, to - from});
    }
    if (cut_front)
        excerpt.prepend(kEllipsis);
    if (cut_back)
        excerpt.append(kEllipsis);
    return excerpt;
}
