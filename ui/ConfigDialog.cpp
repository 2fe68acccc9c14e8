#include "ConfigDialog.h"

#include "AboutDialog.h"
#include "AboutMenu.h"
#include "ComPortText.h"
#include "ControlEnablingRule.h"
#include "FormExchange.h"
#include "SettingsStore.h"
#include "UserMessage.h"

#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

QString fromView(std::string_view text) {
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// The busy cursor, for exactly as long as a command runs, whichever way it returns.
class BusyCursor {
public:
    BusyCursor() { QGuiApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QGuiApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor &) = delete;
    BusyCursor &operator=(const BusyCursor &) = delete;
};

QString zeroLengthPinMessage() {
    return u"A zero-length PIN code is not permitted.\r\n"
           u"\r\n"
           u"To turn off PIN codes specify \""_s +
           fromView(labels::kSecurityModes[0]) +
           u"\" in the security mode box.\r\n"
           u"A PIN code always has to be specified because some remote devices    \r\n"
           u"insist on using security, even if you do not enable it on Tavrenode.    "_s;
}

QString listName(int id) {
    for (const ListContents &list : kShortLists) {
        if (list.id == id)
            return fromView(list.name);
    }
    return fromView(kDeviceTypeListName);
}

int boxValue(Qt::CheckState state) {
    switch (state) {
    case Qt::Unchecked:
        return 0;
    case Qt::PartiallyChecked:
        return 2;
    case Qt::Checked:
        return 1;
    }
    return 0;
}

} // namespace

ConfigDialog::ConfigDialog(const ConfigServices &services, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_form(buildForm(forms::kConfigForm, *this, [](Form &form) { fillLists(form); }))
    , m_transfer({services.messages, services.naming, services.ports, services.portTimeout}) {
    installAboutMenu(*this, [this] { showAbout(); });

    for (const ExchangeEntry &entry : kFormExchange) {
        // An indeterminate box (only from the store) becomes a plain one once clicked.
        if (auto *box = m_form.control<QCheckBox>(entry.id))
            connect(box, &QCheckBox::clicked, box, [box] { box->setTristate(false); });
    }
    connect(m_form.control<QComboBox>(id::DeviceType), &QComboBox::currentIndexChanged, this,
            &ConfigDialog::formChanged);
    connect(m_form.control<QLineEdit>(id::ComPort), &QLineEdit::textChanged, this,
            &ConfigDialog::formChanged);
    connect(m_form.control<QPushButton>(id::Program), &QPushButton::clicked, this,
            &ConfigDialog::program);
    connect(m_form.control<QPushButton>(id::Close), &QPushButton::clicked, this,
            &ConfigDialog::reject);

    m_record.fill(0);
    m_services.store.load(m_settings);
    writeForm();
    readForm();
    applyEnablingRule();
    m_form.widget(id::Close)->setFocus();
}

void ConfigDialog::fillLists(Form &form) {
    const auto fill = [&form](int id, auto lines) {
        auto *combo = form.control<QComboBox>(id);
        for (const auto &line : lines)
            combo->addItem(fromView(line));
    };
    for (const ListContents &list : kShortLists)
        fill(list.id, list.lines);

    auto *deviceTypes = form.control<QComboBox>(id::DeviceType);
    for (const DeviceType &row : kDeviceTypeTable)
        deviceTypes->addItem(fromView(row.label));
    deviceTypes->view()->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void ConfigDialog::writeForm() {
    const QScopedValueRollback guard(m_exchanging, true);
    for (const ExchangeEntry &entry : kFormExchange) {
        QWidget *widget = m_form.widget(entry.id);
        switch (entry.kind) {
        case ExchangeKind::ListIndex: {
            auto *combo = qobject_cast<QComboBox *>(widget);
            const std::int32_t index = m_settings.*entry.number;
            combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
            break;
        }
        case ExchangeKind::Box: {
            std::int32_t &value = m_settings.*entry.number;
            if (value < 0 || value > 2)
                value = 0;
            auto *box = qobject_cast<QCheckBox *>(widget);
            box->setTristate(value == 2);
            box->setCheckState(value == 2   ? Qt::PartiallyChecked
                               : value == 1 ? Qt::Checked
                                            : Qt::Unchecked);
            break;
        }
        case ExchangeKind::Text: {
            // A longer stored text is shown whole (the read-back then asks to shorten it):
            // the typing limit only stops it from growing.
            auto *edit = qobject_cast<QLineEdit *>(widget);
            const QString &text = m_settings.*entry.text;
            edit->setMaxLength(std::max(entry.limit, int(text.size())));
            edit->setText(text);
            break;
        }
        case ExchangeKind::Integer:
            qobject_cast<QLineEdit *>(widget)->setText(QString::number(m_settings.*entry.number));
            break;
        }
    }
}

bool ConfigDialog::readForm() {
    const QScopedValueRollback guard(m_exchanging, true);
    const auto fail = [this](QLineEdit *edit, const QString &message) {
        m_services.messages.show({message, {}});
        edit->setFocus();
        edit->selectAll();
        return false;
    };
    for (const ExchangeEntry &entry : kFormExchange) {
        QWidget *widget = m_form.widget(entry.id);
        switch (entry.kind) {
        case ExchangeKind::ListIndex:
            m_settings.*entry.number = qobject_cast<QComboBox *>(widget)->currentIndex();
            break;
        case ExchangeKind::Box:
            m_settings.*entry.number = boxValue(qobject_cast<QCheckBox *>(widget)->checkState());
            break;
        case ExchangeKind::Text: {
            auto *edit = qobject_cast<QLineEdit *>(widget);
            m_settings.*entry.text = edit->text();
            if (edit->text().size() > entry.limit)
                return fail(edit, u"Please enter no more than %1 characters."_s.arg(entry.limit));
            edit->setMaxLength(entry.limit);
            break;
        }
        case ExchangeKind::Integer: {
            auto *edit = qobject_cast<QLineEdit *>(widget);
            const std::optional<std::int32_t> number = parseComPort(edit->text());
            if (!number)
                return fail(edit, u"Please enter an integer."_s);
            m_settings.*entry.number = *number;
            break;
        }
        }
    }
    return true;
}

void ConfigDialog::applyEnablingRule() {
    const ControlStates states = controlEnablingRule(m_settings);
    for (std::size_t i = 0; i < kSubTypeBits.size(); ++i)
        m_form.widget(controlOf(kSubTypeBits[i].box))->setEnabled(states.subTypes[i]);
    m_form.widget(id::Program)->setEnabled(states.program);
}

void ConfigDialog::formChanged() {
    if (m_exchanging)
        return;
    readForm();
    applyEnablingRule();
}

void ConfigDialog::program() {
    const BusyCursor busy;
    // A form that does not read cleanly is not programmed: the port box could name another
    // port than the one the settings hold.
    if (!readForm())
        return;
    // A list without a selection would send codes the module does not know.
    for (const ExchangeEntry &entry : kFormExchange) {
        if (entry.kind == ExchangeKind::ListIndex && m_settings.*entry.number < 0) {
            m_services.messages.show(
                {u"Please choose a line in the \"%1\" list before programming."_s.arg(
                     listName(entry.id)),
                 {}});
            m_form.widget(entry.id)->setFocus();
            return;
        }
    }
    if (m_settings.pin.isEmpty()) {
        m_services.messages.show({zeroLengthPinMessage(), {}});
        return;
    }
    m_services.store.save(m_settings);
    m_transfer.run(m_settings, m_record);
}

void ConfigDialog::okCommand() {
    // Enter outside a push button closes the window like Close does, edits kept.
    if (!readForm())
        return;
    m_services.store.save(m_settings);
    accept();
}

void ConfigDialog::reject() {
    readForm();
    m_services.store.save(m_settings);
    QDialog::reject();
}

void ConfigDialog::showAbout() {
    AboutDialog about(m_services.help, m_services.messages, this);
    about.setWindowIcon(windowIcon());
    about.exec();
}

void ConfigDialog::keyPressEvent(QKeyEvent *event) {
    const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
    if (enter && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (auto *button = qobject_cast<QPushButton *>(focusWidget()))
            button->click();
        else
            okCommand();
        return;
    }
    if (event->key() == Qt::Key_F1 && event->modifiers() == Qt::NoModifier) {
        showFormHelp(m_services.help, m_services.messages, forms::kConfigForm.resource);
        return;
    }
    QDialog::keyPressEvent(event);
}

} // namespace tavrenode
