// The file dialogs and Qt's own texts: Japanese standard buttons, columns
// that show their texts whole, a name completion that goes away with the
// dialog, and the text file save dialog that refuses read-only files.
#include <QAbstractItemView>
#include <QCompleter>
#include <QDialogButtonBox>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLibraryInfo>
#include <QPushButton>
#include <QScopeGuard>
#include <QTimer>
#include <QToolButton>
#include <QTreeView>

#include "UiTestSupport.h"
#include "report/UCreateResult.h"
#include "ui/UAppMain.h"
#include "ui/UConfig.h"
#include "ui/UExport.h"
#include "ui/UFileDialog.h"

using namespace uitest;

namespace {

QTreeView* DetailView(QFileDialog* dialog) { return dialog->findChild<QTreeView*>(QStringLiteral("treeView")); }

// Whether every row of the dialog's folder has been read.
bool FolderShown(QFileDialog* dialog, int rows) {
    QTreeView* tree = DetailView(dialog);
    return tree && tree->model()->rowCount(tree->rootIndex()) >= rows;
}

}  // namespace

class TestFileDialogs : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        SetUpEnvironment();
        InstallQtTranslations();
    }
    void init() { ResetState(); }
    void cleanup() { WindowHooks().fileDialog = nullptr; }

    void qtTextsAreJapanese() {
        QVERIFY2(QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"),
                 "qt6-translations-l10n is missing: run scripts/setup");
        QDialogButtonBox box(QDialogButtonBox::Cancel | QDialogButtonBox::Save);
        QCOMPARE(box.button(QDialogButtonBox::Cancel)->text(), Q(Sj("キャンセル")));
        QCOMPARE(box.button(QDialogButtonBox::Save)->text(), Q(Sj("保存")));
    }

    void openDialogShowsEveryColumnWhole() {
        auto form = ShowWindow();
        QVERIFY(form);
        platform::SetCurrentDir(SourcePath("examples/site"));
        bool checked = false;
        QTimer::singleShot(0, form.get(), [&] {
            QFileDialog* dialog = form->OpenDialog1;
            const auto close = qScopeGuard([dialog] { dialog->reject(); });
            QTRY_VERIFY(FolderShown(dialog, 6));
            QTreeView* tree = DetailView(dialog);
            // The columns follow the folder once it is read: wait for the
            // dialog to be wide enough for all of them side by side.
            QTRY_VERIFY(tree->header()->length() <= tree->viewport()->width());
            const QModelIndex root = tree->rootIndex();
            const QFontMetrics fm(tree->font());
            const int margin = 2 * (tree->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, tree) + 1);
            for (int column = 1; column <= 3; ++column)
                for (int row = 0; row < tree->model()->rowCount(root); ++row) {
                    const QString text = tree->model()->index(row, column, root).data().toString();
                    QVERIFY2(fm.horizontalAdvance(text) + margin <= tree->header()->sectionSize(column),
                             qPrintable(QStringLiteral("%1 in column %2").arg(text).arg(column)));
                }
            checked = true;
        });
        form->BrowseBtn->click();
        QVERIFY(checked);
    }

    void nameCompletionGoesAwayWithTheDialog() {
        auto form = ShowWindow();
        QVERIFY(form);
        platform::SetCurrentDir(SourcePath("examples/site"));
        QWidget* popup = nullptr;
        QTimer::singleShot(0, form.get(), [&] {
            QFileDialog* dialog = form->OpenDialog1;
            auto close = qScopeGuard([dialog] { dialog->reject(); });
            QTRY_VERIFY(FolderShown(dialog, 6));
            auto* edit = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            QVERIFY(edit && edit->completer());
            QTest::keyClicks(edit, QStringLiteral("about.html"));
            popup = edit->completer()->popup();
            QTRY_VERIFY(popup->isVisible());
            // Enter goes to the open completion list, which hands it on.
            close.dismiss();
            QTest::keyClick(popup, Qt::Key_Return);
        });
        form->BrowseBtn->click();
        QVERIFY(popup);
        QCOMPARE(form->FirstFile, SourcePath("examples/site/about.html"));
        QVERIFY(!popup->isVisible());
    }

    void textSaveDialogRefusesReadOnlyFiles() {
        EnvSettings.ExportShowConfig = false;
        AddPage(SourcePath("examples/site/index.html"), 1200);
        const QString locked = TestDir().filePath("locked.txt");
        const QString chosen = TestDir().filePath("chosen.txt");
        QFile::remove(chosen);
        {
            QFile f(locked);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write("kept");
        }
        QVERIFY(QFile::setPermissions(locked, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        bool stayedOpen = false;
        QTimer::singleShot(0, [&] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->selectFile(locked);
            QMetaObject::invokeMethod(dialog, "accept");
            stayedOpen = dialog->isVisible();
            dialog->selectFile(chosen);
            QMetaObject::invokeMethod(dialog, "accept");
        });
        std::vector<std::string> temp;
        RunExport(ExportTextFile, nullptr, temp);

        QVERIFY(stayedOpen);
        QCOMPARE(Messages().size(), size_t(1));
        QCOMPARE(Messages()[0].kind, platform::TMsgKind::Warning);
        QCOMPARE(Messages()[0].text,
                 Sj("このファイルは読み取り専用です。別のファイル名を指定してください。\n\n") + FromQ(locked));
        QFile kept(locked);
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("kept"));
        QVERIFY(QFileInfo(chosen).size() > 0);
        QFile::setPermissions(locked, QFile::ReadOwner | QFile::WriteOwner);
    }
};

QTEST_MAIN(TestFileDialogs)
#include "test_FileDialogs.moc"
