#include "ReplyDate.h"

const QString ReplyDate::kMessageFormat = QStringLiteral("yyyy/M/d H:mm:ss");
const QString ReplyDate::kLogFormat = QStringLiteral("yyyy-MM-dd HH:mm");

namespace {

// A number of min to max ASCII digits followed by `after` (0: the end of the text).
struct Field {
    int min_digits;
    int max_digits;
    char after;
};

constexpr Field kMessageFields[] = {{4, 4, '/'}, {1, 2, '/'}, {1, 2, ' '},
                                    {1, 2, ':'}, {2, 2, ':'}, {2, 2, 0}};
constexpr Field kLogFields[] = {{4, 4, '-'}, {2, 2, '-'}, {2, 2, ' '}, {2, 2, ':'}, {2, 2, 0}};

template <int N>
bool ReadFields(const QString& text, const Field (&fields)[N], int* values) {
    int pos = 0;
    for (int i = 0; i < N; ++i) {
        int digits = 0;
        int value = 0;
        while (pos < text.size() && digits < fields[i].max_digits) {
            const ushort c = text.at(pos).unicode();
            if (c < '0' || c > '9')
                break;
            value = value * 10 + (c - '0');
            ++digits;
            ++pos;
        }
        if (digits < fields[i].min_digits)
            return false;
        values[i] = value;
        if (fields[i].after == 0)
            return pos == text.size();
        if (pos >= text.size() || text.at(pos) != QLatin1Char(fields[i].after))
            return false;
        ++pos;
    }
    return false;
}

QDateTime Made(const int* v, int seconds) {
    const QDate date(v[0], v[1], v[2]);
    const QTime time(v[3], v[4], seconds);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    const QDateTime made(date, time);
    // A local time the clock skips is Qt's to judge.
    return made.isValid() && made.time() == time ? made : QDateTime();
}

}  // namespace

QDateTime ReplyDate::Message(const QString& text) {
    int values[6];
    if (ReadFields(text, kMessageFields, values)) {
        const QDateTime made = Made(values, values[5]);
        if (made.isValid())
            return made;
    }
    return QDateTime::fromString(text, kMessageFormat);
}

QDateTime ReplyDate::Log(const QString& text) {
    int values[5];
    if (ReadFields(text, kLogFields, values)) {
        const QDateTime made = Made(values, 0);
        if (made.isValid())
            return made;
    }
    return QDateTime::fromString(text, kLogFormat);
}
