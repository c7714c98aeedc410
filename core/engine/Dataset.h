// A dataset: rows read one at a time through a current row, as the table engine gives them to
// the program. Table and Query derive from it; data-aware controls listen to its signals.
#pragma once

#include "core/engine/Field.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

#include <functional>

namespace db {

enum class DatasetState { Inactive, Browse, Edit, Insert };

// Options of a locate: exact or by prefix ("partial key"); always case-sensitive.
enum class LocateMode { Exact, Partial };

// An opaque place in a dataset, taken while it is open.
struct Bookmark {
    qint64 id = -1;
    quint64 epoch = 0;
    bool isNull() const { return id < 0; }
};

class Dataset : public QObject {
    Q_OBJECT
public:
    explicit Dataset(QObject* parent = nullptr);
    ~Dataset() override;

    // Where the dataset's data lives: an alias ("Tolmare", "Imp") or a Database's name.
    void setDatabaseName(const QString& name) { databaseName_ = name; }
    QString databaseName() const { return databaseName_; }

    void open();
    void close();
    // Closes every open dataset of the program (before its table files are replaced).
    static void closeAll();
    bool active() const { return state_ != DatasetState::Inactive; }
    DatasetState state() const { return state_; }

    // Navigation. first() sets bof(), last() sets eof(); next() past the last row sets eof()
    // and stays on the last row, prior() before the first sets bof().
    void first();
    void last();
    void next();
    void prior();
    bool bof() const { return bof_; }
    bool eof() const { return eof_; }
    bool isEmpty() const { return !hasCurrent_ && state_ != DatasetState::Insert; }
    // Rows the current range, filter and link let through.
    virtual int recordCount() = 0;
    // Position of the current row counted from 1 (0 when empty), and moving to a position.
    virtual int recNo() = 0;
    virtual void setRecNo(int n) = 0;

    // Fields. fieldByName throws EngineError("Field 'X' not found") for an unknown name.
    Field fieldByName(const QString& name);
    Field field(int index) { return Field(this, index); }
    Field* findField(const QString& name);  // nullptr when unknown; owned by the dataset
    int fieldIndex(const QString& name) const;
    int fieldCount() const { return int(fields_.size()); }
    const FieldDef& fieldDef(int index) const { return fields_[index]; }
    QStringList fieldNames() const;

    // Locate: the first row in the current order whose fields (one or more, ";"-separated)
    // equal the values, or begin with them (Partial). Case-sensitive. Moves there and answers
    // true, or answers false and stays.
    virtual bool locate(const QString& fields, const QVariantList& values,
                        LocateMode mode = LocateMode::Exact) = 0;
    // The value of `resultField` in the first row whose `keyFields` equal `keyValues`, without
    // moving; invalid when there is none.
    virtual QVariant lookup(const QString& keyFields, const QVariantList& keyValues,
                            const QString& resultField) = 0;

    // The values of every field (lookups included) of `count` rows from position `first`
    // (counted from 0) in the current order, without moving: what a grid shows. Fewer rows
    // only past the end: a read that fails throws EngineError.
    virtual QVector<QVector<QVariant>> rowsAt(int first, int count) = 0;

    Bookmark bookmark() const;
    virtual bool bookmarkValid(const Bookmark& b) = 0;
    virtual void gotoBookmark(const Bookmark& b) = 0;

    // Editing. Throws EngineError for a read-only dataset. post() writes the row being edited
    // or inserted whether or not it was changed. Every move (first, next, prior, last, a key
    // search, locate, a change of order, range or filter, insert) finishes a pending edit or
    // insert first: posted when modified(), dropped otherwise, so a new row nobody typed into
    // is never written.
    virtual void insert();
    void append() { insert(); }
    virtual void edit();
    virtual void post();
    virtual void cancel();
    virtual void deleteRecord();
    // Whether a field was set since the last insert or edit began. The values the new-row
    // handler (onNewRecord) gives do not count.
    bool modified() const { return modified_; }
    // A control holds text for `field` that is no value of it (`message` says what to correct):
    // post() refuses the row with that message until the field is set again or the row is
    // cancelled. The text counts as a change, so a move does not drop it silently.
    void setInputError(const QString& field, const QString& message);

    // Suspends and resumes the signals to data-aware controls; resuming signals a full refresh.
    void disableControls();
    void enableControls();
    bool controlsDisabled() const { return disabled_ > 0; }

    // Handlers the data modules set (the engine's events).
    std::function<void(Dataset&)> onNewRecord;
    std::function<void(Dataset&)> beforePost;
    std::function<void(Dataset&)> afterPost;
    std::function<void(Dataset&)> afterDelete;
    std::function<void(Dataset&)> afterScroll;

    // Field plumbing, used by Field.
    QVariant rawValue(int fieldIndex);
    void setRawValue(int fieldIndex, const QVariant& v);

Q_SIGNALS:
    void activeChanged(bool active);
    void stateChanged(db::DatasetState state);
    void currentChanged();           // another row became current (or none)
    void fieldChanged(const QString& name);
    void dataChanged();              // rows were added, removed or changed: refresh everything
    // A pending edit or insert is about to be posted or finished by a move: data-aware controls
    // write the text they hold into their fields now, so that it counts as a change.
    void updateRecord();

protected:
    // Implementations: fill fields_ and position on the first row.
    virtual void doOpen() = 0;
    virtual void doClose() = 0;
    virtual void doFirst() = 0;
    virtual void doLast() = 0;
    virtual bool doNext() = 0;   // false at the end, current row kept
    virtual bool doPrior() = 0;
    virtual void doInsert() { readOnlyError(); }
    // Columns of a row buffer (data columns of the underlying table or result).
    virtual int rowWidth() const = 0;
    virtual void doPost() { readOnlyError(); }
    virtual void doCancelInsert() {}
    virtual void doDelete() { readOnlyError(); }
    [[noreturn]] void readOnlyError() const;

    void setState(DatasetState s);
    void setCurrent(const QVector<QVariant>& row, qint64 id);
    void clearCurrent();
    void notifyScrolled();
    void notifyData();
    void checkActive() const;
    void checkBrowse();  // finishes a pending edit or insert: posted when modified, else dropped
    void validateForPost();
    // The value of a field in a row buffer (data columns); lookups are resolved.
    QVariant valueIn(const FieldDef& f, const QVector<QVariant>& row);

    QString databaseName_;
    QVector<FieldDef> fields_;
    QVector<QVariant> row_;       // current row (data columns)
    QVector<QVariant> edit_;      // the row being edited or inserted
    qint64 currentId_ = -1;
    bool hasCurrent_ = false;
    bool bof_ = true;
    bool eof_ = true;
    quint64 epoch_ = 0;           // changes at every open: bookmarks of an older opening are void
    DatasetState state_ = DatasetState::Inactive;
    int disabled_ = 0;
    bool modified_ = false;
    QVector<Field*> fieldObjects_;

private:
    // Lookup values of the current row, computed once per row.
    QHash<int, QVariant> lookupCache_;
    QHash<QString, QString> inputErrors_;  // field name in lower case -> message
};

}  // namespace db
