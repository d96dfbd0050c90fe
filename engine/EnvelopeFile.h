#pragma once

#include <QByteArray>
#include <QString>

#include "base/Json.h"

class QIODevice;

// A file that a reply envelope carries as Base64 text ("Velta.Base64Data"). The text is found
// and decoded in the reply bytes themselves, so a large file is not held as a document, a
// string and a byte array besides the reply.
class EnvelopeFile {
public:
    // `reply` must outlive this object.
    explicit EnvelopeFile(const QByteArray& reply,
                          const QString& member_path = QStringLiteral("Velta.Base64Data"));

    // The reply with the member's text left empty: "Velta.EID", "Velta.ErrorMessage"...
    const Json& Envelope() const { return envelope_; }
    bool HasFile() const { return start_ >= 0; }
    // Decodes the file into `path`, written whole or not at all; false when the text is not
    // Base64 or the file cannot be written.
    bool WriteTo(const QString& path) const;
    // The same into any device; false on text that is not Base64 (the device then holds a part).
    bool DecodeInto(QIODevice* out) const;

private:
    // Finds the member's text; the reply without it, for parsing.
    static QByteArray Locate(const QByteArray& reply, const QString& member_path, int* start,
                             int* stop);

    const QByteArray& reply_;
    int start_ = -1;
    int stop_ = -1;
    Json envelope_;
};
