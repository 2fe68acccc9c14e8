#include "BluetoothDialog.h"

#include "BusyCursor.h"
#include "FormRules.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;
using namespace std::chrono_literals;

namespace tavrenode {

namespace {

enum Column { Name, Address, Signal, Pairing };

// How long "Find modules" listens: BR/EDR inquiry finds what is in range within about ten
// seconds.
constexpr auto kSearchTime = 12s;
// The module is known to BlueZ by then; a new search is not what the button asks for.
constexpr auto kFindTimeout = 10s;

constexpr int kAddressRole = Qt::UserRole;
constexpr int kPairedRole = Qt::UserRole + 1;

} // namespace

BluetoothDialog::BluetoothDialog(const BluetoothLinks &links, Program program,
                                 const QString &lastAddress, QWidget *parent)
    : QDialog(parent)
    , m_links(links)
    , m_program(std::move(program))
    , m_programmed(lastAddress) {
    setWindowTitle(tr("Program over Bluetooth"));

    auto *intro = new QLabel(
        tr("Put the module into its configure mode, choose it, and press Program: it gets the "
           "settings of the main window. A module that is not paired yet is paired with the "
           "PIN below first."),
        this);
    intro->setWordWrap(true);

    m_modules = new QTreeWidget(this);
    m_modules->setHeaderLabels({tr("Name"), tr("Address"), tr("Signal"), tr("Pairing")});
    m_modules->setRootIsDecorated(false);
    m_modules->setAllColumnsShowFocus(true);
    m_modules->setAccessibleName(tr("Modules"));
    m_modules->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_modules->header()->setStretchLastSection(false);
    m_modules->header()->setSectionResizeMode(Name, QHeaderView::Stretch);
    m_modules->setToolTip(tr("Paired modules that offer a serial port, and modules found nearby"));

    m_find = new QPushButton(tr("&Find modules"), this);
    m_find->setToolTip(tr("Search for modules nearby for %1 seconds").arg(kSearchTime.count()));
    m_searching = new QProgressBar(this);
    m_searching->setRange(0, 0); // busy: a search has no known end before its time is up
    m_searching->setTextVisible(false);
    m_searching->setAccessibleName(tr("Searching"));
    m_searching->setVisible(false);
    auto *searchRow = new QHBoxLayout;
    searchRow->addWidget(m_find);
    searchRow->addWidget(m_searching, 1);
    searchRow->addStretch(); // the button keeps its size while the indicator is hidden

    m_pin = new QLineEdit(this);
    m_pin->setMaxLength(16);
    m_pin->setToolTip(tr("The module's pairing PIN; used only to pair a new module, never saved"));
    m_keepPaired = new QCheckBox(tr("&Keep a new module paired afterwards"), this);
    m_keepPaired->setToolTip(tr("Without it, a pairing made here is removed after programming"));
    auto *pairing = new QFormLayout;
    pairing->addRow(tr("Pairing P&IN:"), m_pin);
    pairing->addRow(QString(), m_keepPaired);

    m_status = new QLabel(this);
    m_status->setWordWrap(true);

    auto *buttons = new QDialogButtonBox(this);
    m_programButton = buttons->addButton(tr("&Program"), QDialogButtonBox::AcceptRole);
    m_programButton->setToolTip(tr("Program the chosen module with the main window's settings"));
    m_close = buttons->addButton(QDialogButtonBox::Close);
    m_close->setToolTip(tr("Close this dialog; the main window stays as it is"));

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(intro);
    layout->addWidget(m_modules, 1);
    layout->addLayout(searchRow);
    layout->addLayout(pairing);
    layout->addWidget(m_status);
    layout->addWidget(buttons);

    connect(m_find, &QPushButton::clicked, this, &BluetoothDialog::findModules);
    connect(m_programButton, &QPushButton::clicked, this, &BluetoothDialog::programChosen);
    connect(m_close, &QPushButton::clicked, this, &BluetoothDialog::reject);
    connect(m_modules, &QTreeWidget::itemSelectionChanged, this, &BluetoothDialog::choiceChanged);
    connect(m_modules, &QTreeWidget::itemActivated, this, &BluetoothDialog::programChosen);

    listPaired();
    choiceChanged();
    m_modules->setFocus(); // the arrow keys choose at once
    // Room for the intro in three lines and the list's columns side by side.
    resize(sizeHint().expandedTo(QSize(fontMetrics().averageCharWidth() * 90, 0)));
}

BluetoothDialog::~BluetoothDialog() {
    m_cancel = true;
}

void BluetoothDialog::listPaired() {
    QString failure;
    for (const FoundModule &module : m_links.pairedModules(&failure))
        add(module);
    if (!failure.isEmpty())
        m_status->setText(failure);
}

void BluetoothDialog::add(const FoundModule &module) {
    if (!module.serialPort)
        return;
    QTreeWidgetItem *item = nullptr;
    for (int row = 0; row < m_modules->topLevelItemCount() && !item; ++row) {
        if (m_modules->topLevelItem(row)->data(Address, kAddressRole) == module.address)
            item = m_modules->topLevelItem(row);
    }
    if (!item) {
        item = new QTreeWidgetItem(m_modules);
        item->setData(Address, kAddressRole, module.address);
    }
    item->setText(Name, module.name.isEmpty() ? tr("(no name)") : module.name);
    item->setText(Address, module.address);
    item->setText(Signal, module.rssi ? tr("%1 dBm").arg(*module.rssi) : QString());
    item->setText(Pairing, module.paired ? tr("paired") : tr("new"));
    item->setData(Pairing, kPairedRole, module.paired);
    if (!m_modules->currentItem() || module.address == m_programmed)
        m_modules->setCurrentItem(item);
}

void BluetoothDialog::choiceChanged() {
    const QTreeWidgetItem *chosen = m_modules->currentItem();
    m_programButton->setEnabled(chosen && !m_busy);
    const bool isNew = chosen && !chosen->data(Pairing, kPairedRole).toBool();
    m_pin->setEnabled(isNew);
    m_keepPaired->setEnabled(isNew);
}

void BluetoothDialog::setWorking(bool working) {
    m_busy = working;
    m_find->setEnabled(!working || m_searchRunning);
    m_modules->setEnabled(!working);
    m_pin->setEnabled(!working);
    choiceChanged();
    // Disabling the list took the focus away from it; the choice goes on there.
    if (!working)
        m_modules->setFocus();
}

void BluetoothDialog::findModules() {
    // While it searches, the button stops the search.
    if (m_searchRunning) {
        m_cancel = true;
        return;
    }
    m_searchRunning = true;
    m_find->setText(tr("&Stop"));
    setWorking(true);
    m_searching->setVisible(true);
    m_status->setText(tr("Searching for modules nearby..."));
    m_cancel = false;
    QString failure;
    const QList<FoundModule> found = m_links.scan(
        kSearchTime, &m_cancel, &failure, [this](const FoundModule &module) { add(module); });
    for (const FoundModule &module : found)
        add(module);
    m_searching->setVisible(false);
    m_searchRunning = false;
    m_find->setText(tr("&Find modules"));
    setWorking(false);
    if (m_closeWhenDone) {
        QDialog::reject();
        return;
    }
    const int count = m_modules->topLevelItemCount();
    m_status->setText(!failure.isEmpty() ? failure
                      : count == 1       ? tr("1 module to choose from.")
                                         : tr("%1 modules to choose from.").arg(count));
}

void BluetoothDialog::programChosen() {
    const QTreeWidgetItem *chosen = m_modules->currentItem();
    if (!chosen || m_busy)
        return;
    BluetoothTarget target;
    target.address = chosen->data(Address, kAddressRole).toString();
    target.name = chosen->text(Name);
    target.pin = chosen->data(Pairing, kPairedRole).toBool() ? QString() : m_pin->text();
    target.keepPaired = m_keepPaired->isChecked();
    target.findTimeout = kFindTimeout;
    target.notPairedAdvice = tr("Type its PIN into the Pairing PIN box to pair it.");

    const BusyCursor busy;
    setWorking(true);
    m_status->setText(tr("Programming %1...").arg(target.name));
    const std::optional<TransferOutcome> outcome = m_program(target);
    setWorking(false);
    if (!outcome) {
        m_status->setText(tr("Not programmed: the main window's settings need a correction."));
        return;
    }
    m_status->setText(runStatusText(*outcome, QTime::currentTime()));
    if (outcome->programmed())
        m_programmed = target.address;
    if (m_closeWhenDone)
        QDialog::reject();
}

void BluetoothDialog::reject() {
    // A search or a run under way ends first; the dialog goes once it has.
    if (m_busy) {
        m_cancel = true;
        m_closeWhenDone = true;
        return;
    }
    QDialog::reject();
}

} // namespace tavrenode
