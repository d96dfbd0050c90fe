#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <cstddef>
#include <cstdint>

// What the fuzz targets share: the Qt application they need, made once, and a silenced log
// (writing it would cost more than the code under test).
namespace fuzz {

void InitCore(int* argc, char*** argv);
// A folder of its own for files a target writes, in memory where the system offers it (a
// database on disk would spend the run waiting for it).
QString ScratchFolder();

QByteArray Bytes(const uint8_t* data, size_t size);
// Several inputs in one: the parts between NUL bytes, empty parts dropped.
QList<QByteArray> Parts(const QByteArray& input);

// Stops the run with a message: the fuzzer keeps the input that got here.
[[noreturn]] void Fail(const char* what);
inline void Expect(bool condition, const char* what) {
    if (!condition)
        Fail(what);
}

}  // namespace fuzz
