#include "components/DBNavigator.h"

#include "core/Dialogs.h"
#include "core/engine/EngineError.h"

#include <QHBoxLayout>
#include <QStyle>
#include <QToolButton>

namespace components {

namespace {

struct Spec {
    DBNavigator::Button button;
    const char* text;
    const char* hint;
};

const Spec kButtons[] = {
    {DBNavigator::Button::First, "|<", "Posiciona no primeiro registro (Ctrl + Home)"},
    {DBNavigator::Button::Prior, "<", "Retorna no registro anterior (Page Up)"},
    {DBNavigator::Button::Next, ">", "Avança para o proximo registro (Page Down)"},
    {DBNavigator::Button::Last, ">|", "Posiciona no último registro (Ctrl + End)"},
    {DBNavigator::Button::Insert, "+", "Inclui novo registro (Insert)"},
    {DBNavigator::Button::Delete, "-", "Apaga o registro atual (Ctrl + Delete)"},
    {DBNavigator::Button::Edit, "^", "Edita o registro atual"},
    {DBNavigator::Button::Post, "\u2713", "Grava o registro atual (Ctrl + S)"},
    {DBNavigator::Button::Cancel, "x", "Cancela alterações (Shift + Esc)"},
};

}  // namespace

DBNavigator::DBNavigator(QWidget* parent) : QWidget(parent)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    for (const Spec& s : kButtons) {
        auto* b = new QToolButton(this);
        b->setText(QString::fromUtf8(s.text));
        b->setToolTip(QString::fromUtf8(s.hint));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setMinimumSize(25, 25);
        layout->addWidget(b);
        buttons_.insert(s.button, b);
        const Button which = s.button;
        connect(b, &QToolButton::clicked, this, [this, which] { btnClick(which); });
    }
    updateButtons();
}

void DBNavigator::setDataSource(db::DataSource* source)
{
    for (const auto& c : links_) disconnect(c);
    links_.clear();
    source_ = source;
    if (db::Dataset* ds = dataset()) {
        links_ << connect(ds, &db::Dataset::stateChanged, this, &DBNavigator::updateButtons)
               << connect(ds, &db::Dataset::currentChanged, this, &DBNavigator::updateButtons)
               << connect(ds, &db::Dataset::activeChanged, this, &DBNavigator::updateButtons);
    }
    updateButtons();
}

void DBNavigator::setVisibleButtons(const QList<Button>& list)
{
    for (auto it = buttons_.cbegin(); it != buttons_.cend(); ++it)
        it.value()->setVisible(list.contains(it.key()));
}

void DBNavigator::btnClick(Button b)
{
    db::Dataset* ds = dataset();
    if (!ds || !ds->active()) return;
    try {
        switch (b) {
        case Button::First: ds->first(); break;
        case Button::Prior: ds->prior(); break;
        case Button::Next: ds->next(); break;
        case Button::Last: ds->last(); break;
        case Button::Insert: ds->insert(); break;
        case Button::Delete:
            if (beforeDelete) beforeDelete(*ds);
            if (!confirmDelete_ || dialogs::current().confirm("Delete record?")) ds->deleteRecord();
            break;
        case Button::Edit: ds->edit(); break;
        case Button::Post: ds->post(); break;
        case Button::Cancel: ds->cancel(); break;
        }
    } catch (const db::EngineError& e) {
        dialogs::current().message(dialogs::Kind::Error, e.message());
        return;
    }
    emit clicked(b);
}

void DBNavigator::updateButtons()
{
    db::Dataset* ds = dataset();
    const bool active = ds && ds->active();
    const bool editing = active && (ds->state() == db::DatasetState::Edit
                                    || ds->state() == db::DatasetState::Insert);
    const bool rows = active && !ds->isEmpty();
    buttons_[Button::First]->setEnabled(rows && !editing && !ds->bof());
    buttons_[Button::Prior]->setEnabled(rows && !editing && !ds->bof());
    buttons_[Button::Next]->setEnabled(rows && !editing && !ds->eof());
    buttons_[Button::Last]->setEnabled(rows && !editing && !ds->eof());
    buttons_[Button::Insert]->setEnabled(active);
    buttons_[Button::Delete]->setEnabled(rows);
    buttons_[Button::Edit]->setEnabled(rows && !editing);
    buttons_[Button::Post]->setEnabled(editing);
    buttons_[Button::Cancel]->setEnabled(editing);
}

}  // namespace components
