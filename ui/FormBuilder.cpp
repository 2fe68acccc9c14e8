#include "FormBuilder.h"

#include "DialogUnits.h"
#include "TextView.h"

#include <algorithm>

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

using forms::Kind;

QString textOf(const forms::Control &control) {
    return toQString(control.text);
}

QLabel *label(const forms::Control &control, Qt::Alignment alignment, QWidget &window) {
    auto *widget = new QLabel(textOf(control), &window);
    widget->setTextFormat(Qt::PlainText);
    widget->setAlignment(alignment | Qt::AlignTop);
    widget->setWordWrap(true);
    return widget;
}

// A drop-down whose open list always shows its scroll bar. Set as the list first opens:
// making the list's window at start would cost the form a part of its start-up.
class ScrolledComboBox final : public QComboBox {
public:
    using QComboBox::QComboBox;
    void showPopup() override {
        view()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        QComboBox::showPopup();
    }
};

QWidget *create(const forms::Control &control, QWidget &window) {
    switch (control.kind) {
    case Kind::PushButton:
    case Kind::DefaultPushButton: {
        auto *button = new QPushButton(textOf(control), &window);
        // Enter presses the focused button, or the form's OK command; the form decides.
        button->setAutoDefault(false);
        button->setDefault(control.kind == Kind::DefaultPushButton);
        return button;
    }
    case Kind::GroupBox: {
        auto *group = new QGroupBox(textOf(control), &window);
        group->setAttribute(Qt::WA_TransparentForMouseEvents);
        return group;
    }
    case Kind::Label:
    case Kind::LabelPlain:
        return label(control, Qt::AlignLeft, window);
    case Kind::LabelRight:
        return label(control, Qt::AlignRight, window);
    case Kind::LabelCentre:
        return label(control, Qt::AlignHCenter, window);
    case Kind::Edit:
        return new QLineEdit(&window);
    case Kind::DropDown:
        return new QComboBox(&window);
    case Kind::DropDownScrolled:
        return new ScrolledComboBox(&window);
    case Kind::CheckBox:
        return new QCheckBox(textOf(control), &window);
    case Kind::Icon: {
        auto *icon = new QLabel(&window);
        icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        return icon;
    }
    }
    return nullptr;
}

// A closed drop-down as the style draws it around a line of the given width.
QSize comboSize(const QComboBox &combo, int lineWidth) {
    QStyleOptionComboBox option;
    option.initFrom(&combo);
    return combo.style()->sizeFromContents(QStyle::CT_ComboBox, &option,
                                           QSize(lineWidth, combo.fontMetrics().height()), &combo);
}

// The width of a drop-down's longest line. Measuring text is what costs: the box's own size
// hint measures every line. No text is wider than its length times the font's widest
// character, so lines are measured from the longest such bound down, until no line left
// could be wider than one already measured.
int longestLine(const QComboBox &combo) {
    const QFontMetrics metrics = combo.fontMetrics();
    QList<QString> lines;
    for (int i = 0; i < combo.count(); ++i)
        lines.append(combo.itemText(i));
    std::sort(lines.begin(), lines.end(),
              [](const QString &a, const QString &b) { return a.size() > b.size(); });
    int longest = 0;
    for (const QString &line : lines) {
        if ((line.size() + 1) * metrics.maxWidth() <= longest)
            break;
        longest = std::max(longest, metrics.horizontalAdvance(line));
    }
    return longest;
}

// A closed drop-down's height in dialog units, about.
constexpr int kClosedDropDownHeight = 14;

// Where a control goes. A drop-down's template height is that of its open list: closed, it
// is as high as the style makes it, and the open list shows as many lines as fit.
QRect placeOf(const forms::Control &control, QWidget &widget, const DialogUnits &units) {
    QRect place = units.rect(control.x, control.y, control.width, control.height);
    if (auto *combo = qobject_cast<QComboBox *>(&widget)) {
        place.setHeight(comboSize(*combo, 0).height());
        // A line of the list is about eight dialog units.
        combo->setMaxVisibleItems(std::max(1, (control.height - kClosedDropDownHeight) / 8));
    }
    return place;
}

// The label that names an edit box or a drop-down is the nearest one to its left on the
// same line, as the eye pairs them; it becomes the control's buddy, which screen readers
// read as the control's label.
void pairLabels(const QList<std::pair<const forms::Control *, QWidget *>> &created) {
    for (const auto &[control, widget] : created) {
        const bool dropDown = qobject_cast<QComboBox *>(widget) != nullptr;
        if (!dropDown && !qobject_cast<QLineEdit *>(widget))
            continue;
        const int top = control->y;
        const int bottom = top + (dropDown ? kClosedDropDownHeight : control->height);
        QLabel *nearest = nullptr;
        int nearestRight = 0;
        for (const auto &[other, otherWidget] : created) {
            auto *label = qobject_cast<QLabel *>(otherWidget);
            const int right = other->x + other->width;
            if (label && !label->text().isEmpty() && right <= control->x && other->y < bottom &&
                top < other->y + other->height && (!nearest || right > nearestRight)) {
                nearest = label;
                nearestRight = right;
            }
        }
        if (nearest)
            nearest->setBuddy(widget);
    }
}

// The width a control needs to show its text on one line, or 0 when it wraps by design (a
// label at least two lines high) or has no text.
int neededWidth(const forms::Control &control, QWidget &widget, const DialogUnits &units) {
    if (auto *combo = qobject_cast<QComboBox *>(&widget))
        return comboSize(*combo, longestLine(*combo)).width();
    if (auto *label = qobject_cast<QLabel *>(&widget)) {
        if (label->text().isEmpty() || units.y(control.height) >= 2 * label->fontMetrics().height())
            return 0;
        return label->fontMetrics().horizontalAdvance(label->text()) + 1;
    }
    if (qobject_cast<QAbstractButton *>(&widget))
        return widget.sizeHint().width();
    return 0;
}

} // namespace

QString controlName(int id) {
    return u"control-"_s + QString::number(id);
}

Form buildForm(const forms::Template &form, QWidget &window,
               const std::function<void(Form &)> &fill) {
    Form result;
    QList<std::pair<const forms::Control *, QWidget *>> created;
    QWidget *previous = nullptr;
    for (const forms::Control &control : form.controls) {
        QWidget *widget = create(control, window);
        created.append({&control, widget});
        if (control.id >= 0) {
            result.m_controls.insert(control.id, widget);
            widget->setObjectName(controlName(control.id));
        }
        if (control.tabStop) {
            widget->setFocusPolicy(Qt::StrongFocus);
            if (previous)
                QWidget::setTabOrder(previous, widget);
            previous = widget;
        } else {
            widget->setFocusPolicy(Qt::NoFocus);
        }
    }
    if (fill)
        fill(result);
    pairLabels(created);

    const DialogUnits fontUnits(window.font());
    double widen = 1.0;
    for (const auto &[control, widget] : created) {
        const int allotted = fontUnits.x(control->width);
        if (allotted > 0)
            widen = std::max(widen, double(neededWidth(*control, *widget, fontUnits)) / allotted);
    }
    const DialogUnits units = fontUnits.widened(widen);

    window.setWindowTitle(toQString(form.caption));
    window.setFixedSize(units.x(form.width), units.y(form.height));
    for (const auto &[control, widget] : created) {
        widget->setGeometry(placeOf(*control, *widget, units));
        // A group box only frames the controls inside it; it must not cover them.
        if (qobject_cast<QGroupBox *>(widget))
            widget->lower();
    }
    return result;
}

} // namespace tavrenode
