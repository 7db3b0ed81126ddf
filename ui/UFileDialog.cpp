#include "ui/UFileDialog.h"

#include <sys/stat.h>
#include <unistd.h>

#include <QAbstractItemView>
#include <QCompleter>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QFileSystemModel>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QScreen>
#include <QScrollBar>
#include <QShowEvent>
#include <QTreeView>
#include <algorithm>

#include "platform/Dialogs.h"
#include "platform/Encoding.h"
#include "ui/QtText.h"

namespace {

// Room around a cell's text: the item margins of the style and a little air.
constexpr int kCellPadding = 16;

enum { kNameColumn = 0, kSizeColumn, kTypeColumn, kDateColumn };

}  // namespace

bool IsReadOnlyFile(const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    struct stat st {};
    if (::stat(native.constData(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    // The mode bits decide even for root, who could write the file anyway.
    return (st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(native.constData(), W_OK) != 0;
}

std::string ReadOnlyFileMessage(const QString& path) {
    return SJ("このファイルは読み取り専用です。別のファイル名を指定してください。") + "\n\n" + FromQ(path);
}

TFileDialog::TFileDialog(QWidget* parent, const QString& caption) : QFileDialog(parent, caption) {
    // Qt's own dialog everywhere: the desktop's would bring neither the
    // program's language nor the refusal of read-only files.
    setOption(QFileDialog::DontUseNativeDialog);
}

void TFileDialog::accept() {
    if (refuseReadOnly_ && acceptMode() == QFileDialog::AcceptSave) {
        const QStringList files = selectedFiles();
        if (!files.isEmpty() && IsReadOnlyFile(files.first())) {
            platform::TMessageRequest r;
            r.kind = platform::TMsgKind::Warning;
            r.text = ReadOnlyFileMessage(files.first());
            platform::ShowMessageBox(r);
            return;
        }
    }
    QFileDialog::accept();
}

void TFileDialog::done(int result) {
    // The name completion is a window of its own: closed with the dialog,
    // it would stay drawn over whatever the dialog was opened from.
    if (auto* edit = findChild<QLineEdit*>(QStringLiteral("fileNameEdit")))
        if (QCompleter* completer = edit->completer(); completer && completer->popup()) completer->popup()->hide();
    QFileDialog::done(result);
}

void TFileDialog::showEvent(QShowEvent* event) {
    QFileDialog::showEvent(event);
    if (!connected_) {
        connected_ = true;
        // Each folder read brings new texts to fit; the shown folder, once
        // read after the dialog opens, may widen it too (later ones leave
        // its size to the user). The model may read other folders first,
        // such as the ones above it.
        if (auto* model = findChild<QFileSystemModel*>())
            connect(model, &QFileSystemModel::directoryLoaded, this, [this](const QString& path) {
                FitColumns();
                if (widenPending_ && QDir(path) == directory()) {
                    FitWidth();
                    widenPending_ = false;
                }
            });
    }
    FitColumns();
    FitWidth();
    widenPending_ = true;
}

void TFileDialog::FitWidth() {
    // As wide as the columns need (within the screen), so that nothing has
    // to be scrolled sideways to be read.
    auto* tree = findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!tree) return;
    const int wanted =
        tree->header()->length() + tree->verticalScrollBar()->sizeHint().width() + 2 * tree->frameWidth();
    int w = width() + std::max(0, wanted - tree->width());
    int h = std::max(height(), w * 3 / 5);
    if (const QScreen* screen = this->screen()) {
        const QRect room = screen->availableGeometry();
        w = std::min(w, room.width() * 9 / 10);
        h = std::min(h, room.height() * 9 / 10);
    }
    if (w > width() || h > height()) resize(std::max(w, width()), std::max(h, height()));
}

void TFileDialog::FitColumns() {
    auto* tree = findChild<QTreeView*>(QStringLiteral("treeView"));
    if (!tree) return;
    QHeaderView* header = tree->header();
    const QFontMetrics fm(tree->font());
    // Samples of the longest texts the model writes, so that the columns are
    // right before the folder has been read: a large size, and a date with a
    // wide day, month and time.
    const QLocale locale = QLocale::system();
    const int sizeSample = std::max(fm.horizontalAdvance(locale.formattedDataSize(1023)),
                                    fm.horizontalAdvance(locale.formattedDataSize(Q_INT64_C(1000) << 30)));
    const int dateSample =
        fm.horizontalAdvance(locale.toString(QDateTime(QDate(2000, 12, 28), QTime(22, 58, 58)), QLocale::ShortFormat));
    const struct {
        int column;
        int sample;
    } columns[] = {{kSizeColumn, sizeSample}, {kTypeColumn, 0}, {kDateColumn, dateSample}};
    for (const auto& c : columns) {
        if (c.column >= header->count()) continue;
        tree->resizeColumnToContents(c.column);
        header->resizeSection(c.column, std::max(header->sectionSize(c.column), c.sample + kCellPadding));
    }
    header->resizeSection(kNameColumn,
                          std::max(header->sectionSize(kNameColumn), fm.horizontalAdvance(QString(30, 'x'))));
}
