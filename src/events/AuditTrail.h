#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <functional>
#include <memory>

class AuditRecord;
class BackgroundFileSync;
class SharedFd;

// The audit trail: one file of JSON lines per local day, "<folder>/YYYYMMDD.jsonl", mode 0600
// in a folder of mode 0700. Each line is appended with one write, so a line is in the file
// (and survives the program being killed) as soon as Append returns; the sync to the disk
// follows on another thread. A line that could not be written whole is taken back, so the file
// holds whole lines only; a line cut by a crash during its write is ended before the next one.
class AuditTrail
{
public:
    using Clock = std::function<QDateTime()>;

    // clock: local time (tests set their own); empty: the system clock.
    explicit AuditTrail(QString folder, Clock clock = {});
    ~AuditTrail();
    AuditTrail(const AuditTrail&) = delete;
    AuditTrail& operator=(const AuditTrail&) = delete;

    // False when the line could not be written (logged).
    bool Append(const AuditRecord& record);

    QString folder() const { return m_folder; }
    QString FileOf(const QDate& day) const;
    // Waits until every appended line is on the disk (tests, benchmarks).
    void Sync();

private:
    bool OpenDay(const QDate& day);

    QString m_folder;
    Clock m_clock;
    QDate m_day;
    std::shared_ptr<SharedFd> m_file;
    std::unique_ptr<BackgroundFileSync> m_sync;
};
