#include "EnvelopeFile.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QSaveFile>
#include <QStringList>
#include <cstring>

namespace {

constexpr int kChunk = 64 * 1024;

// Walks JSON text just far enough to find where one string member lies.
class Scanner {
public:
    Scanner(const char* begin, const char* end) : begin_(begin), p_(begin), end_(end) {}

    // Offsets of the text of the string at `path` (between its quotes); false when absent.
    bool FindString(const QStringList& path, int* start, int* stop) {
        for (int i = 0; i < path.size(); ++i) {
            if (!EnterMember(path.at(i)))
                return false;
        }
        const char* text = nullptr;
        const char* text_end = nullptr;
        if (!String(&text, &text_end))
            return false;
        *start = static_cast<int>(text - begin_);
        *stop = static_cast<int>(text_end - begin_);
        return true;
    }

private:
    void Space() {
        while (p_ < end_ && (*p_ == ' ' || *p_ == '\t' || *p_ == '\r' || *p_ == '\n'))
            ++p_;
    }
    bool Take(char c) {
        Space();
        if (p_ >= end_ || *p_ != c)
            return false;
        ++p_;
        return true;
    }

    // At an object: moves to the value of its member `name`.
    bool EnterMember(const QString& name) {
        if (!Take('{'))
            return false;
        while (true) {
            Space();
            const char* key = nullptr;
            const char* key_end = nullptr;
            if (!String(&key, &key_end) || !Take(':'))
                return false;
            Space();
            if (Decode(key, key_end) == name)
                return true;
            if (!SkipValue())
                return false;
            if (!Take(','))
                return false;
        }
    }

    static QString Decode(const char* text, const char* end) {
        const QByteArray quoted =
            '[' + QByteArray(text - 1, static_cast<int>(end - text) + 2) + ']';
        return QJsonDocument::fromJson(quoted).array().at(0).toString();
    }

    // At a string: its text without the quotes; escapes and control characters are checked.
    bool String(const char** text, const char** text_end) {
        if (p_ >= end_ || *p_ != '"')
            return false;
        *text = ++p_;
        while (p_ < end_ && *p_ != '"') {
            if (static_cast<unsigned char>(*p_) < 0x20)
                return false;
            if (*p_ == '\\' && ++p_ >= end_)
                return false;
            ++p_;
        }
        if (p_ >= end_)
            return false;
        *text_end = p_++;
        return true;
    }

    bool SkipValue() {
        Space();
        if (p_ >= end_)
            return false;
        const char* text = nullptr;
        const char* text_end = nullptr;
        if (*p_ == '"')
            return String(&text, &text_end);
        if (*p_ != '{' && *p_ != '[') {
            const char* first = p_;
            while (p_ < end_ && !std::strchr(",}] \t\r\n", *p_))
                ++p_;
            return p_ > first;
        }
        int depth = 0;
        do {
            if (*p_ == '"') {
                if (!String(&text, &text_end))
                    return false;
                continue;
            }
            if (*p_ == '{' || *p_ == '[')
                ++depth;
            else if (*p_ == '}' || *p_ == ']')
                --depth;
            ++p_;
        } while (depth > 0 && p_ < end_);
        return depth == 0;
    }

    const char* begin_;
    const char* p_;
    const char* end_;
};

// Base64 decoding in pieces, straight into a device. Line breaks are allowed; the padding may
// be left out.
class Base64Writer {
public:
    explicit Base64Writer(QIODevice* out) : out_(out) { buffer_.reserve(kChunk + 3); }

    bool Put(char c) {
        const int value = Value(c);
        if (value >= 0) {
            if (pads_ > 0)
                return false;
            bits_ = bits_ << 6 | static_cast<quint32>(value);
            if (++group_ == 4) {
                Emit(3);
                group_ = 0;
                bits_ = 0;
                if (buffer_.size() >= kChunk)
                    return Flush();
            }
            return true;
        }
        if (c == '=')
            return group_ >= 2 && group_ + ++pads_ <= 4;
        return c == ' ' || c == '\r' || c == '\n' || c == '\t';
    }

    bool Finish() {
        if (group_ == 1 || (pads_ > 0 && group_ + pads_ != 4))
            return false;
        if (group_ > 1) {
            bits_ <<= 6 * (4 - group_);
            Emit(group_ - 1);
        }
        return Flush();
    }

private:
    static int Value(char c) {
        if (c >= 'A' && c <= 'Z')
            return c - 'A';
        if (c >= 'a' && c <= 'z')
            return c - 'a' + 26;
        if (c >= '0' && c <= '9')
            return c - '0' + 52;
        if (c == '+')
            return 62;
        if (c == '/')
            return 63;
        return -1;
    }

    // The first `bytes` of the 24 bits gathered.
    void Emit(int bytes) {
        for (int i = 0; i < bytes; ++i)
            buffer_.append(static_cast<char>(bits_ >> (16 - 8 * i)));
    }

    bool Flush() {
        const bool ok = out_->write(buffer_) == buffer_.size();
        buffer_.clear();
        return ok;
    }

    QIODevice* out_;
    QByteArray buffer_;
    quint32 bits_ = 0;
    int group_ = 0;
    int pads_ = 0;
};

// JSON string text to the characters it stands for; only what Base64 text may hold is needed,
// anything else is handed on as a character Base64 refuses.
bool Unescape(const char* text, const char* end, Base64Writer* writer) {
    for (const char* p = text; p < end; ++p) {
        char c = *p;
        if (c == '\\') {
            c = *++p;
            if (c == 'u') {
                if (end - p < 5)
                    return false;
                bool ok = false;
                const int code = QByteArray(p + 1, 4).toInt(&ok, 16);
                p += 4;
                c = ok && code < 0x80 ? static_cast<char>(code) : '\x01';
            } else if (c == 'n' || c == 'r' || c == 't') {
                c = '\n';
            } else if (c != '/' && c != '\\' && c != '"') {
                c = '\x01';
            }
        }
        if (!writer->Put(c))
            return false;
    }
    return writer->Finish();
}

}  // namespace

EnvelopeFile::EnvelopeFile(const QByteArray& reply, const QString& member_path)
    : reply_(reply), envelope_(Locate(reply, member_path, &start_, &stop_)) {}

QByteArray EnvelopeFile::Locate(const QByteArray& reply, const QString& member_path, int* start,
                                int* stop) {
    Scanner scanner(reply.constData(), reply.constData() + reply.size());
    if (!scanner.FindString(member_path.split(QLatin1Char('.')), start, stop)) {
        *start = *stop = -1;
        return reply;
    }
    return reply.left(*start) + reply.mid(*stop);
}

bool EnvelopeFile::DecodeInto(QIODevice* out) const {
    if (!HasFile())
        return false;
    Base64Writer writer(out);
    return Unescape(reply_.constData() + start_, reply_.constData() + stop_, &writer);
}

bool EnvelopeFile::WriteTo(const QString& path) const {
    QDir().mkpath(QFileInfo(path).absolutePath());
    // A broken transfer must not leave a file that later counts as downloaded.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    if (!DecodeInto(&file)) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}
