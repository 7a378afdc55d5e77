#include "link/DlgPortSettings.h"

#include "controls/ColorScheme.h"
#include "link/PortSurvey.h"
#include "res/Resource.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <span>

namespace {
// The fixed lists, in list order. The port list shows its entries in lower case; the results
// take them as written here.
const char* const PORTS[CDlgPortSettings::PORT_ENTRIES] = {"COM1", "COM2", "COM3", "COM4", "", "", "", "", "", "", "", ""};
const char* const BAUD_RATES[] = {"256000", "128000", "56000", "38400", "19200", "9600"};
const char* const PARITIES[] = {"E", "M", "N", "O", "S"};
const char* const DATA_BITS[] = {"8", "7", "6", "5", "4"};
const char* const STOP_BITS[] = {"2", "1.5", "1"};

// The line-parameter lists with the entry each opens at: 56000, N, 8, 2.
struct FixedList {
    int id;
    std::span<const char* const> entries;
    int defaultEntry;
};
const FixedList LINE_LISTS[] = {
    {IDC_PS_BAUD, BAUD_RATES, 2},
    {IDC_PS_PARITY, PARITIES, 2},
    {IDC_PS_DATA_BITS, DATA_BITS, 0},
    {IDC_PS_STOP_BITS, STOP_BITS, 0},
};

// Puts entries into list in order (in lower case when lowerCase) and selects entry selected.
void Fill(QComboBox* list, std::span<const char* const> entries, int selected, bool lowerCase)
{
    list->clear();
    for (const char* entry : entries) {
        const QString text = QString::fromLatin1(entry);
        list->addItem(lowerCase ? text.toLower() : text);
    }
    list->setCurrentIndex(selected);
}

std::string SelectedText(const QComboBox* list)
{
    return list->currentText().toStdString();
}
} // namespace

CDlgPortSettings::CDlgPortSettings(QWidget* parent) : QDialog(parent), m_controls(IDD_PORT_SETTINGS, this)
{
    CColorScheme::Apply(this, TheColorScheme().whiteBrush, Qt::black);
    LabelLists();
    connect(m_controls.Control<QPushButton>(IDOK), &QPushButton::clicked, this, &CDlgPortSettings::OnOK);
    connect(m_controls.Control<QPushButton>(IDCANCEL), &QPushButton::clicked, this, &QDialog::reject);
    // The line under the lists names the device behind the selected entry.
    m_controls.Control(IDC_PS_DEVICE)->setAccessibleName("Device");
    connect(m_controls.Control<QComboBox>(IDC_PS_PORT), &QComboBox::currentIndexChanged, this,
            [this](int entry) { ShowDevice(entry); });
    ResetResults();
}

// Ties each list to the label beside it, whose text the template gives the list as its caption,
// so that assistive technology reads the label with the list.
void CDlgPortSettings::LabelLists()
{
    const QList<QLabel*> labels = findChildren<QLabel*>(Qt::FindDirectChildrenOnly);
    for (int id : {IDC_PS_PORT, IDC_PS_BAUD, IDC_PS_PARITY, IDC_PS_DATA_BITS, IDC_PS_STOP_BITS}) {
        QWidget* list = m_controls.Control(id);
        for (QLabel* label : labels)
            if (label->text() == list->accessibleName())
                label->setBuddy(list);
    }
}

void CDlgPortSettings::ResetResults()
{
    m_portName = "COM1";
    m_portNumber = 1;
    m_baudRate = "56000";
    m_parity = "N";
    m_dataBits = "8";
    m_stopBits = "2";
}

void CDlgPortSettings::FillLists(int currentPort)
{
    const int portEntry = currentPort >= 1 && currentPort <= PORT_ENTRIES ? currentPort - 1 : 0;
    Fill(m_controls.Control<QComboBox>(IDC_PS_PORT), PORTS, portEntry, true);
    for (const FixedList& list : LINE_LISTS)
        Fill(m_controls.Control<QComboBox>(list.id), list.entries, list.defaultEntry, false);
}

void CDlgPortSettings::ShowDevice(int entry)
{
    const QString text = entry >= 0 ? QString::fromStdString(DescribeComPort(entry + 1)) : QString();
    m_controls.SetText(IDC_PS_DEVICE, text);
    m_controls.Control(IDC_PS_DEVICE)->setToolTip(text);
}

bool CDlgPortSettings::DoModal(int currentPort)
{
    if (isVisible())
        return false;  // already open: its lists and results stay as they are
    ResetResults();
    FillLists(currentPort);
    return exec() == QDialog::Accepted;
}

void CDlgPortSettings::OnOK()
{
    const int portEntry = m_controls.Control<QComboBox>(IDC_PS_PORT)->currentIndex();
    if (portEntry >= 0 && portEntry < PORT_ENTRIES) {
        m_portName = PORTS[portEntry];
        m_portNumber = portEntry + 1;
    }
    m_baudRate = SelectedText(m_controls.Control<QComboBox>(IDC_PS_BAUD));
    m_parity = SelectedText(m_controls.Control<QComboBox>(IDC_PS_PARITY));
    m_dataBits = SelectedText(m_controls.Control<QComboBox>(IDC_PS_DATA_BITS));
    m_stopBits = SelectedText(m_controls.Control<QComboBox>(IDC_PS_STOP_BITS));
    accept();
}
