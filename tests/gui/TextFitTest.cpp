// Every caption of every window against its control, measured with the font the window really
// got from fontconfig (QFontInfo), not the one its template asks for: a text that is cut off, runs
// over a button's border, wraps out of its label, lies under another control or crosses a frame's
// edge fails here, in every mixer mode's captions.
#include "app/UpdaterApp.h"
#include "app/UpdaterDlg.h"
#include "link/DlgPortSettings.h"
#include "params/DlgOptionParam.h"
#include "params/DlgParamAdjust.h"
#include "params/ParamTable.h"
#include "qtplatform/DlgMessage.h"
#include "qtplatform/DlgProgress.h"
#include "res/DialogBuilder.h"
#include "res/Resource.h"
#include "update/DlgUpdate.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QStyleOptionGroupBox>
#include <QTest>
#include <gtest/gtest.h>
#include <algorithm>
#include <sstream>

namespace {

// The font a widget really draws with: the family and size fontconfig gave for the one asked for.
QFont RealFont(const QWidget& w)
{
    const QFontInfo info(w.font());
    QFont font(info.family());
    font.setPointSizeF(info.pointSizeF());
    font.setStyleName(info.styleName());
    return font;
}

// Where w draws text, the size text takes there in w's real font, and how it is aligned there.
struct Fit {
    QSize need;
    QRect room;
    Qt::Alignment align;
    bool Fits() const { return need.width() <= room.width() && need.height() <= room.height(); }
    // The text's rectangle in w.
    QRect Text() const { return QStyle::alignedRect(Qt::LeftToRight, align, need, room); }
};

Fit Measure(const QWidget& w, const QString& text)
{
    const QFontMetrics m(RealFont(w));
    const QSize line = m.size(Qt::TextShowMnemonic, text);
    if (auto* frame = qobject_cast<const QGroupBox*>(&w)) {
        // The style places the title from its own measure; it must lie within the frame.
        QStyleOptionGroupBox opt;
        opt.initFrom(frame);
        opt.text = text;
        opt.lineWidth = 1;
        opt.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        opt.textAlignment = frame->alignment();
        const QRect title = w.style()->subControlRect(QStyle::CC_GroupBox, &opt, QStyle::SC_GroupBoxLabel, &w);
        return {line, QRect(title.topLeft(), w.rect().bottomRight()), Qt::AlignLeft | Qt::AlignTop};
    }
    const QRect room = CDialogBuilder::TextRoom(w);
    if (auto* label = qobject_cast<const QLabel*>(&w)) {
        // As the label lays the text out; each line is one character height high, the height
        // that eight dialog units down stand for.
        const int flags = int(label->alignment()) | (label->wordWrap() ? Qt::TextWordWrap : 0);
        const QRect laid = m.boundingRect(QRect(room.topLeft(), QSize(room.width(), 100000)), flags, text);
        const int lines = std::max(1, qRound(double(laid.height()) / m.lineSpacing()));
        return {QSize(laid.width(), lines * m.height()), room, label->alignment()};
    }
    if (auto* edit = qobject_cast<const QLineEdit*>(&w)) {
        // The style's text area, less the margin a line edit keeps at each side of its text.
        QStyleOptionFrame opt;
        opt.initFrom(edit);
        opt.lineWidth = edit->hasFrame() ? w.style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, &w) : 0;
        constexpr int EDIT_MARGIN = 2;
        const QRect area = w.style()->subElementRect(QStyle::SE_LineEditContents, &opt, &w);
        return {QSize(line.width(), m.height()), area.adjusted(EDIT_MARGIN, 0, -EDIT_MARGIN, 0), edit->alignment()};
    }
    if (qobject_cast<const QCheckBox*>(&w) || qobject_cast<const QRadioButton*>(&w) || qobject_cast<const QComboBox*>(&w))
        return {line, room, Qt::AlignLeft | Qt::AlignVCenter};
    return {line, room, Qt::AlignCenter};  // a push button
}

// The texts w shows: its caption, or each entry of a drop-down list.
QStringList ShownTexts(const QWidget& w)
{
    if (auto* label = qobject_cast<const QLabel*>(&w))
        return label->pixmap().isNull() ? QStringList{label->text()} : QStringList{};
    if (auto* b = qobject_cast<const QAbstractButton*>(&w))
        return {b->text()};
    if (auto* frame = qobject_cast<const QGroupBox*>(&w))
        return {frame->title()};
    if (auto* edit = qobject_cast<const QLineEdit*>(&w))
        return {edit->text()};
    if (auto* box = qobject_cast<const QComboBox*>(&w)) {
        QStringList entries;
        for (int i = 0; i < box->count(); ++i)
            entries << box->itemText(i);
        return entries;
    }
    return {};
}

std::string Describe(const QWidget& w)
{
    return std::string(w.metaObject()->className()) + " \"" + w.accessibleName().toStdString() + "\"";
}

// Where on its parent w paints: a label only its text, a frame its title, any other control all
// of itself.
QRect Painted(const QWidget& w)
{
    const QStringList texts = ShownTexts(w);
    if ((qobject_cast<const QLabel*>(&w) && !texts.isEmpty()) || qobject_cast<const QGroupBox*>(&w))
        return texts.front().trimmed().isEmpty() ? QRect() : Measure(w, texts.front()).Text().translated(w.pos());
    return w.geometry();
}

// Every text of every control of top (hidden ones too) that does not fit its control, that
// another control shown beside it paints over, or that crosses the edge of a frame; one line
// each, empty when all are well.
std::string Misfits(const QWidget& top, const std::string& where)
{
    std::ostringstream out;
    for (const QWidget* w : top.findChildren<QWidget*>()) {
        if (w->window() != &top)
            continue;  // a window of its own, measured on its own
        for (const QString& text : ShownTexts(*w)) {
            if (text.trimmed().isEmpty())
                continue;
            const Fit fit = Measure(*w, text);
            const QRect shown = fit.Text().translated(w->pos());
            const QRect painted = qobject_cast<const QComboBox*>(w) ? w->geometry() : Painted(*w);
            const std::string what = where + ": \"" + text.toStdString() + "\" (" + w->metaObject()->className() +
                                     " in " + QFontInfo(w->font()).family().toStdString() + ")";
            if (!fit.Fits())
                out << what << " needs " << fit.need.width() << "x" << fit.need.height() << ", has "
                    << fit.room.width() << "x" << fit.room.height() << "\n";
            for (const QWidget* other : w->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (other == w || other->isWindow() || other->isHidden())
                    continue;
                if (qobject_cast<const QGroupBox*>(other)) {
                    if (other->geometry().intersects(shown) && !other->geometry().contains(shown))
                        out << what << " crosses the edge of " << Describe(*other) << "\n";
                } else if (!w->isHidden() && Painted(*other).intersects(painted)) {
                    out << what << " is covered by " << Describe(*other) << "\n";
                }
            }
        }
    }
    return out.str();
}

} // namespace

TEST(TextFit, TheTemplateFontsAreMetricCompatibleDebianFonts)
{
    // What fontconfig really gives the windows: Liberation Serif for the editor's pages and
    // panels, Liberation Sans for the pages in the small sans serif, DejaVu Sans for the main
    // window and the dialogs, as their templates ask for "Times New Roman", "MS Sans Serif" and
    // "Verdana".
    const struct {
        int number;
        const char* family;
    } expected[] = {{IDD_OPTION_PARAM, "Liberation Serif"}, {IDD_PARAM_ADJUST, "Liberation Serif"},
                    {IDD_PA_INPUT, "Liberation Serif"},     {IDD_PA_MISC, "Liberation Sans"},
                    {IDD_PA_SIGNAL_THR, "Liberation Sans"}, {IDD_MAIN, "DejaVu Sans"},
                    {IDD_PORT_SETTINGS, "DejaVu Sans"}};
    for (const auto& e : expected) {
        QWidget page;
        const CDialogBuilder builder(e.number, &page);
        EXPECT_EQ(QFontInfo(page.font()).family(), e.family) << "template " << e.number;
    }
}

TEST(TextFit, EveryCaptionFitsItsControlInTheFontReallyUsed)
{
    CUpdaterApp app{EditorPlacement::Window};
    CUpdaterDlg& main = app.MainWindow();
    main.show();
    main.ShowEditor();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(main.EditorWindow()));
    CAboutDlg about;
    CDlgMessage message;
    CDlgProgress progress;

    // The captions every window starts with, and those the editor's pages take in each mode.
    std::string misfits = Misfits(main, "main window") + Misfits(app.PortSettings(), "port settings") +
                          Misfits(app.UpdateDialog(), "update dialog") + Misfits(about, "About box") +
                          Misfits(message, "message") + Misfits(progress, "progress window");
    for (int mode : {MIXER_MODE_MIXER, MIXER_MODE_STEREO, MIXER_MODE_DUAL_MONO}) {
        main.OptionPanel()->SetMixerMode(mode);
        misfits += Misfits(*main.EditorWindow(), "editor, mode " + std::to_string(mode));
    }
    // The register console's longest result, and every label a slider's value box may show.
    main.OptionPanel()->Builder().SetText(IDC_OP_RESULT, "Data: 0x0000ABCD");
    misfits += Misfits(*main.EditorWindow(), "register console");
    for (int page = 0; page < PAGE_COUNT; ++page)
        for (int slot = 0; slot < TheParamTable().GetCount(page); ++slot) {
            const DSPParam& r = *TheParamTable().GetRecord(page, slot);
            for (int step = 0; r.kind == KIND_SLIDER && step < r.steps; ++step)
                if (!Measure(*r.valueText, r.labels[step]).Fits())
                    misfits += "value box of " + std::string(r.name) + ": \"" + r.labels[step] + "\"\n";
        }
    EXPECT_EQ(misfits, "");
    app.Shutdown();
}
