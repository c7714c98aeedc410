#include "components/DBEdit.h"

#include "core/Dialogs.h"
#include "core/engine/EngineError.h"
#include "core/engine/NumberText.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QTimer>

namespace components {

namespace {

bool isNumeric(store::FieldType t)
{
    return t == store::FieldType::Number || t == store::FieldType::Money
           || t == store::FieldType::Autoincrement;
}

}  // namespace

DBEdit::DBEdit(QWidget* parent) : QLineEdit(parent)
{
    connect(this, &QLineEdit::textEdited, this, &DBEdit::onTextEdited);
    setReadOnly(true);
}

QString DBEdit::invalidInputMessage()
{
    return QStringLiteral("Invalid input value.  Use escape key to abandon changes");
}

void DBEdit::setDataSource(db::DataSource* source)
{
    source_ = source;
    bind();
}

void DBEdit::setDataField(const QString& field)
{
    field_ = field;
    bind();
}

const db::FieldDef* DBEdit::fieldDef() const
{
    db::Dataset* ds = dataset();
    if (!ds || field_.isEmpty()) return nullptr;
    const int i = ds->fieldIndex(field_);
    return i < 0 ? nullptr : &ds->fieldDef(i);
}

void DBEdit::bind()
{
    for (const auto& c : links_) disconnect(c);
    links_.clear();
    if (db::Dataset* ds = dataset()) {
        links_ << connect(ds, &db::Dataset::activeChanged, this, &DBEdit::refresh)
               << connect(ds, &db::Dataset::stateChanged, this, &DBEdit::refresh)
               << connect(ds, &db::Dataset::currentChanged, this, &DBEdit::refresh)
               << connect(ds, &db::Dataset::dataChanged, this, &DBEdit::refresh)
               << connect(ds, &db::Dataset::fieldChanged, this, [this](const QString& name) {
                      if (!writing_ && name.compare(field_, Qt::CaseInsensitive) == 0) refresh();
                  });
    }
    refresh();
}

// Field list, mask and width are known only once the dataset is open, so the edit's limits
// are set again at every refresh.
void DBEdit::refresh()
{
    if (writing_) return;
    const db::FieldDef* def = fieldDef();
    db::Dataset* ds = dataset();
    const bool usable = def && ds && ds->active();
    db::EditMask mask(usable ? def->editMask : QString());
    if (mask.qtInputMask() != mask_.qtInputMask()) {
        mask_ = mask;
        setInputMask(mask_.qtInputMask());
    }
    if (usable && mask_.isEmpty() && def->type == store::FieldType::Alpha && def->width > 0)
        setMaxLength(def->width);
    else if (mask_.isEmpty())
        setMaxLength(32767);
    setReadOnly(!usable || def->readOnly || def->kind != db::FieldKind::Data);
    QString text;
    if (usable) {
        try {
            text = ds->fieldByName(field_).displayText();
        } catch (const db::EngineError&) {
        }
    }
    modified_ = false;
    setText(text);
    setCursorPosition(0);
}

QString DBEdit::fieldText() const
{
    if (mask_.isEmpty()) return text();
    QString t = displayText();
    while (t.endsWith(' ')) t.chop(1);
    return mask_.isBlank(t) ? QString() : t;
}

bool DBEdit::isComplete() const { return mask_.isEmpty() || mask_.isComplete(displayText()); }

void DBEdit::onTextEdited()
{
    db::Dataset* ds = dataset();
    const db::FieldDef* def = fieldDef();
    if (!ds || !def || !ds->active() || isReadOnly()) return;
    writing_ = true;
    try {
        if (ds->state() == db::DatasetState::Browse) ds->edit();
        const QString t = fieldText();
        // Every character typed stays in the edit; a number that cannot be read is not
        // written, and the row is not posted while it stands.
        if (isNumeric(def->type) && !t.trimmed().isEmpty()
            && !db::readNumber(t, def->type == store::FieldType::Money))
            ds->setInputError(field_, db::notANumber(t, def->name).message());
        else
            ds->fieldByName(field_).setAsString(t);
        modified_ = true;
    } catch (const db::EngineError& e) {
        writing_ = false;
        dialogs::current().message(dialogs::Kind::Error, e.message());
        refresh();
        return;
    }
    writing_ = false;
}

bool DBEdit::checkPaste()
{
    const db::FieldDef* def = fieldDef();
    if (!def || isReadOnly()) return true;
    const QString clip = QGuiApplication::clipboard()->text();
    if (!mask_.isEmpty()) {
        const int from = hasSelectedText() ? selectionStart() : cursorPosition();
        const QChar bad = mask_.firstRefused(clip, from);
        if (bad.isNull()) return true;
        dialogs::current().message(
            dialogs::Kind::Error,
            QString("O texto colado não cabe no formato do campo %1 (%2): o caractere \"%3\" "
                    "não é aceito nessa posição. Corrija o texto e cole de novo.")
                .arg(def->name, def->editMask.section(';', 0, 0), bad));
        return false;
    }
    if (def->type == store::FieldType::Alpha && def->width > 0) {
        const int after = int(text().size() - selectedText().size() + clip.size());
        if (after <= def->width) return true;
        dialogs::current().message(
            dialogs::Kind::Error,
            QString("O texto colado é longo demais: o campo %1 aceita no máximo %2 caracteres "
                    "e ficaria com %3. Encurte o texto e cole de novo.")
                .arg(def->name)
                .arg(def->width)
                .arg(after));
        return false;
    }
    return true;
}

void DBEdit::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste) && !checkPaste()) {
        event->accept();
        return;
    }
    QLineEdit::keyPressEvent(event);
}

void DBEdit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (!modified_ || isComplete() || !isVisible() || !window()->isVisible()) return;
    dialogs::current().message(dialogs::Kind::Error, invalidInputMessage());
    // The typed text stays for correction and the operator is brought back to it.
    QTimer::singleShot(0, this, [this] { setFocus(Qt::OtherFocusReason); });
}

}  // namespace components
