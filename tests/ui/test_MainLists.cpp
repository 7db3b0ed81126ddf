// The three result lists over a hand-filled result model: the texts they
// draw, the column lines, sorting, the parts list following the selection,
// type-ahead, F3 and the find dialog, the pop-up menus and the problem list.
#include <QCheckBox>
#include <QMenu>
#include <QPushButton>
#include <QScrollBar>

#include "UiTestSupport.h"
#include "ui/UFindDialog.h"
#include "ui/UListText.h"

using namespace uitest;

namespace {

int Bytes(const std::string& s) { return static_cast<int>(s.size()); }

// Row colour at x in the middle of the given row of a list.
QColor PixelAt(TOwnerDrawList* list, int row, int x) {
    const QImage image = list->viewport()->grab().toImage();
    return image.pixelColor(x, (row - list->TopIndex()) * list->ItemHeight() + list->ItemHeight() / 2);
}

QStringList Captions(QMenu* menu) {
    QStringList captions;
    for (QAction* a : menu->actions())
        if (!a->isSeparator()) captions << a->text();
    return captions;
}

void PressKey(QWidget* w, Qt::Key key, Qt::KeyboardModifiers mods = Qt::NoModifier) {
    QTest::keyPress(w, key, mods);
    QTest::keyRelease(w, key, mods);
}

}  // namespace

class TestMainLists : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { SetUpEnvironment(); }
    void init() { ResetState(); }
    void cleanup() {
        FileList.Clear();
        ErrorLog.Clear();
    }

    // --- texts ------------------------------------------------------------------

    void shareColumnText() {
        QCOMPARE(ShareText(1000, 1000), std::string("100.00%"));  // wider than five
        QCOMPARE(ShareText(0, 0), std::string(" 0.00%"));         // zero-byte page
        QCOMPARE(ShareText(0, 500), std::string(" 0.00%"));
        QCOMPARE(ShareText(1, 8), std::string("12.50%"));
        QCOMPARE(ShareText(1, 3), std::string("33.33%"));
        QCOMPARE(ShareText(1, 1000), std::string(" 0.10%"));
        // Exact halves round away from zero like the reports: 1/800 = 0.125.
        QCOMPARE(ShareText(1, 800), std::string(" 0.13%"));
    }

    void pathShorteningKeepsTheFileName() {
        const std::string path = "/home/user/site/index.html";
        QCOMPARE(MinimizePath(path, 30, Bytes), path);
        QCOMPARE(MinimizePath(path, 25, Bytes), std::string("/.../user/site/index.html"));
        QCOMPARE(MinimizePath(path, 20, Bytes), std::string("/.../site/index.html"));
        QCOMPARE(MinimizePath(path, 15, Bytes), std::string("/.../index.html"));
        QCOMPARE(MinimizePath(path, 14, Bytes), std::string(".../index.html"));
        QCOMPARE(MinimizePath(path, 3, Bytes), std::string("index.html"));  // never cut
        QCOMPARE(MinimizePath("a/bb/c.htm", 9, Bytes), std::string(".../c.htm"));
        QCOMPARE(MinimizePath("a/bb/c.htm", 8, Bytes), std::string("c.htm"));
        // 表 is 0x95 0x5C: the folder and the name stay whole.
        const std::string japanese = Sj("/表示/資料/表.htm");
        QCOMPARE(MinimizePath(japanese, Bytes(japanese) - 1, Bytes), Sj("/.../資料/表.htm"));
        QCOMPARE(MinimizePath(japanese, 0, Bytes), Sj("表.htm"));
    }

    void encodingLabels() {
        QCOMPARE(EncodingLabel(0), std::string("JIS"));
        QCOMPARE(EncodingLabel(1), std::string("EUC"));
        QCOMPARE(EncodingLabel(2), std::string("SJIS"));
        QCOMPARE(EncodingLabel(3), std::string("AUTO"));
        QCOMPARE(EncodingLabel(9), std::string());
    }

    // --- drawing ------------------------------------------------------------------

    void separatorLinesInvertOnlyWhenOn() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/a.htm", 100, {{"/s/a.gif", 300}});
        ShowFileList(*form);
        form->HTMLListBox->SetItemIndex(0);
        form->ShowParts();
        QCOMPARE(form->HTMLSource->Count(), 2);

        // Right edges: x0 + w - 1 in the page list, x0 + w in the parts
        // list; the line lies one pixel inside.
        const int sizeEnd = form->SizePanel->width();
        const int timeEnd = sizeEnd + 4 + form->TimePanel->width();
        const int nameEnd = timeEnd + 4 + form->NamePanel->width();
        const QColor base = form->HTMLSource->palette().color(QPalette::Base);

        EnvSettings.SplitLine = true;
        for (int x1 : {sizeEnd, timeEnd, nameEnd}) {
            // Row 1 of the parts list is not selected: white turns black.
            QCOMPARE(PixelAt(form->HTMLSource, 1, x1 - 1), QColor(Qt::black));
            QCOMPARE(PixelAt(form->HTMLSource, 1, x1 - 2), base);
            QCOMPARE(PixelAt(form->HTMLListBox, 0, x1 - 2).rgb(),
                     QColor(~form->HTMLListBox->palette().color(QPalette::Highlight).rgb()).rgb() | 0xff000000);
        }
        EnvSettings.SplitLine = false;
        for (int x1 : {sizeEnd, timeEnd, nameEnd}) QCOMPARE(PixelAt(form->HTMLSource, 1, x1 - 1), base);
    }

    void imageCountAndShareOfASinglePartPage() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/only.htm", 777);
        ShowFileList(*form);
        form->HTMLListBox->SetItemIndex(0);
        form->ShowParts();
        QCOMPARE(form->HTMLSource->Count(), 1);
        QCOMPARE(FileList[0]->Items.Count() - 1, 0);
        // Something is drawn in the share column of the only part.
        const QImage image = form->HTMLSource->viewport()->grab().toImage();
        const int x0 = form->PanelImgs->x();
        bool ink = false;
        for (int x = x0; x < image.width() && !ink; ++x)
            for (int y = 0; y < 14 && !ink; ++y) ink = image.pixelColor(x, y).lightness() < 100;
        QVERIFY(ink);
    }

    // --- sorting and the parts list ----------------------------------------------------

    void sortButtonsReverseAndKeepTheSelection() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/a.htm", 100);
        AddPage("/s/b.htm", 300);
        AddPage("/s/c.htm", 200);
        ShowFileList(*form);
        form->HTMLListBox->SetItemIndex(1);  // b.htm
        auto order = [] {
            QStringList names;
            for (int i = 0; i < FileList.Count(); ++i) names << FileNameOfRow(i);
            return names.join(',');
        };

        QCOMPARE(EnvSettings.SortType, 0);
        QVERIFY(!EnvSettings.SortAscending);
        form->SortBySize->click();  // same key: direction turns
        QCOMPARE(order(), QStringLiteral("a.htm,c.htm,b.htm"));
        QCOMPARE(FileNameOfRow(form->HTMLListBox->ItemIndex()), QStringLiteral("b.htm"));
        form->SortByTime->click();  // also key 0: turns again
        QCOMPARE(order(), QStringLiteral("b.htm,c.htm,a.htm"));
        QCOMPARE(form->HTMLListBox->ItemIndex(), 0);
        form->SortByName->click();  // another key keeps the direction (descending)
        QCOMPARE(EnvSettings.SortType, 1);
        QCOMPARE(order(), QStringLiteral("c.htm,b.htm,a.htm"));
        form->SortByImgs->click();
        QCOMPARE(EnvSettings.SortType, 2);
        QVERIFY(!EnvSettings.SortAscending);
    }

    void partsFollowTheSortKey() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/p.htm", 50, {{"/s/z.gif", 10}, {"/s/a.gif", 900}});
        ShowFileList(*form);
        form->HTMLListBox->SetItemIndex(0);
        form->ShowParts();
        // Key 0 descending: by size.
        QCOMPARE(FileList[0]->Items[0]->FileName, std::string("/s/a.gif"));
        QCOMPARE(FileList[0]->Items[2]->FileName, std::string("/s/z.gif"));
        form->HTMLSource->SetItemIndex(2);
        form->SortByName->click();  // key 1, still descending
        QCOMPARE(FileList[0]->Items[0]->FileName, std::string("/s/z.gif"));
        QCOMPARE(FileList[0]->Items[1]->FileName, std::string("/s/p.htm"));
        // The selected part moved with the sort.
        QCOMPARE(FileList[0]->Items[form->HTMLSource->ItemIndex()]->FileName, std::string("/s/z.gif"));
    }

    void selectionFollowsIntoThePartsList() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/a.htm", 100, {{"/s/1.gif", 1}});
        AddPage("/s/b.htm", 100, {{"/s/1.gif", 1}, {"/s/2.gif", 2}});
        AddPage("/s/c.htm", 100, {{"/s/1.gif", 1}, {"/s/2.gif", 2}, {"/s/3.gif", 3}});
        ShowFileList(*form);
        TOwnerDrawList* list = form->HTMLListBox;

        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowPoint(list, 1));
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(form->ShownIndex, 1);
        QCOMPARE(form->HTMLSource->Count(), 3);
        QVERIFY(!form->DragSelecting);

        // Arrow keys: the parts follow once the key is released.
        list->setFocus();
        QTest::keyPress(list, Qt::Key_Down);
        QCOMPARE(list->ItemIndex(), 2);
        QCOMPARE(form->HTMLSource->Count(), 3);
        QTest::keyRelease(list, Qt::Key_Down);
        QTRY_COMPARE(form->HTMLSource->Count(), 4);
        QCOMPARE(form->ShownIndex, 2);

        // Dragging: the parts follow while the button is still down.
        QTest::mousePress(list->viewport(), Qt::LeftButton, {}, RowPoint(list, 0));
        QVERIFY(form->DragSelecting);
        QCOMPARE(form->HTMLSource->Count(), 2);
        QMouseEvent move(QEvent::MouseMove, RowPoint(list, 2), list->viewport()->mapToGlobal(RowPoint(list, 2)),
                         Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(list->viewport(), &move);
        QCOMPARE(list->ItemIndex(), 2);
        list->viewport()->repaint();
        QCOMPARE(form->HTMLSource->Count(), 4);
        QCOMPARE(form->ShownIndex, 2);
        QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, RowPoint(list, 2));
        QVERIFY(!form->DragSelecting);
    }

    // Under X a held key sends a release with every repeated press, and Qt
    // marks such releases as repeats only when it sees the press in time.
    // However they are marked, the parts list is rebuilt once, after the
    // key is really let go.
    void heldArrowKeyRebuildsThePartsOnceItIsLetGo() {
        auto form = ShowWindow();
        QVERIFY(form);
        for (int i = 0; i < 5; ++i) {
            std::vector<std::pair<std::string, int64_t>> parts;
            for (int k = 0; k <= i; ++k) parts.emplace_back("/s/" + std::to_string(k) + ".gif", k + 1);
            AddPage("/s/p" + std::to_string(i) + ".htm", 100 - i, parts);
        }
        ShowFileList(*form);
        TOwnerDrawList* list = form->HTMLListBox;
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, RowPoint(list, 0));
        QCOMPARE(form->ShownIndex, 0);
        list->setFocus();

        auto send = [list](QEvent::Type type, bool repeat) {
            QKeyEvent key(type, Qt::Key_Down, Qt::NoModifier, QString(), repeat);
            QApplication::sendEvent(list, &key);
        };
        send(QEvent::KeyPress, false);
        for (bool markedRepeat : {false, true, false}) {
            send(QEvent::KeyRelease, markedRepeat);
            send(QEvent::KeyPress, true);
            QCoreApplication::processEvents();
            QCOMPARE(form->ShownIndex, 0);
        }
        QCOMPARE(list->ItemIndex(), 4);
        send(QEvent::KeyRelease, false);
        QTRY_COMPARE(form->ShownIndex, 4);
        QCOMPARE(form->HTMLSource->Count(), FileList[4]->Items.Count());
    }

    // --- searching ----------------------------------------------------------------------------

    void typeAheadGoesForwardAndBackWithoutWrapping() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/a.htm", 1);
        AddPage("/s/b.htm", 1);
        AddPage("/s/B2.htm", 1);
        ShowFileList(*form);
        TOwnerDrawList* list = form->HTMLListBox;
        list->setFocus();
        list->SetItemIndex(0);
        PressKey(list, Qt::Key_B);
        QCOMPARE(list->ItemIndex(), 1);
        PressKey(list, Qt::Key_B);
        QCOMPARE(list->ItemIndex(), 2);
        PressKey(list, Qt::Key_B);
        QCOMPARE(list->ItemIndex(), 2);  // no wrap
        PressKey(list, Qt::Key_B, Qt::ShiftModifier);
        QCOMPARE(list->ItemIndex(), 1);
        QCOMPARE(form->ShownIndex, 1);
        PressKey(list, Qt::Key_A, Qt::ShiftModifier);  // backward reaches the first row
        QCOMPARE(list->ItemIndex(), 0);
        PressKey(list, Qt::Key_A, Qt::ShiftModifier);  // nothing before the first row
        QCOMPARE(list->ItemIndex(), 0);
        PressKey(list, Qt::Key_B, Qt::ControlModifier);  // not a type-ahead key
        QCOMPARE(list->ItemIndex(), 0);
    }

    void typeAheadOnDigitsWithShiftGoesBackward() {
        auto form = ShowWindow();
        QVERIFY(form);
        EnvSettings.SortType = 3;  // keep the order given
        AddPage("/s/1a.htm", 1);
        AddPage("/s/x.htm", 1);
        AddPage("/s/1b.htm", 1);
        AddPage("/s/y.htm", 1);
        ShowFileList(*form);
        TOwnerDrawList* list = form->HTMLListBox;
        list->setFocus();
        list->SetItemIndex(0);
        PressKey(list, Qt::Key_1);
        QCOMPARE(list->ItemIndex(), 2);
        list->SetItemIndex(3);
        // Shift+1 arrives as "!" (or another sign on other layouts), with the
        // digit key's own X key code.
        for (int i = 0; i < 2; ++i) {
            QKeyEvent press(QEvent::KeyPress, Qt::Key_Exclam, Qt::ShiftModifier, 10, 0x21, 0, QStringLiteral("!"));
            QApplication::sendEvent(list, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_Exclam, Qt::ShiftModifier, 10, 0x21, 0, QStringLiteral("!"));
            QApplication::sendEvent(list, &release);
            QCOMPARE(list->ItemIndex(), i == 0 ? 2 : 0);
        }
        // A shifted sign from another key is no type-ahead.
        QKeyEvent other(QEvent::KeyPress, Qt::Key_Plus, Qt::ShiftModifier, 21, 0x2b, 0, QStringLiteral("+"));
        QApplication::sendEvent(list, &other);
        QCOMPARE(list->ItemIndex(), 0);
    }

    void typeAheadInThePartsList() {
        auto form = ShowWindow();
        QVERIFY(form);
        EnvSettings.SortType = 3;  // keep the order given
        AddPage("/s/p.htm", 10, {{"/s/x1.gif", 1}, {"/s/X2.gif", 1}});
        ShowFileList(*form);
        form->HTMLListBox->SetItemIndex(0);
        form->ShowParts();
        form->HTMLSource->setFocus();
        PressKey(form->HTMLSource, Qt::Key_X);
        QCOMPARE(form->HTMLSource->ItemIndex(), 1);
        PressKey(form->HTMLSource, Qt::Key_X);
        QCOMPARE(form->HTMLSource->ItemIndex(), 2);
    }

    void f3AndTheFindDialog() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/a.htm", 1);
        AddPage("/s/b.htm", 1);
        AddPage("/s/B2.htm", 1);
        AddPage("/s/b3.htm", 1);
        ShowFileList(*form);
        TOwnerDrawList* list = form->HTMLListBox;
        list->setFocus();
        list->SetItemIndex(0);

        PressKey(list, Qt::Key_F3);  // no search yet: nothing happens
        QCOMPARE(list->ItemIndex(), 0);

        QTest::keyClick(list, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(form->FindDialog1->isVisible());
        form->FindDialog1->TextEdit->setText("b");
        form->FindDialog1->FindButton->click();
        QVERIFY(!form->FindDialog1->isVisible());
        QCOMPARE(form->LastFindText, std::string("b"));
        QCOMPARE(list->ItemIndex(), 1);

        PressKey(list, Qt::Key_F3);  // ignores case: B2.htm
        QCOMPARE(list->ItemIndex(), 2);
        form->FindDialog1->MatchCaseBox->setChecked(true);
        PressKey(list, Qt::Key_F3);  // match case: skips to b3.htm
        QCOMPARE(list->ItemIndex(), 3);
        PressKey(list, Qt::Key_F3, Qt::ShiftModifier);  // backward, exact case: b.htm
        QCOMPARE(list->ItemIndex(), 1);
    }

    void findEntryOnlyForTheTwoFileLists() {
        auto form = ShowWindow();
        QVERIFY(form);
        form->ErrorListBox->setFocus();
        QTest::keyClick(form->ErrorListBox, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!form->FindDialog1->isVisible());
        emit form->Menu_File->aboutToShow();
        QVERIFY(!form->Menu_Find->isEnabled());
        form->HTMLSource->setFocus();
        emit form->Menu_File->aboutToShow();
        QVERIFY(form->Menu_Find->isEnabled());
    }

    // --- pop-up menus and opening files ------------------------------------------------------------

    void popupMenusCarryTheirCaptions() {
        auto form = ShowWindow();
        QVERIFY(form);
        QCOMPARE(Captions(form->PopupMenu1),
                 QStringList({Q(Sj("ブラウザを起動(&W)")), Q(Sj("エディタを起動(&E)")),
                              Q(Sj("その場所のフォルダを開く(&F)")), Q(Sj("このファイルを計測(&G)")),
                              Q(Sj("このファイルだけを計測(&O)")), Q(Sj("キャンセル(&C)"))}));
        QCOMPARE(
            Captions(form->PopupMenu3),
            QStringList({Q(Sj("ファイルを開く(&E)")), Q(Sj("その場所のフォルダを開く(&F)")), Q(Sj("キャンセル(&C)"))}));
        QCOMPARE(Captions(form->PopupMenu2),
                 QStringList({Q(Sj("ブラウザを起動(&W)")), Q(Sj("エディタを起動(&E)")),
                              Q(Sj("その場所のフォルダを開く(&F)")), Q(Sj("キャンセル(&C)"))}));
    }

    void rightButtonSelectsTheRowAndOpensTheMenu() {
        auto form = ShowWindow();
        QVERIFY(form);
        AddPage("/s/a.htm", 1, {{"/s/x.gif", 1}});
        AddPage("/s/b.htm", 1);
        ShowFileList(*form);
        TOwnerDrawList* list = form->HTMLListBox;
        list->SetItemIndex(1);
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, RowPoint(list, 0));
        QCOMPARE(list->ItemIndex(), 0);
        QCOMPARE(form->HTMLSource->Count(), 2);
        QVERIFY(form->PopupMenu1->isVisible());
        form->PopupMenu1->close();
        // Below the last row: the last row.
        QTest::mousePress(list->viewport(), Qt::RightButton, {}, RowPoint(list, 7));
        QCOMPARE(list->ItemIndex(), 1);
        form->PopupMenu1->close();
        // Right button with Shift is an ordinary press: no menu.
        QTest::mousePress(list->viewport(), Qt::RightButton, Qt::ShiftModifier, RowPoint(list, 0));
        QVERIFY(!form->PopupMenu1->isVisible());
        QTest::mouseRelease(list->viewport(), Qt::RightButton, Qt::ShiftModifier, RowPoint(list, 0));
    }

    void enterOpensWhatTheRowNames() {
        auto form = ShowWindow();
        QVERIFY(form);
        EnvSettings.SortType = 3;
        EnvSettings.BrowserProgram = "firefox";
        EnvSettings.EditorProgram = "mousepad";
        EnvSettings.ImageProgram = "gimp";
        AddPage("/s/a.htm", 10, {{"/s/x.gif", 1}});
        ShowFileList(*form);
        form->HTMLListBox->SetItemIndex(0);
        form->ShowParts();

        PressKey(form->HTMLListBox, Qt::Key_Return);
        PressKey(form->HTMLListBox, Qt::Key_Return, Qt::AltModifier);
        form->HTMLSource->SetItemIndex(1);
        PressKey(form->HTMLSource, Qt::Key_Return);  // an image: the image program
        EnvSettings.ImageInBrowser = true;
        PressKey(form->HTMLSource, Qt::Key_Return);  // now the browser
        QCOMPARE(Launches().size(), size_t(4));
        QCOMPARE(Launches()[0].kind, TLaunchKind::Browser);
        QCOMPARE(Launches()[0].program, std::string("firefox"));
        QCOMPARE(Launches()[0].file, std::string("/s/a.htm"));
        QCOMPARE(Launches()[1].kind, TLaunchKind::Editor);
        QCOMPARE(Launches()[1].program, std::string("mousepad"));
        QCOMPARE(Launches()[2].kind, TLaunchKind::Program);
        QCOMPARE(Launches()[2].program, std::string("gimp"));
        QCOMPARE(Launches()[2].file, std::string("/s/x.gif"));
        QCOMPARE(Launches()[3].kind, TLaunchKind::Browser);

        // Problem lines act on the record of the same index; a line without
        // a record (the notice) does nothing.
        auto* problem = new THTMLFileInfo;
        problem->FileName = "/s/a.htm";
        problem->LinkName = "/s/missing.gif";
        ErrorLog.Add(problem);
        form->AddProblemLine(Sj("ファイルが見つかりません: /s/missing.gif at /s/a.htm"));
        form->AddProblemLine(Sj("警告数が多いため、これ以上の警告出力を中止します！"));
        Launches().clear();
        form->ErrorListBox->SetItemIndex(0);
        form->ErrorListBox->setFocus();
        QTest::mouseDClick(form->ErrorListBox->viewport(), Qt::LeftButton, {}, RowPoint(form->ErrorListBox, 0));
        PressKey(form->ErrorListBox, Qt::Key_Return, Qt::AltModifier);
        form->ErrorListBox->SetItemIndex(1);
        PressKey(form->ErrorListBox, Qt::Key_Return);
        QCOMPARE(Launches().size(), size_t(2));
        QCOMPARE(Launches()[0].kind, TLaunchKind::Editor);
        QCOMPARE(Launches()[0].file, std::string("/s/a.htm"));
        QCOMPARE(Launches()[1].kind, TLaunchKind::Browser);
    }

    // --- the problem list ------------------------------------------------------------------------------

    void longestLineDecidesTheScrollRange() {
        auto form = ShowWindow();
        QVERIFY(form);
        const std::string longLine(300, 'W');
        form->AddProblemLine("short");
        const int first = form->ErrorListExtent;
        QCOMPARE(first, form->ErrorListBox->fontMetrics().horizontalAdvance("short") + 16);
        form->AddProblemLine(longLine);
        const int longest = form->ErrorListExtent;
        QCOMPARE(longest, form->ErrorListBox->fontMetrics().horizontalAdvance(Q(longLine)) + 16);
        form->AddProblemLine("x");
        QCOMPARE(form->ErrorListExtent, longest);
        QCOMPARE(form->ErrorListBox->HorizontalExtent(), longest);
        QVERIFY(form->ErrorListBox->horizontalScrollBar()->maximum() > 0);
        QCOMPARE(form->ErrorListBox->Count(), 3);
    }
};

QTEST_MAIN(TestMainLists)
#include "test_MainLists.moc"
