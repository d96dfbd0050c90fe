#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The text side of a search, matching as SQLite's lower() and LIKE do: ASCII letters without
// regard to case, every other character as it is.
class SearchText {
public:
    using Matches = QList<QPair<int, int>>;

    static constexpr int kMaxQueryLength = 100;
    static constexpr int kExcerptLength = 60;
    // Characters an excerpt keeps in front of the first match.
    static constexpr int kContextBefore = 12;

    // What is searched for: the typed text without surrounding blanks, cut to kMaxQueryLength.
    static QString Query(const QString& typed);
    // The longest piece of the query free of LIKE's wildcards ("%", "_"), which is what the
    // index can look up.
    static QString LongestLiteral(const QString& query);
    // Characters (not QString positions) of a text.
    static int CharacterCount(const QString& text);
    // A LIKE pattern that matches every text containing `piece` (free of wildcards).
    static QString ContainsPattern(const QString& piece);
    // A LIKE pattern that matches at least every text containing the query: the wildcards in
    // the query stand for any one character, so an exact test must follow.
    static QString LoosePattern(const QString& query);

    // Every place the query occurs in `text`, not overlapping, in order.
    static Matches Find(const QString& text, const QString& query);
    // A piece of `text` of at most kExcerptLength characters on one line, around the first
    // occurrence of the query, with "…" where it was cut; *matches gets the occurrences in it.
    static QString Excerpt(const QString& text, const QString& query, Matches* matches);

private:
    static QString FoldAscii(const QString& text);
    static QString OneLine(const QString& text);
};
