// The record navigator: nine buttons that move through a dataset and edit it, with the
// system's hints, a delete confirmation, and buttons that a window may hide.
#pragma once

#include "core/engine/DataSource.h"

#include <QHash>
#include <QPointer>
#include <QWidget>

#include <functional>

class QToolButton;

namespace components {

class DBNavigator : public QWidget {
    Q_OBJECT
public:
    enum class Button { First, Prior, Next, Last, Insert, Delete, Edit, Post, Cancel };
    Q_ENUM(Button)

    explicit DBNavigator(QWidget* parent = nullptr);

    void setDataSource(db::DataSource* source);
    db::DataSource* dataSource() const { return source_; }
    db::Dataset* dataset() const { return source_ ? source_->dataset() : nullptr; }

    void setVisibleButtons(const QList<Button>& buttons);
    void setConfirmDelete(bool on) { confirmDelete_ = on; }
    QToolButton* button(Button b) const { return buttons_.value(b); }

    // Asked before a delete (before the confirmation): throws an EngineError, whose message is
    // shown, to keep the row.
    std::function<void(db::Dataset&)> beforeDelete;

    // Performs a button as if it had been pressed: nothing when the dataset is closed, the
    // confirmation before a delete, errors shown to the operator. Then emits clicked().
    void btnClick(Button b);

Q_SIGNALS:
    void clicked(components::DBNavigator::Button button);

private:
    void updateButtons();
    QPointer<db::DataSource> source_;
    QHash<Button, QToolButton*> buttons_;
    QList<QMetaObject::Connection> links_;
    bool confirmDelete_ = true;
};

}  // namespace components
