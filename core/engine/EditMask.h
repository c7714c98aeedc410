// The edit masks of the system's fields ("00000-000", "cccc-c", "##.###.###/####-##"): what
// each position accepts, the literal characters kept in the stored value, and the Qt input mask
// a line edit uses to shape the typing. One rule for the data-aware edits and for the check a
// post makes.
#pragma once

#include <QString>
#include <QVector>

namespace db {

class EditMask {
public:
    EditMask() = default;
    // `mask` as the field carries it; an optional ";save;blank" tail is ignored.
    explicit EditMask(const QString& mask);

    bool isEmpty() const { return slots_.isEmpty(); }
    int size() const { return int(slots_.size()); }
    // The same mask for QLineEdit::setInputMask, with spaces for unfilled positions.
    QString qtInputMask() const;

    bool isLiteral(int pos) const { return slots_.value(pos).literal; }
    QChar literalAt(int pos) const { return slots_.value(pos).ch; }
    bool isLiteralChar(QChar c) const;
    // Whether position `pos` takes `c` (a literal position takes only its own character).
    bool accepts(int pos, QChar c) const;

    // Whether every required position holds a character of its kind and every other filled
    // position one of its kind: the check a post makes of a value that is not empty.
    bool fits(const QString& value) const;
    // What an edit checks when it is left: a value that fits, or an empty one (nothing but
    // literals and blanks: the field is empty).
    bool isComplete(const QString& value) const { return isBlank(value) || fits(value); }
    // Nothing but literals and blanks.
    bool isBlank(const QString& value) const;

    // Checks a pasted text against the positions from `cursor` on: literals of the mask are
    // passed over, every other character must fit the next free position. Answers the first
    // character that does not fit, or a null QChar when all fit.
    QChar firstRefused(const QString& pasted, int cursor) const;

private:
    struct Slot {
        QChar ch;          // the mask character, or the literal itself
        bool literal = false;
        bool required = false;
    };
    QVector<Slot> slots_;
};

}  // namespace db
