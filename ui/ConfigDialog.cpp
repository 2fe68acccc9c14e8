#include "ConfigDialog.h"

#include "AboutDialog.h"
#include "BluetoothDialog.h"
#include "BusyCursor.h"
#include "FormRules.h"
#include "FormTooltips.h"
#include "ListLabels.h"
#include "ModuleLink.h"
#include "Profile.h"
#include "ProfileFiles.h"
#include "SettingsStore.h"
#include "StatusColours.h"
#include "TavrenodeVersion.h"
#include "TextView.h"
#include "TransferMessages.h"
#include "UserMessage.h"
#include "WindowMenu.h"

#include <functional>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSettings>

using namespace Qt::StringLiterals;

namespace tavrenode {

namespace {

// A box's value: 0 clear, 1 ticked, 2 neither (Qt counts the last two the other way round).
std::int32_t boxValue(Qt::CheckState state) {
    return state == Qt::Checked ? 1 : state == Qt::PartiallyChecked ? 2 : 0;
}
Qt::CheckState checkState(std::int32_t value) {
    return value == 1 ? Qt::Checked : value == 2 ? Qt::PartiallyChecked : Qt::Unchecked;
}

} // namespace

ConfigDialog::ConfigDialog(const ConfigServices &services, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint)
    , m_services(services)
    , m_form(buildForm(forms::kConfigForm, *this, [](Form &form) { fillLists(form); }))
    , m_transfer({services.portTimeout}) {
    std::vector<WindowCommand> commands{
        {toQString(strings::kSaveProfileItem), std::bind_front(&ConfigDialog::saveProfile, this)},
        {toQString(strings::kLoadProfileItem),
         std::bind_front(&ConfigDialog::chooseProfileToLoad, this)}};
    if (m_services.bluetooth)
        commands.push_back({toQString(strings::kBluetoothItem),
                            std::bind_front(&ConfigDialog::showBluetooth, this),
                            QKeySequence(kBluetoothShortcut)});
    commands.push_back({});
    commands.push_back(
        {toQString(strings::kAboutMenuItem), std::bind_front(&ConfigDialog::showAbout, this)});
    installWindowMenu(*this, std::move(commands));
    setAcceptDrops(true);
    for (QLineEdit *edit : findChildren<QLineEdit *>())
        edit->installEventFilter(this);

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
    m_form.widget(id::RunStatus)
        ->setAccessibleDescription(tr("Result of the last programming run"));
}

void ConfigDialog::fillLists(Form &form) {
    for (const SettingList &list : kSettingLists) {
        auto *combo = form.control<QComboBox>(controlOf(list.field));
        for (const std::string_view line : list.lines)
            combo->addItem(toQString(line));
    }
    for (const Tooltip &tip : kTooltips)
        form.widget(tip.id)->setToolTip(toQString(tip.text));
}

void ConfigDialog::writeForm() {
    const QScopedValueRollback guard(m_exchanging, true);
    const FormValues form = formFromSettings(m_settings);
    for (std::size_t i = 0; i < kFormExchange.size(); ++i) {
        const ExchangeEntry &entry = kFormExchange[i];
        QWidget *widget = m_form.widget(entry.id);
        if (auto *combo = qobject_cast<QComboBox *>(widget)) {
            combo->setCurrentIndex(form[i].number);
        } else if (auto *box = qobject_cast<QCheckBox *>(widget)) {
            box->setTristate(form[i].number == 2);
            box->setCheckState(checkState(form[i].number));
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            // A longer stored text is shown whole (the read-back then asks to shorten it):
            // the typing limit only stops it from growing.
            if (entry.kind == ExchangeKind::Text)
                edit->setMaxLength(typingLimitOnWrite(entry, form[i].text.size()));
            edit->setText(form[i].text);
        }
    }
}

bool ConfigDialog::readForm() {
    const QScopedValueRollback guard(m_exchanging, true);
    FormValues form;
    for (std::size_t i = 0; i < kFormExchange.size(); ++i) {
        const ExchangeEntry &entry = kFormExchange[i];
        QWidget *widget = m_form.widget(entry.id);
        if (auto *combo = qobject_cast<QComboBox *>(widget))
            form[i].number = combo->currentIndex();
        else if (auto *box = qobject_cast<QCheckBox *>(widget))
            form[i].number = boxValue(box->checkState());
        else if (auto *edit = qobject_cast<QLineEdit *>(widget))
            form[i].text = edit->text();
        if (entry.kind != ExchangeKind::Text)
            continue;
        if (const std::optional<int> limit = typingLimitOnRead(entry, form[i].text.size()))
            qobject_cast<QLineEdit *>(widget)->setMaxLength(*limit);
    }
    const std::optional<FormRefusal> refusal = settingsFromForm(form, m_settings);
    if (refusal)
        refuse(*refusal);
    return !refusal;
}

void ConfigDialog::refuse(const FormRefusal &refusal) {
    m_services.messages.show({refusal.message, {}});
    if (QWidget *control = m_form.widget(refusal.control)) {
        control->setFocus();
        if (auto *edit = qobject_cast<QLineEdit *>(control))
            edit->selectAll();
    }
}

void ConfigDialog::applyEnablingRule() {
    const ControlStates states = controlEnablingRule(m_settings);
    for (std::size_t i = 0; i < kSubTypeBits.size(); ++i) {
        QWidget *box = m_form.widget(controlOf(kSubTypeBits[i].box));
        box->setEnabled(states.subTypes[i]);
        box->setToolTip(toQString(subTypeTip(kSubTypeBits[i].group, states.subTypes[i])));
    }
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
    if (const std::optional<FormRefusal> refusal = programmingRefusal(m_settings)) {
        refuse(*refusal);
        return;
    }
    m_services.store.save(m_settings);
    (void)runOn(*m_services.links.portLink(m_settings.comPort));
}

TransferOutcome ConfigDialog::runOn(ModuleLink &link) {
    TransferOutcome outcome = m_transfer.run(m_settings, m_record, link);
    // Shown once the link is closed again: a box can wait for the user as long as it likes.
    for (const UserMessage &message : transferMessages(outcome))
        m_services.messages.show(message);
    showRunStatus(outcome);
    return outcome;
}

namespace {

// The module programmed last over Bluetooth: beside the store, whose entries stay the
// module settings alone.
QSettings chosenModuleMemory() {
    return {QSettings::NativeFormat, QSettings::UserScope,
            QString::fromUtf16(SettingsStore::kCompany), u"tavrenode-config-bluetooth"_s};
}

} // namespace

void ConfigDialog::showBluetooth() {
    const BluetoothLinks *links = m_services.bluetooth ? m_services.bluetooth() : nullptr;
    if (!links) {
        m_services.messages.show({tr("Bluetooth cannot be used here."),
                                  tr("BlueZ's interface could not be loaded. Reach the module "
                                     "through its serial port instead.")});
        return;
    }
    BluetoothDialog dialog(*links, std::bind_front(&ConfigDialog::programOverBluetooth, this),
                           chosenModuleMemory().value(u"module"_s).toString(), this);
    dialog.exec();
    if (!dialog.programmedAddress().isEmpty())
        chosenModuleMemory().setValue(u"module"_s, dialog.programmedAddress());
}

std::optional<TransferOutcome> ConfigDialog::programOverBluetooth(const BluetoothTarget &target) {
    if (!readForm())
        return std::nullopt;
    if (const std::optional<FormRefusal> refusal =
            programmingRefusal(m_settings, PortUse::Ignored)) {
        refuse(*refusal);
        return std::nullopt;
    }
    m_services.store.save(m_settings);
    return runOn(*m_services.bluetooth()->link(target));
}

void ConfigDialog::showRunStatus(const TransferOutcome &outcome) {
    // The label's text is what a screen reader announces; the colour only repeats it.
    m_lastRunProgrammed = outcome.programmed();
    colourRunStatus();
    m_form.control<QLabel>(id::RunStatus)->setText(runStatusText(outcome, QTime::currentTime()));
}

void ConfigDialog::colourRunStatus() {
    if (!m_lastRunProgrammed)
        return;
    // Only the text's colour is the label's own: the rest follows the window's palette.
    QPalette palette;
    palette.setColor(QPalette::WindowText,
                     statusColour(*m_lastRunProgrammed, this->palette().color(QPalette::Window)));
    m_form.control<QLabel>(id::RunStatus)->setPalette(palette);
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

void ConfigDialog::saveProfile() {
    if (!readForm())
        return;
    const QString path =
        m_services.profiles.saveFileName(this, profileFileName(m_settings.deviceName));
    if (path.isEmpty())
        return;
    const QString writer =
        u"%1 %2"_s.arg(QCoreApplication::applicationName(), toQString(version::kFull));
    if (const std::optional<QString> reason = saveProfileFile(path, m_settings, writer)) {
        m_services.messages.show(
            {tr("The settings were not saved to %1.").arg(QDir::toNativeSeparators(path)),
             *reason});
    }
}

void ConfigDialog::chooseProfileToLoad() {
    if (!readForm())
        return;
    const QString path = m_services.profiles.loadFileName(this);
    if (!path.isEmpty())
        loadProfile(path);
}

void ConfigDialog::loadProfile(const QString &path) {
    // What the profile leaves out keeps what the form shows.
    if (!readForm())
        return;
    ModuleSettings loaded = m_settings;
    if (const std::optional<ProfileError> error = loadProfileFile(path, loaded)) {
        m_services.messages.show(
            {tr("Nothing was loaded from %1.").arg(QDir::toNativeSeparators(path)),
             error->describe()});
        return;
    }
    m_settings = loaded;
    writeForm();
    readForm();
    applyEnablingRule();
}

bool ConfigDialog::takeProfileDrop(QEvent *event) {
    const auto type = event->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop)
        return false;
    auto *drop = static_cast<QDropEvent *>(event);
    const QString path = droppedFile(drop->mimeData());
    if (path.isEmpty())
        return false;
    drop->acceptProposedAction();
    // Loaded once the drag is over: a message box inside the drop would hold up the program
    // the file came from.
    if (type == QEvent::Drop)
        QMetaObject::invokeMethod(
            this, [this, path] { loadProfile(path); }, Qt::QueuedConnection);
    return true;
}

bool ConfigDialog::eventFilter(QObject *watched, QEvent *event) {
    if (qobject_cast<QLineEdit *>(watched) && takeProfileDrop(event))
        return true;
    return QDialog::eventFilter(watched, event);
}

bool ConfigDialog::event(QEvent *event) {
    return takeProfileDrop(event) || QDialog::event(event);
}

void ConfigDialog::changeEvent(QEvent *event) {
    if (event->type() == QEvent::PaletteChange)
        colourRunStatus();
    QDialog::changeEvent(event);
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
