#include "core/engine/EditMask.h"

#include "core/engine/NumberText.h"

namespace db {

namespace {

bool isMaskChar(QChar m)
{
    switch (m.unicode()) {
    case '0': case '9': case '#': case 'L': case 'l': case 'A': case 'a': case 'C': case 'c':
        return true;
    default:
        return false;
    }
}

bool isRequired(QChar m) { return m == '0' || m == 'L' || m == 'A' || m == 'C'; }

bool isBlankChar(QChar c) { return c == ' ' || c == '_'; }

// The Qt character of a position: Qt swaps the meaning of 0 and 9 and calls "any" X.
QChar qtChar(QChar m)
{
    switch (m.unicode()) {
    case '0': return '9';
    case '9': return '0';
    case '#': return '#';
    case 'L': return 'A';
    case 'l': return 'a';
    case 'A': return 'N';
    case 'a': return 'n';
    case 'C': return 'X';
    default: return 'x';
    }
}

}  // namespace

EditMask::EditMask(const QString& full)
{
    const QString mask = full.section(';', 0, 0);
    for (int i = 0; i < mask.size(); ++i) {
        const QChar m = mask.at(i);
        if (m == '!' || m == '<' || m == '>') continue;  // case and alignment: no position
        if (m == '\\' && i + 1 < mask.size()) {
            slots_.append({mask.at(++i), true, false});
            continue;
        }
        if (isMaskChar(m)) slots_.append({m, false, isRequired(m)});
        else slots_.append({m, true, false});
    }
}

QString EditMask::qtInputMask() const
{
    if (slots_.isEmpty()) return {};
    static const QString special = QStringLiteral("AaNnXx90Dd#HhBb><!;[]{}\\");
    QString out;
    for (const Slot& s : slots_) {
        if (s.literal) {
            if (special.contains(s.ch)) out += '\\';
            out += s.ch;
        } else {
            out += qtChar(s.ch);
        }
    }
    return out + QStringLiteral("; ");
}

bool EditMask::isLiteralChar(QChar c) const
{
    for (const Slot& s : slots_)
        if (s.literal && s.ch == c) return true;
    return false;
}

bool EditMask::accepts(int pos, QChar c) const
{
    if (pos < 0 || pos >= slots_.size()) return false;
    const Slot& s = slots_[pos];
    if (s.literal) return c == s.ch;
    switch (s.ch.unicode()) {
    case '0': case '9': return isDigit(c);
    case '#': return isDigit(c) || c == '+' || c == '-';
    case 'L': case 'l': return c.isLetter();
    case 'A': case 'a': return c.isLetterOrNumber();
    default: return !c.isNull();
    }
}

bool EditMask::isBlank(const QString& value) const
{
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (isBlankChar(c)) continue;
        if (i < slots_.size() && slots_[i].literal && slots_[i].ch == c) continue;
        return false;
    }
    return true;
}

bool EditMask::fits(const QString& value) const
{
    for (int i = 0; i < slots_.size(); ++i) {
        const QChar c = i < value.size() ? value.at(i) : QChar(' ');
        if (slots_[i].literal) continue;
        if (isBlankChar(c)) {
            if (slots_[i].required) return false;
        } else if (!accepts(i, c)) {
            return false;
        }
    }
    return true;
}

QChar EditMask::firstRefused(const QString& pasted, int cursor) const
{
    int pos = std::max(0, cursor);
    for (const QChar c : pasted) {
        while (pos < slots_.size() && slots_[pos].literal && slots_[pos].ch != c) ++pos;
        if (pos < slots_.size() && slots_[pos].literal) {  // the literal itself, typed along
            ++pos;
            continue;
        }
        if (isLiteralChar(c)) continue;  // a separator typed elsewhere than its place
        if (pos >= slots_.size() || !accepts(pos, c)) return c.isNull() ? QChar(' ') : c;
        ++pos;
    }
    return {};
}

}  // namespace db
