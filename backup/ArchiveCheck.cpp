#include "backup/ArchiveCheck.h"

#include "backup/ArchiveBytes.h"
#include "backup/ArchiveReader.h"
#include "backup/backup.h"

#include <QFile>
#include <QHash>

#include <memory>

namespace {

// Hands a segment's decoded blocks to DecodeSegment's function.
class FunctionSink final : public ArchiveSink {
public:
    explicit FunctionSink(const TBackupFile::SegmentSink& out) : out_(out) {}
    bool write(const char* data, qint64 n) override
    {
        out_(data, n);
        return true;
    }

private:
    const TBackupFile::SegmentSink& out_;
};

}  // namespace

// The engine's own segment reader, strict about zlib streams, without a file to restore.
bool TBackupFile::DecodeSegment(QIODevice* in, const SegmentSink& out)
{
    error_ = 0;
    continue_ = true;
    ArchiveReader reader(*this, in);
    reader.setStrict(true);
    if (!out) {
        reader.segment(nullptr, false);
    } else {
        FunctionSink sink(out);
        reader.segment(&sink, false);
    }
    return error_ == 0;
}

namespace backupcheck {

namespace {

using backupfmt::kChunk;
const QByteArray kFileList = "FILE:LIST";
const QByteArray kNextDisk = "NEXT:DISK";

// A problem found in the archive; carries the text shown to the operator.
struct Damaged {
    QString text;
};

// One walk over the archive, decoding (verify) or passing over (names) the data.
class Walk {
public:
    Walk(const QString& archive, bool decode) : archive_(archive), decode_(decode) {}

    Report run()
    {
        Report r;
        try {
            openVolume(archive_);
            const qint32 titleLength = backupfmt::takeInt(file_.get());
            if (titleLength < 0 || titleLength > backupfmt::kMaxTitle)
                throw Damaged{"cabeçalho inválido"};
            r.title = backupfmt::decodeText(backupfmt::take(file_.get(), titleLength));
            totalSize_ = backupfmt::takeInt(file_.get());
            fileCount_ = backupfmt::takeInt(file_.get());
            if (totalSize_ < 0 || fileCount_ < 0) throw Damaged{"cabeçalho inválido"};
            entries(r);
            checkSizes(r);
            r.ok = true;
        } catch (const Damaged& d) {
            r.problem = file_ ? file_->fileName() + ": " + d.text : d.text;
        } catch (const BackupException& e) {
            r.problem = file_->fileName() + ": " + damage(e.message());
        }
        r.volumes = volume_;
        r.bytes = bytes_;
        return r;
    }

private:
    void openVolume(const QString& name)
    {
        auto f = std::make_unique<QFile>(name);
        if (!f->open(QIODevice::ReadOnly)) {
            if (file_) throw Damaged{"o volume " + name + " não pode ser lido"};
            file_ = std::move(f);
            throw Damaged{"o arquivo não pode ser lido"};
        }
        file_ = std::move(f);
    }

    static QString damage(const QString& engineMessage)
    {
        return engineMessage == "Invalid archive type" ? "segmento de dados inválido"
                                                       : "o arquivo termina antes do fim do backup";
    }

    void entries(Report& r)
    {
        for (;;) {
            const qint32 nameLength = backupfmt::takeInt(file_.get());
            if (nameLength == 0) break;
            if (nameLength < 0 || nameLength > backupfmt::kMaxName) throw Damaged{"nome de arquivo inválido"};
            const QByteArray name = backupfmt::take(file_.get(), nameLength);
            if (name.startsWith(kNextDisk)) {
                nextVolume(name, r);
                continue;
            }
            backupfmt::takeInt(file_.get());  // the entry's date
            const bool isList = name == kFileList;
            if (isList && (sawEntry_ || hasList_)) throw Damaged{"lista de arquivos fora do lugar"};
            hasList_ = hasList_ || isList;
            sawEntry_ = true;
            current_ = isList ? -1 : int(r.entries.size());
            if (!isList) r.entries.append({backupfmt::decodeText(name), 0});
            names_.append(isList ? QByteArray() : name);
            shortBlock_ = false;
            segment(r);
        }
        if (decode_ && !file_->atEnd()) throw Damaged{"há dados depois do fim do backup"};
    }

    void nextVolume(const QByteArray& name, Report& r)
    {
        const QByteArray digits = name.mid(9, 3);
        bool number = false;
        const int n = digits.toInt(&number);
        if (!number || name.size() != 12 || n != (volume_ + 1) % 1000 || !sawEntry_)
            throw Damaged{"registro de continuação inválido"};
        if (decode_ && !file_->atEnd()) throw Damaged{"há dados depois do registro de continuação"};
        ++volume_;
        openVolume(TBackupFile::volumeName(archive_, n));
        segment(r);
    }

    // The data segment at the read position, continuing the current entry.
    void segment(Report& r)
    {
        const bool ec2 = file_->peek(4) == QByteArray("EC2\0", 4);
        const QString where = current_ < 0 ? QString("na lista de arquivos")
                                           : "no arquivo " + r.entries[current_].name;
        // The sink only notes what it finds: nothing is thrown through the engine's reader.
        QString problem;
        TBackupFile::SegmentSink sink;
        if (decode_) {
            sink = [&](const char* data, qint64 n) {
                if (ec2 && shortBlock_ && problem.isEmpty()) problem = "bloco incompleto " + where;
                shortBlock_ = n < kChunk;
                bytes_ += n;
                if (current_ >= 0) r.entries[current_].size += n;
                else if (list_.size() + n <= backupfmt::kMaxFileList) list_.append(data, n);
            };
        }
        TBackupFile engine;
        if (!engine.DecodeSegment(file_.get(), sink)) throw Damaged{"bloco danificado " + where};
        if (!problem.isEmpty()) throw Damaged{problem};
    }

    void checkSizes(const Report& r)
    {
        if (!decode_) return;
        if (hasList_) {
            QHash<QByteArray, qint64> listed;
            for (const QByteArray& line : list_.split('\n')) {
                const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
                const int tab = l.lastIndexOf('\t');
                const int eq = l.lastIndexOf('=');
                if (tab > 0 && eq > tab) listed.insert(l.left(tab), l.mid(eq + 1).toLongLong());
            }
            for (int i = 0; i < r.entries.size(); ++i) {
                const QByteArray& name = names_[i + 1];
                if (!listed.contains(name))
                    throw Damaged{r.entries[i].name + " não está na lista de arquivos"};
                if (listed.value(name) != r.entries[i].size)
                    throw Damaged{"o tamanho de " + r.entries[i].name + " não confere"};
            }
        }
        // Files that vanished before their turn have no entry; then the total cannot agree.
        if (r.entries.size() == fileCount_ && bytes_ < 0x7FFFFFFF && bytes_ != totalSize_)
            throw Damaged{"o total de bytes não confere com o cabeçalho"};
        if (r.entries.size() > fileCount_) throw Damaged{"mais arquivos que o cabeçalho indica"};
    }

    QString archive_;
    bool decode_;
    std::unique_ptr<QFile> file_;
    int volume_ = 1;
    qint32 totalSize_ = 0;
    qint32 fileCount_ = 0;
    qint64 bytes_ = 0;
    int current_ = -1;
    bool sawEntry_ = false;
    bool hasList_ = false;
    bool shortBlock_ = false;
    QByteArray list_;
    QList<QByteArray> names_;  // stored names in archive order, the list entry's empty
};

}  // namespace

Report verify(const QString& archive) { return Walk(archive, true).run(); }

QStringList entryNames(const QString& archive)
{
    QStringList names;
    for (const Entry& e : Walk(archive, false).run().entries) names << e.name;
    return names;
}

}  // namespace backupcheck
