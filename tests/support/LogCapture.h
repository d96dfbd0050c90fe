#pragma once

#include <QStringList>
#include <QtGlobal>

// Every line logged while it lives.
class LogCapture {
public:
    LogCapture() {
        lines_ = &captured_;
        previous_ = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&,
                                              const QString& line) { lines_->append(line); });
    }
    ~LogCapture() {
        qInstallMessageHandler(previous_);
        lines_ = nullptr;
    }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    QString Text() const { return captured_.join(QLatin1Char('\n')); }

private:
    static inline QStringList* lines_ = nullptr;
    QStringList captured_;
    QtMessageHandler previous_ = nullptr;
};
