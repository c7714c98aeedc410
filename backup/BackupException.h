// The exception that leaves TBackupFile's Backup, Restore and Verify ("Cannot read archive",
// "Invalid archive type", a stream's own read error), and that the archive readers throw for
// an archive that ends early or holds what no archive holds.
#pragma once

#include <QString>

#include <stdexcept>

class BackupException : public std::runtime_error {
public:
    explicit BackupException(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message)
    {
    }
    const QString& message() const { return message_; }

private:
    QString message_;
};
