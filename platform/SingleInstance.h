#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QLocalServer;
class QLockFile;

// One copy of the program per desktop user: two copies polling into one msg.db would spoil its
// bookkeeping. A later start asks the running copy to come forward and ends.
class SingleInstance : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString& name = DefaultName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // True for the only copy, which then listens for later starts. False when another copy
    // holds the claim; that copy has been asked to come forward.
    bool Claim();

    // Differs between desktop users, the same for every start of one user.
    static QString DefaultName();

signals:
    void activate_requested();

private:
    void OnConnection();
    void NotifyRunningCopy() const;

    QString name_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};
