// The main window's arrangement: the control tree, the tool-button layout,
// the list panel bounds, the header splitters, the fonts that really draw,
// the window keys and the status bar.
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QRawFont>
#include <QTextLayout>
#include <QToolButton>

#include "UiTestSupport.h"

using namespace uitest;

namespace {

// The family of the font that draws the first glyph of text.
QString DrawingFamily(const QFont& font, const QString& text) {
    QTextLayout layout(text, font);
    layout.beginLayout();
    layout.createLine();
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    return runs.isEmpty() ? QString() : runs.first().rawFont().familyName();
}

}  // namespace

class TestMainLayout : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetUpEnvironment(); }
    void init() { ResetState(); }

    void controlTreeHasDesignNamesAndSizes() {
        auto form = ShowWindow();
        QVERIFY(form);
        QCOMPARE(form->Client->size(), QSize(675, 417));
        QCOMPARE(form->windowTitle(), QStringLiteral("Velmoran Ver0.29 Beta 1.1"));

        struct Expect {
            const char* name;
            QRect geometry;  // in the parent's coordinates
        } expected[] = {
            {"PanelBase", {0, 0, 675, 398}},   {"Bevel1", {0, 0, 675, 4}},
            {"Panel6", {0, 4, 675, 28}},       {"URLPanel", {0, 0, 169, 28}},
            {"HistoryBtn", {2, 3, 14, 20}},    {"Edit1", {18, 3, 147, 20}},
            {"Splitter6", {169, 0, 4, 28}},    {"Panel8", {173, 0, 502, 28}},
            {"Bevel2", {0, 32, 675, 8}},       {"PanelBtn", {0, 40, 675, 21}},
            {"SizePanel", {0, 0, 121, 21}},    {"Splitter1", {121, 0, 4, 21}},
            {"TimePanel", {125, 0, 93, 21}},   {"Splitter2", {218, 0, 4, 21}},
            {"NamePanel", {222, 0, 125, 21}},  {"Splitter3", {347, 0, 4, 21}},
            {"PanelImgs", {351, 0, 324, 21}},  {"SortBySize", {0, 0, 121, 21}},
            {"SortByImgs", {0, 0, 324, 21}},   {"HTMLListPanel", {0, 61, 675, 132}},
            {"Splitter4", {0, 193, 675, 2}},   {"HTMLSourcePanel", {0, 195, 675, 118}},
            {"Splitter5", {0, 313, 675, 2}},   {"ErrorListPanel", {0, 315, 675, 83}},
            {"StatusBar1", {0, 398, 675, 19}},
        };
        for (const Expect& e : expected) {
            auto* w = form->findChild<QWidget*>(e.name);
            QVERIFY2(w, e.name);
            QCOMPARE(w->geometry(), e.geometry);
        }
        for (const char* name :
             {"HTMLListBox", "HTMLSource", "ErrorListBox", "BrowseBtn", "StartBtn", "BreakBtn", "LinkBtn", "EnvBtn",
              "Image3", "Image4", "SortByTime", "SortByName", "PanelIntelli", "ImageIntelli"})
            QVERIFY2(form->findChild<QWidget*>(name), name);
        QVERIFY(form->Image3->isHidden());
        QVERIFY(form->Image4->isHidden());
        QVERIFY(!form->BreakBtn->isEnabled());
        QVERIFY(!form->HistoryBtn->isEnabled());
        // Rows are never lower than designed (the fonts may ask for more).
        QVERIFY(form->HTMLListBox->ItemHeight() >= 14);
        QVERIFY(form->HTMLSource->ItemHeight() >= 14);
        QVERIFY(form->ErrorListBox->ItemHeight() >= 12);
        QCOMPARE(form->StatusBar1->PanelCount(), 4);
        QCOMPARE(form->StatusBar1->PanelWidth(0), 100);
        QCOMPARE(form->StatusBar1->PanelWidth(3), 300);
        QCOMPARE(form->minimumHeight(), 250);
    }

    void autoScrollMarkIsADiscParkedOutside() {
        auto form = ShowWindow();
        QVERIFY(form);
        QCOMPARE(form->PanelIntelli->geometry(), QRect(-28, -28, 28, 28));
        const QRegion mask = form->PanelIntelli->mask();
        QVERIFY(mask.contains(QPoint(14, 14)));
        QVERIFY(mask.contains(QPoint(14, 0)));
        QVERIFY(!mask.contains(QPoint(1, 1)));
        QVERIFY(!mask.contains(QPoint(27, 26)));
    }

    void buttonLayoutValuesComeFromTheDesign() {
        auto form = ShowWindow();
        QVERIFY(form);
        QCOMPARE(form->ButtonWidth, 57);
        QCOMPARE(form->ButtonLeft, 8);
        QCOMPARE(form->ButtonGap, 6);
        QCOMPARE(form->ButtonRowWidth, 329);
        QCOMPARE(form->ButtonPitch, 63);
    }

    void toolButtonsFollowThePanelWidth_data() {
        QTest::addColumn<int>("panelWidth");
        QTest::addColumn<int>("buttonWidth");
        QTest::addColumn<int>("pitch");
        QTest::addColumn<bool>("captions");
        QTest::newRow("wide") << 500 << 57 << 63 << true;
        QTest::newRow("exactly the row") << 329 << 57 << 63 << true;
        // 300 div 54 = 5; (300 - 8) div 5 = 58; 58 - 5 = 53.
        QTest::newRow("shrinking") << 300 << 53 << 58 << true;
        // 276 div 54 = 5; (276 - 8) div 5 = 53; 53 - 5 = 48.
        QTest::newRow("forty-eight") << 276 << 48 << 53 << true;
        // 230 div 54 = 4; (230 - 8) div 5 = 44; 44 - 4 = 40: still captions.
        QTest::newRow("exactly forty") << 230 << 40 << 44 << true;
        // 212 div 54 = 3; (212 - 8) div 5 = 40; 40 - 3 = 37: glyphs only.
        QTest::newRow("below forty") << 212 << 37 << 40 << false;
        // 121 div 54 = 2; (121 - 8) div 5 = 22; 22 - 2 = 20.
        QTest::newRow("exactly twenty") << 121 << 20 << 22 << false;
        // 60 div 54 = 1; (60 - 8) div 5 = 10; 9 < 20: width 20, pitch 21.
        QTest::newRow("never below twenty") << 60 << 20 << 21 << false;
    }
    void toolButtonsFollowThePanelWidth() {
        QFETCH(int, panelWidth);
        QFETCH(int, buttonWidth);
        QFETCH(int, pitch);
        QFETCH(bool, captions);
        auto form = ShowWindow();
        QVERIFY(form);
        form->SetURLPanelWidth(form->Panel6->width() - form->Splitter6->width() - panelWidth);
        form->LayoutButtons();
        QCOMPARE(form->Panel8->width(), panelWidth);
        QCOMPARE(form->Edit1->x(), 18);
        QCOMPARE(form->Edit1->width(), form->URLPanel->width() - 22);
        int left = 8;
        for (QToolButton* b : {form->BrowseBtn, form->StartBtn, form->BreakBtn, form->LinkBtn, form->EnvBtn}) {
            QCOMPARE(b->x(), left);
            QCOMPARE(b->width(), buttonWidth);
            QCOMPARE(b->text().isEmpty(), !captions);
            left += pitch;
            if (!captions) continue;
            // The whole caption fits inside the button as it is drawn: a
            // smaller font or no glyph rather than "…".
            auto* button = qobject_cast<TToolButton*>(b);
            QVERIFY(button);
            const TToolButton::TCaptionFit fit = button->CaptionFit();
            const int used = QFontMetrics(fit.font).horizontalAdvance(b->text()) +
                             (fit.glyph ? b->iconSize().width() + TToolButton::kGap : 0);
            QVERIFY2(used <= buttonWidth - 2 * TToolButton::kMargin, qPrintable(b->objectName()));
            QVERIFY(fit.font.pixelSize() >= TToolButton::kMinPixelSize);
            // The glyph stays as long as it can (it shows the link state).
            if (buttonWidth >= 48) QVERIFY2(fit.glyph, qPrintable(b->objectName()));
        }
        if (captions) QCOMPARE(form->StartBtn->text(), Q(Sj("計測")));
        if (captions) QCOMPARE(form->LinkBtn->text(), Q(Sj("リンク")));
    }

    void draggingSplitter6ShrinksTheButtons() {
        auto form = ShowWindow();
        QVERIFY(form);
        // Drag the splitter far to the right: the button panel keeps its
        // minimum and the buttons their minimum width.
        QWidget* s = form->Splitter6;
        QTest::mousePress(s, Qt::LeftButton, {}, QPoint(2, 10));
        QMouseEvent move(QEvent::MouseMove, QPointF(2 + 600, 10), s->mapToGlobal(QPointF(2 + 600, 10)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s, &move);
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(2 + 600, 10));
        QCOMPARE(form->Panel8->width(), 30);
        QCOMPARE(form->BrowseBtn->width(), 20);
        QVERIFY(form->StartBtn->text().isEmpty());
    }

    void movingSplitter2WidensTheTimeColumn() {
        auto form = ShowWindow();
        QVERIFY(form);
        QWidget* s = form->Splitter2;
        const int nameLeft = form->NamePanel->x();
        QTest::mousePress(s, Qt::LeftButton, {}, QPoint(1, 5));
        QMouseEvent move(QEvent::MouseMove, QPointF(21, 5), s->mapToGlobal(QPointF(21, 5)), Qt::NoButton,
                         Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s, &move);
        QTest::mouseRelease(s, Qt::LeftButton, {}, QPoint(21, 5));
        QCOMPARE(form->TimePanel->width(), 113);
        QCOMPARE(form->SortByTime->width(), 113);
        QCOMPARE(form->NamePanel->x(), nameLeft + 20);
        QCOMPARE(form->PanelImgs->width(), 324 - 20);
        QCOMPARE(form->SortByImgs->width(), 324 - 20);
    }

    void lowWindowKeepsTheListBounds() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->resize(675, 100);
        QTest::qWait(10);
        QCOMPARE(form->height(), 250);  // the minimum height holds
        const int free = form->FreeListHeight();
        QVERIFY(free - 64 < 132);  // low enough for the upper bound to act
        QCOMPARE(form->HTMLListPanel->height(), free - 64);
        QCOMPARE(form->HTMLSourcePanel->height(), 32);  // (free - (free - 64)) - 32
        QVERIFY(form->HTMLListPanel->height() >= 30);
        const QRect source = form->HTMLSourcePanel->geometry();
        QCOMPARE(form->ErrorListPanel->y(), source.y() + source.height() + 2);
        QCOMPARE(form->ErrorListPanel->y() + form->ErrorListPanel->height(), form->PanelBase->height());
    }

    void lowerBoundAppliesFirst() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->HTMLListPanel->resize(675, 10);
        form->HTMLSourcePanel->resize(675, 5);
        form->LayoutPanels();
        QCOMPARE(form->HTMLListPanel->height(), 30);
        QCOMPARE(form->HTMLSourcePanel->height(), 30);
        QCOMPARE(form->HTMLSourcePanel->y(), form->HTMLListPanel->y() + 30 + 2);
        QCOMPARE(form->ErrorListPanel->y(), form->HTMLSourcePanel->y() + 30 + 2);
    }

    void firstStartSplitsTheListHeightInThirds() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->ApplyNoFile();
        const int third = form->FreeListHeight() / 3;
        QCOMPARE(form->HTMLListPanel->height(), third);
        QCOMPARE(form->HTMLSourcePanel->height(), third);
    }

    void japaneseCaptionsDrawWithIpaFonts() {
        auto form = ShowWindow();
        QVERIFY(form);
        // The Windows names resolve through the shipped aliases. Latin text
        // tells an alias from a mere fallback for missing Japanese glyphs.
        const QString pGothic = QStringLiteral("IPAPGothic");
        const QString mincho = QStringLiteral("IPAMincho");
        QCOMPARE(DrawingFamily(form->StartBtn->font(), Q(Sj("計測"))).toLower(), pGothic.toLower());
        QCOMPARE(DrawingFamily(form->SortByName->font(), QStringLiteral("HTML")).toLower(), pGothic.toLower());
        QCOMPARE(DrawingFamily(form->HTMLListBox->font(), Q(Sj("案内.html"))).toLower(), mincho.toLower());
        QCOMPARE(DrawingFamily(form->HTMLListBox->font(), QStringLiteral("SJIS")).toLower(), mincho.toLower());
        QCOMPARE(DrawingFamily(form->ErrorListBox->font(), Q(Sj("ファイルが見つかりません"))).toLower(),
                 pGothic.toLower());
        QCOMPARE(form->HTMLListBox->font().pixelSize(), 13);
        QCOMPARE(form->font().pixelSize(), 12);
    }

    // The IPA fonts reach further below the baseline than the fonts the row
    // heights were designed for: no row may cut the tails of g, p and y or
    // an underscore. A row drawn as tall as it likes is the reference.
    void listRowsKeepDescendersAndUnderscores() {
        EnvSettings.SplitLine = false;  // the column lines span the row height
        auto form = ShowWindow();
        QVERIFY(form);
        const std::string name = "/s/no_such_image.gif";
        AddPage(name, 1234, {{"/s/jpg_gallery.jpg", 567}});
        ShowFileList(*form);
        form->HTMLListBox->SetItemIndex(0);
        form->ShowParts();
        form->AddProblemLine(Sj("ファイルが見つかりません: ") + name + " at /s/page_typography.html");
        // The parts show while their page is selected; the page row is then
        // looked at unselected, on the plain background.
        const std::pair<TOwnerDrawList*, int> lists[] = {
            {form->HTMLSource, 14}, {form->HTMLListBox, 14}, {form->ErrorListBox, 12}};
        auto ink = [](TOwnerDrawList* list, int rows) {
            const QImage image = list->viewport()->grab().toImage();
            int dark = 0;
            for (int y = 0; y < std::min(image.height(), rows * list->ItemHeight()); ++y)
                for (int x = 0; x < image.width(); ++x) dark += qGray(image.pixel(x, y)) < 128;
            return dark;
        };
        for (const auto& [list, designed] : lists) {
            list->SetItemIndex(-1);
            const int rows = list->Count();
            QVERIFY(rows > 0);
            const int drawn = ink(list, rows);
            QVERIFY(drawn > 0);
            list->SetItemHeight(40);
            const int reference = ink(list, rows);
            list->SetItemHeight(designed);
            QVERIFY(list->ItemHeight() >= designed);
            QVERIFY2(drawn == reference,
                     qPrintable(
                         QStringLiteral("%1: %2 of %3 dark pixels").arg(list->objectName()).arg(drawn).arg(reference)));
        }
        FileList.Clear();
        ErrorLog.Clear();
    }

    void statusBarShowsCountsSpeedAndFirstFile() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->FileCount = 3;
        form->WarningCount = 2;
        form->FirstFile = Sj("/サイト/index.html");
        form->RefreshStatus();
        QCOMPARE(form->StatusBar1->PanelText(0), Sj("3 ファイル"));
        QCOMPARE(form->StatusBar1->PanelText(1), Sj("2 警告"));
        QCOMPARE(form->StatusBar1->PanelText(2), std::string("28,800 bps"));
        QCOMPARE(form->StatusBar1->PanelText(3), Sj("/サイト/index.html"));
    }

    void speedMenuChangesTheStatusAndTheSetting() {
        auto form = ShowWindow();
        QVERIFY(form);
        QAction* fast = form->findChild<QAction*>("Menu_OptionSpeed1500000");
        QVERIFY(fast);
        fast->trigger();
        QCOMPARE(EnvSettings.Bps, 1500000);
        QCOMPARE(form->StatusBar1->PanelText(2), std::string("1.5M bps"));
        int checked = 0;
        for (QAction* a : form->SpeedItems) checked += a->isChecked();
        QCOMPARE(checked, 1);
    }

    void hintsFollowTheToggle() {
        auto form = ShowWindow();
        QVERIFY(form);
        QCOMPARE(form->Edit1->toolTip(), Q(Sj("現在選択されている HTML ファイル")));
        QCOMPARE(form->SortByImgs->toolTip(), Q(Sj("画像ファイル数でソートします")));
        form->Menu_OptionShowHintFlg->trigger();
        QVERIFY(!EnvSettings.ShowHint);
        QVERIFY(form->Edit1->toolTip().isEmpty());
        QVERIFY(form->HTMLListBox->toolTip().isEmpty());
    }

    void windowKeysComeFirst() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->HTMLListBox->setFocus();
        // Escape with no action configured is swallowed and changes nothing.
        EnvSettings.EscKeyAction = 0;
        QTest::keyClick(form->HTMLListBox, Qt::Key_Escape);
        QVERIFY(form->isVisible());
        QVERIFY(!form->isMinimized());
        // Ctrl+R measures what the address box names: here nothing exists.
        form->Edit1->setText(QStringLiteral("/no/such/file.html"));
        QTest::keyClick(form->HTMLListBox, Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].text, Sj("ファイルが見つかりません\n\n/no/such/file.html"));
        EnvSettings.EscKeyAction = 2;
        QTest::keyClick(form->HTMLListBox, Qt::Key_Escape);
        QVERIFY(!form->isVisible());
    }

    void linkToggleSwapsTheGlyph() {
        auto form = ShowWindow();
        QVERIFY(form);
        const QImage on = form->Image4->pixmap().toImage();
        const QImage off = form->Image3->pixmap().toImage();
        QVERIFY(on != off);
        QVERIFY(EnvSettings.LinkEnabled);
        form->LinkBtn->click();
        QVERIFY(!EnvSettings.LinkEnabled);
        QVERIFY(!form->Menu_OptionLink->isChecked());
        QCOMPARE(form->LinkBtn->icon().pixmap(16, 16).toImage().convertToFormat(off.format()), off);
        form->LinkBtn->click();
        QVERIFY(EnvSettings.LinkEnabled);
        QCOMPARE(form->LinkBtn->icon().pixmap(16, 16).toImage().convertToFormat(on.format()), on);
    }
};

QTEST_MAIN(TestMainLayout)
#include "test_MainLayout.moc"
