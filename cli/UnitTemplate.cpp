#include "UnitTemplate.h"

using namespace Qt::StringLiterals;

namespace tavrenode {

ExpandedText expandTemplate(QStringView text, qint64 number) {
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'}') {
            if (i + 1 < text.size() && text[i + 1] == u'}') {
                out += c;
                ++i;
                continue;
            }
            return {{}, u"a lone } (write }} for a brace)"_s};
        }
        if (c != u'{') {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == u'{') {
            out += c;
            ++i;
            continue;
        }
        const qsizetype close = text.indexOf(u'}', i);
        if (close < 0)
            return {{}, u"a { without its } (write {{ for a brace)"_s};
        const QStringView field = text.sliced(i + 1, close - i - 1);
        if (field == u"n") {
            out += QString::number(number);
        } else if (field.size() == 4 && field.startsWith(u"n:0") && field[3] >= u'1' &&
                   field[3] <= u'9') {
            out += QString::number(number).rightJustified(field[3].unicode() - u'0', u'0');
        } else {
            return {{},
                    u"{%1} is not a placeholder: {n} and {n:03} are (write {{ for a brace)"_s.arg(
                        field.toString())};
        }
        i = close;
    }
    return {out, {}};
}

} // namespace tavrenode
