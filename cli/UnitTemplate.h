#pragma once

#include <QString>
#include <QStringView>

namespace tavrenode {

// A batch unit's texts may hold its sequence number: {n} as it is, {n:03} zero-padded to
// three digits (one to nine); {{ and }} stand for literal braces. Everything else, the
// module's own "~" placeholders included, is left alone.
struct ExpandedText {
    QString text;
    QString fault; // set when the template is not one; text is then empty
};

[[nodiscard]] ExpandedText expandTemplate(QStringView text, qint64 number);

} // namespace tavrenode
