#include "gui/GuiTestSupport.h"
#include "gui/WidgetTestSupport.h"
#include "link/DlgPortSettings.h"
#include "res/Resource.h"
#include "support/PtyPair.h"
#include "support/ScopedEnv.h"

#include <QAccessible>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {
QComboBox* List(CDlgPortSettings& d, int id)
{
    return static_cast<QComboBox*>(d.Control(id));
}

QStringList Entries(QComboBox* list)
{
    QStringList entries;
    for (int i = 0; i < list->count(); ++i)
        entries << list->itemText(i);
    return entries;
}

void Click(CDlgPortSettings& d, int id)
{
    QTest::mouseClick(d.Control(id), Qt::LeftButton);
}

// Opens dialog at currentPort, lets act look and close it, and returns DoModal's answer. Fails
// the test if act never ran.
bool OpenDialog(CDlgPortSettings& dialog, int currentPort, std::function<void(CDlgPortSettings&)> act)
{
    bool ran = false;
    WhenModalShown<CDlgPortSettings>([&](CDlgPortSettings& d) {
        ran = true;
        act(d);
    });
    const bool accepted = dialog.DoModal(currentPort);
    EXPECT_TRUE(ran) << "the dialog was not shown modally";
    return accepted;
}

void ExpectResults(const CDlgPortSettings& d, const std::string& name, int number)
{
    EXPECT_EQ(d.PortName(), name);
    EXPECT_EQ(d.PortNumber(), number);
    EXPECT_EQ(d.BaudRate(), "56000");
    EXPECT_EQ(d.Parity(), "N");
    EXPECT_EQ(d.DataBits(), "8");
    EXPECT_EQ(d.StopBits(), "2");
}
} // namespace

TEST(PortSettings, ShowsTheFixedListsWithOnlyThePortListEnabledAndOkGivesTheDefaults)
{
    CDlgPortSettings dialog;
    EXPECT_TRUE(OpenDialog(dialog, 1, [](CDlgPortSettings& d) {
        EXPECT_EQ(d.windowTitle(), QString("Serial Port Settings"));
        EXPECT_EQ(PixelAt(Grab(&d), 2, 2), (Rgb{255, 255, 255})) << "the scheme's white";
        EXPECT_EQ(Entries(List(d, IDC_PS_PORT)),
                  QStringList({"com1", "com2", "com3", "com4", "", "", "", "", "", "", "", ""}));
        EXPECT_EQ(Entries(List(d, IDC_PS_BAUD)), QStringList({"256000", "128000", "56000", "38400", "19200", "9600"}));
        EXPECT_EQ(Entries(List(d, IDC_PS_PARITY)), QStringList({"E", "M", "N", "O", "S"}));
        EXPECT_EQ(Entries(List(d, IDC_PS_DATA_BITS)), QStringList({"8", "7", "6", "5", "4"}));
        EXPECT_EQ(Entries(List(d, IDC_PS_STOP_BITS)), QStringList({"2", "1.5", "1"}));

        EXPECT_TRUE(List(d, IDC_PS_PORT)->isEnabled());
        for (int id : {IDC_PS_BAUD, IDC_PS_PARITY, IDC_PS_DATA_BITS, IDC_PS_STOP_BITS})
            EXPECT_FALSE(List(d, id)->isEnabled()) << "list " << id;
        EXPECT_EQ(List(d, IDC_PS_PORT)->currentText(), QString("com1"));
        EXPECT_EQ(List(d, IDC_PS_BAUD)->currentText(), QString("56000"));
        EXPECT_EQ(List(d, IDC_PS_PARITY)->currentText(), QString("N"));
        EXPECT_EQ(List(d, IDC_PS_DATA_BITS)->currentText(), QString("8"));
        EXPECT_EQ(List(d, IDC_PS_STOP_BITS)->currentText(), QString("2"));

        Click(d, IDOK);
    }));
    ExpectResults(dialog, "COM1", 1);
}

TEST(PortSettings, PortListOpensAtTheCurrentPortAndOkGivesTheChosenEntryAsListed)
{
    CDlgPortSettings dialog;
    EXPECT_TRUE(OpenDialog(dialog, 3, [](CDlgPortSettings& d) {
        EXPECT_EQ(List(d, IDC_PS_PORT)->currentIndex(), 2);
        List(d, IDC_PS_PORT)->setCurrentIndex(3);
        Click(d, IDOK);
    }));
    ExpectResults(dialog, "COM4", 4);  // upper case as listed, though shown in lower case

    // The sixth entry is shown empty: port 6 with an empty name.
    EXPECT_TRUE(OpenDialog(dialog, 4, [](CDlgPortSettings& d) {
        EXPECT_EQ(List(d, IDC_PS_PORT)->currentText(), QString("com4"));
        List(d, IDC_PS_PORT)->setCurrentIndex(5);
        Click(d, IDOK);
    }));
    ExpectResults(dialog, "", 6);

    // A port beyond the list (the twelfth entry is the last) opens the list at its first entry.
    for (int port : {0, 13}) {
        EXPECT_TRUE(OpenDialog(dialog, port, [](CDlgPortSettings& d) {
            EXPECT_EQ(List(d, IDC_PS_PORT)->currentIndex(), 0);
            QTest::keyClick(&d, Qt::Key_Return);  // OK is the default button
        }));
        ExpectResults(dialog, "COM1", 1);
    }
}

TEST(PortSettings, EveryOpeningStartsFromTheDefaultsAndCancelReturnsFalse)
{
    CDlgPortSettings dialog;
    EXPECT_TRUE(OpenDialog(dialog, 1, [](CDlgPortSettings& d) {
        List(d, IDC_PS_PORT)->setCurrentIndex(1);
        List(d, IDC_PS_BAUD)->setCurrentIndex(0);  // as if something had changed a fixed list
        Click(d, IDOK);
    }));
    EXPECT_EQ(dialog.PortName(), "COM2");
    EXPECT_EQ(dialog.BaudRate(), "256000");

    EXPECT_FALSE(OpenDialog(dialog, 2, [](CDlgPortSettings& d) {
        ExpectResults(d, "COM1", 1);  // reset when the dialog opened
        EXPECT_EQ(List(d, IDC_PS_BAUD)->currentText(), QString("56000"));
        EXPECT_EQ(List(d, IDC_PS_PORT)->count(), CDlgPortSettings::PORT_ENTRIES) << "filled once per opening";
        List(d, IDC_PS_PORT)->setCurrentIndex(3);
        EXPECT_FALSE(d.DoModal(1)) << "not opened twice";
        EXPECT_EQ(List(d, IDC_PS_PORT)->currentIndex(), 3);
        Click(d, IDCANCEL);
    }));
    ExpectResults(dialog, "COM1", 1);

    EXPECT_FALSE(OpenDialog(dialog, 2, [](CDlgPortSettings& d) { QTest::keyClick(&d, Qt::Key_Escape); }));
    EXPECT_FALSE(OpenDialog(dialog, 2, [](CDlgPortSettings& d) { d.close(); }));
}

TEST(PortSettings, EveryControlHasItsRealRoleAndItsTextAsNameAndEachListItsLabel)
{
    CDlgPortSettings dialog;
    OpenDialog(dialog, 1, [](CDlgPortSettings& d) {
        auto access = [](QWidget* w) { return QAccessible::queryAccessibleInterface(w); };
        // A list shows its entry as its value and is labelled by the label beside it (the way
        // the desktop's accessibility interface names a list on this platform).
        auto expectList = [&](int id, const QString& label, const QString& value) {
            QAccessibleInterface* a = access(d.Control(id));
            EXPECT_EQ(a->role(), QAccessible::ComboBox) << label.toStdString();
            EXPECT_EQ(a->text(QAccessible::Value), value);
            const auto labels = a->relations(QAccessible::Label);
            ASSERT_EQ(labels.size(), 1) << label.toStdString();
            EXPECT_EQ(labels[0].first->role(), QAccessible::StaticText);
            EXPECT_EQ(labels[0].first->text(QAccessible::Name), label);
        };
        expectList(IDC_PS_PORT, "Port :", "com1");
        expectList(IDC_PS_BAUD, "Baud rates:", "56000");
        expectList(IDC_PS_PARITY, "Parity:", "N");
        expectList(IDC_PS_DATA_BITS, "Data bit:", "8");
        expectList(IDC_PS_STOP_BITS, "Stop bit:", "2");
        for (auto [id, name] : {std::pair{IDOK, "OK"}, std::pair{IDCANCEL, "Cancel"}}) {
            EXPECT_EQ(access(d.Control(id))->role(), QAccessible::Button) << name;
            EXPECT_EQ(access(d.Control(id))->text(QAccessible::Name), QString(name));
        }
        Click(d, IDCANCEL);
    });
}

TEST(PortSettings, TheLineUnderTheListsNamesTheSelectedPortsDevice)
{
    PtyPair pty;
    const ScopedEnv com2("KMR6650_COM2", pty.SlavePath());
    const ScopedEnv com12("KMR6650_COM12", "/dev/kmr-no-such-adapter");
    CDlgPortSettings dialog;
    OpenDialog(dialog, 2, [&](CDlgPortSettings& d) {
        auto* line = qobject_cast<QLineEdit*>(d.Control(IDC_PS_DEVICE));
        ASSERT_NE(line, nullptr);
        EXPECT_TRUE(line->isReadOnly());
        EXPECT_EQ(line->text().toStdString(), pty.SlavePath() + ", pseudo-terminal");
        List(d, IDC_PS_PORT)->setCurrentIndex(11);
        EXPECT_EQ(line->text(), "no device");
        EXPECT_GT(line->geometry().top(), List(d, IDC_PS_STOP_BITS)->geometry().bottom()) << "under the lists";
        Click(d, IDCANCEL);
    });
}
