// A query: a local SQL statement built line by line, then opened and read like a table (read
// only). The statement may only change while the query is closed. Its result is taken whole
// when it opens; each field keeps the origin of its column (ALIAS."FILE.DB".FIELD).
#pragma once

#include "core/engine/Dataset.h"

namespace db {

class Query : public Dataset {
    Q_OBJECT
public:
    explicit Query(QObject* parent = nullptr);

    // Statement lines, joined by line breaks. Throw EngineError while the query is open.
    void clearSql();
    void addSql(const QString& line);
    void setSql(const QStringList& lines);
    const QStringList& sql() const { return sql_; }

    int recordCount() override { return int(rows_.size()); }
    int recNo() override { return hasCurrent_ ? int(pos_) + 1 : 0; }
    void setRecNo(int n) override;
    bool locate(const QString& fields, const QVariantList& values,
                LocateMode mode = LocateMode::Exact) override;
    QVariant lookup(const QString& keyFields, const QVariantList& keyValues,
                    const QString& resultField) override;
    QVector<QVector<QVariant>> rowsAt(int first, int count) override;
    bool bookmarkValid(const Bookmark& b) override;
    void gotoBookmark(const Bookmark& b) override;

    // Runs a statement that returns no rows (tests and maintenance).
    static void execute(const QString& databaseName, const QString& sql);

protected:
    void doOpen() override;
    void doClose() override;
    void doFirst() override;
    void doLast() override;
    bool doNext() override;
    bool doPrior() override;

private:
    int rowWidth() const override;
    void moveTo(qsizetype i);
    QStringList sql_;
    QVector<QVector<QVariant>> rows_;
    qsizetype pos_ = 0;
};

}  // namespace db
