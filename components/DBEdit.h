// A data-aware edit: shows one field of a dataset's current row and writes what the operator
// types into it. Typing into a browsed row starts editing it (or a new row when the dataset is
// empty). The field's width and its edit mask with the literals kept limit what can be typed;
// a masked value with a required position empty is refused when the edit is left. A number
// field keeps every character typed: text that is no number (db::readNumber) is not written and
// the row is not posted while it stands. Pasted text that does not fit is refused whole, with a
// message saying what to correct.
#pragma once

#include "core/engine/EditMask.h"
#include "core/engine/DataSource.h"

#include <QLineEdit>
#include <QPointer>

namespace components {

class DBEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit DBEdit(QWidget* parent = nullptr);

    void setDataSource(db::DataSource* source);
    void setDataField(const QString& field);
    QString dataField() const { return field_; }
    db::Dataset* dataset() const { return source_ ? source_->dataset() : nullptr; }

    // What the edit would store now: the text with the mask's literals, right-trimmed; empty
    // when nothing but literals was typed.
    QString fieldText() const;
    // Whether the typed text fills the mask's required positions (always true without a mask).
    bool isComplete() const;

    // The message shown when the edit is left with a required mask position empty.
    static QString invalidInputMessage();

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;

private:
    void bind();
    void refresh();
    void onTextEdited();
    bool checkPaste();
    const db::FieldDef* fieldDef() const;

    QPointer<db::DataSource> source_;
    QString field_;
    QList<QMetaObject::Connection> links_;
    db::EditMask mask_;
    bool writing_ = false;
    bool modified_ = false;  // typed since the row was shown
};

}  // namespace components
